// The program's exit statuses, said once: --help prints this table, and the
// manual page and docs/exit-status.md carry the same rows (a test compares them).
#pragma once

/// One row per status: the number, then what ends the program with it.
#define EXIT_STATUS_TABLE                                                                      \
    "  0    a normal end: Escape, the window closed, SIGINT or SIGTERM; --help;\n"             \
    "       --version; a finished render; --check of patches without warnings\n"               \
    "  1    an unknown option or a second patch; a patch named on the command line\n"          \
    "       that cannot be opened (--headless, --render); no display for the window;\n"        \
    "       a sound stream or network layer that will not start; a render that\n"              \
    "       cannot write its file; --check found warnings\n"                                   \
    "  2    a bad option value or a missing one (--render without its file or\n"              \
    "       --seconds); a driver the output does not have; port 9999 taken;\n"                 \
    "       --check found a patch that would not load\n"                                       \
    "  255  a patch that ends the program as it loads (an empty field ';;' on the line\n"      \
    "       of a module that takes keys, a link line naming a module that does not\n"         \
    "       exist) or a sample that cannot be read\n"
