// The patch checker: reads a patch file as the loader would, without making
// any module, and says what in it the loader would ignore, misread or end the
// program on, with the file and line of each.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

/// One suspicious thing in a patch file.
struct KsyWarning {
    std::string file;  ///< the patch or sub-patch file
    int line;          ///< line of the file, from 1 (0: the file as a whole)
    std::string text;
};

/// What the checker found in a patch and the sub-patches it names.
struct KsyCheck {
    std::vector<KsyWarning> warnings;  ///< in file order, each once
    bool would_not_load = false;       ///< loading would end the program (or the file cannot be read)
};

/// Checks the patch file at path (paths inside it are relative to the working
/// directory, as when it is loaded). Sub-patches are checked as well.
KsyCheck check_ksy(const char* path);

/// Prints each warning as "FILE:LINE: warning: TEXT" on out.
void print_ksy_warnings(const KsyCheck& check, std::FILE* out);

/// z_ozodive --check PATCH...: checks each patch and prints its warnings.
/// Returns 0 when every patch is clean, 1 when one has warnings, 2 when one
/// would not load.
int check_command(int count, char** paths);
