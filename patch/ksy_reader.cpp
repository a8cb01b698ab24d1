#include "patch/ksy_reader.h"

#include <sys/stat.h>

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "patch/kstr_parser.h"
#include "synth/exit.h"

KsyFile open_ksy(const char* path) {
    if (path == nullptr) return nullptr;
    KsyFile f(std::fopen(path, "r"));
    if (!f) return nullptr;
    struct stat st;
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    return f;
}

namespace {
bool blank(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

bool KsyTokens::next(std::string& token) {
    for (;;) {
        int c = std::getc(file);
        while (c != EOF && blank(c)) c = std::getc(file);
        if (c == EOF) return false;
        token.clear();
        bool too_long = false;
        for (; c != EOF && !blank(c); c = std::getc(file)) {
            if (static_cast<int>(token.size()) < KSY_TOKEN_MAX)
                token.push_back(static_cast<char>(c));
            else
                too_long = true;
        }
        count++;
        if (!too_long) return true;
        std::printf("Line %d: token longer than %d characters, ignored\n", count, KSY_TOKEN_MAX);
    }
}

bool ksy_keyed_format(std::FILE* f) {
    std::rewind(f);
    KsyTokens tokens(f);
    std::string first;
    const bool keyed = tokens.next(first) && first == KSY_FORMAT_MARKER;
    std::rewind(f);
    return keyed;
}

KeyValue::KeyValue(const char* field) {
    KSTR_PARSER p(field, '=');
    key.reset(p.get_champ(0));
    value.reset(p.get_champ(1));
}

int ksy_int(const char* s) {
    if (s == nullptr) return 0;
    const long v = std::strtol(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float ksy_real(const char* s) {
    if (s == nullptr) return 0.0f;
    const double v = std::strtod(s, nullptr);
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

int ksy_int_at(const char* s, int from, int count) {
    if (s == nullptr) return 0;
    const int len = static_cast<int>(std::strlen(s));
    if (from >= len) return 0;
    std::string part(s + from, count > 0 && from + count < len ? count : len - from);
    return ksy_int(part.c_str());
}

void ksy_empty_field(int counter) {
    std::printf("Erreur, au niveau des parametre ligne [%d]\n", counter);
    kel_exit(-1);
}
