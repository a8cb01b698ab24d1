// Field parser: the first byte is the separator, the rest the line. Every field
// get_champ hands out must be a separator-free copy, and the one-pass splitter
// the loader uses must give exactly the same fields.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "patch/kstr_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char sep = static_cast<char>(data[0]);
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);  // cut at a NUL by c_str
    KSTR_PARSER parser(line.c_str(), sep);
    const KSTR_FIELDS fields(line.c_str(), sep);
    const int count = parser.get_nbr_champs();
    if (fields.get_nbr_champs() != count) __builtin_trap();
    for (int n = -1; n <= count + 1; n++) {
        std::unique_ptr<char[]> f(parser.get_champ(n));
        const char* g = fields.field(n);
        if ((f == nullptr) != (g == nullptr)) __builtin_trap();
        if (f == nullptr) continue;
        if (std::strcmp(f.get(), g) != 0 || f[0] == '\0' || (sep != '\0' && std::strchr(f.get(), sep) != nullptr)) __builtin_trap();
    }
    return 0;
}
