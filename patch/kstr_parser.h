// The field parser: one line cut into fields at a single separator character.
// The patch loader cuts a module line at ";" and each field at "="; the panel
// resource reader and the remote-control server use it the same way.
#pragma once

#include <string>
#include <vector>

/// Splits a borrowed line at one separator. No trimming, quoting or escapes: a
/// field is exactly the characters between two separators.
class KSTR_PARSER {
public:
    /// The line is borrowed: the caller keeps it alive and unchanged while the
    /// parser is used. A null line reads as an empty one.
    KSTR_PARSER(const char* line, char separator);
    /// Frees nothing: neither the line nor any field handed out.
    ~KSTR_PARSER() = default;

    void set_separateur(char separator) { separateur = separator; }
    /// The number of separator characters in the line (not the number of fields).
    int get_nbr_champs() const;
    /// A new copy of field n (from 0), released by the caller with delete[]; null
    /// for an empty field, for n past the last separator or negative, and for a
    /// field that would start at the very end of the line.
    char* get_champ(int n) const;

private:
    char separateur;   ///< the separator
    const char* line;  ///< the borrowed line, NUL-terminated
};

/// The same fields, cut once: field(n) equals what get_champ(n) returns for the
/// same line and separator. A sequencer line written inline may hold 20,000
/// fields in 380,000 characters; asking get_champ for each would rescan the line
/// every time, so the loader walks long lines with this instead.
class KSTR_FIELDS {
public:
    KSTR_FIELDS(const char* line, char separator);
    /// As KSTR_PARSER::get_nbr_champs.
    int get_nbr_champs() const { return separators; }
    /// Field n, or null as get_champ would give it; owned by this object.
    const char* field(int n) const;

private:
    std::string text;            ///< the line with each separator turned into NUL
    std::vector<int> starts;     ///< start of field k, -1 when get_champ gives null
    int separators = 0;          ///< separator count
};
