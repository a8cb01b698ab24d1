#include "synth/names.h"

#include <cstring>

int copy_name(char* dst, std::size_t n, const char* src) {
    if (n == 0) return 0;
    if (src == nullptr) {
        dst[0] = '\0';
        return 1;
    }
    std::size_t len = std::strlen(src);
    int fitted = 1;
    if (len >= n) {
        len = n - 1;
        fitted = 0;
    }
    std::memmove(dst, src, len);
    dst[len] = '\0';
    return fitted;
}
