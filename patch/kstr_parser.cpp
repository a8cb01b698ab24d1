#include "patch/kstr_parser.h"

#include <cstring>

KSTR_PARSER::KSTR_PARSER(const char* l, char separator) : separateur(0), line(l ? l : "") {
    set_separateur(separator);
}

int KSTR_PARSER::get_nbr_champs() const {
    int n = 0;
    for (const char* p = line; *p != '\0'; p++)
        if (*p == separateur) n++;
    return n;
}

char* KSTR_PARSER::get_champ(int n) const {
    const std::size_t len = std::strlen(line);
    std::size_t i = 0;
    int k = 0;
    while (i < len && k != n) {
        if (line[i] == separateur) k++;
        i++;
    }
    if (i == len) return nullptr;
    std::size_t j = i;
    while (j < len && line[j] != separateur) j++;
    if (j == i) return nullptr;
    char* field = new char[j - i + 1];
    std::memcpy(field, line + i, j - i);
    field[j - i] = '\0';
    return field;
}

KSTR_FIELDS::KSTR_FIELDS(const char* line, char separator) : text(line ? line : "") {
    const int len = static_cast<int>(text.size());
    // Field k starts just after the k-th separator; like get_champ, a field that
    // would start at the very end of the line or that is empty is null.
    int start = 0;
    for (int i = 0; i <= len; i++) {
        if (i < len && text[i] != separator) continue;
        starts.push_back(start < len && i > start ? start : -1);
        if (i < len) {
            text[i] = '\0';
            separators++;
        }
        start = i + 1;
    }
}

const char* KSTR_FIELDS::field(int n) const {
    if (n < 0 || n >= static_cast<int>(starts.size()) || starts[n] < 0) return nullptr;
    return text.c_str() + starts[n];
}
