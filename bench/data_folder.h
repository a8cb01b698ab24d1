// Benchmarks read patches and samples relative to data/, the program's working
// directory: when started elsewhere, they move to the data folder of the source tree.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

inline void enter_data_folder() {
    if (std::FILE* f = std::fopen("KSY/ZZZ.ksy", "r")) {
        std::fclose(f);
        return;
    }
    std::string here = __FILE__;
    here = here.substr(0, here.rfind('/'));
    if (chdir((here + "/../data").c_str()) != 0) std::perror("data folder");
}
