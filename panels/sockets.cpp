#include "panels/sockets.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "synth/mixer.h"

namespace {

const char* const IN_PREFIX = "JACK_IN_";
const char* const CHANNEL_KEY = "ADD_CHANELL";

/// Every input key of the links section and what it carries.
const struct {
    const char* key;
    SOCKET_KIND kind;
} INPUT_KEYS[] = {
    {"IN", SOCKET_VALUE},        {"IN1", SOCKET_VALUE},       {"IN2", SOCKET_VALUE},
    {"IN_IF", SOCKET_VALUE},     {"IN_ASSIGN", SOCKET_VALUE}, {"MOD_FREQ", SOCKET_VALUE},
    {"MOD_PHASE", SOCKET_VALUE}, {"MOD_AMP", SOCKET_VALUE},   {"MOD_PWM", SOCKET_VALUE},
    {"ALT_FREQ", SOCKET_VALUE},  {"ALT_PHASE", SOCKET_VALUE}, {"ALT_AMP", SOCKET_VALUE},
    {"ALT_PWM", SOCKET_VALUE},   {"GATE", SOCKET_GATE},       {"SYNC", SOCKET_SYNC},
};

/// The outputs, one per kind.
const struct {
    const char* name;
    SOCKET_KIND kind;
} OUTPUTS[] = {{"JACK_OUT", SOCKET_VALUE}, {"JACK_GATE_OUT", SOCKET_GATE}, {"JACK_SYNC_OUT", SOCKET_SYNC}};

/// The name after a panel-number prefix ("12_"), when there is one.
const char* without_prefix(const char* name) {
    const char* p = name;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    return p > name && *p == '_' ? p + 1 : name;
}

/// Mixer channel number 1..MIXER_CHANNELS written plainly (no sign, no
/// leading zero, nothing after it), as 0-based channel; -1 otherwise.
int channel_of(const char* digits) {
    if (*digits < '1' || *digits > '9') return -1;
    int n = 0;
    for (const char* d = digits; *d; ++d) {
        if (!std::isdigit(static_cast<unsigned char>(*d))) return -1;
        n = n * 10 + (*d - '0');
        if (n > MIXER_CHANNELS) return -1;
    }
    return n - 1;
}

bool read_input(const char* key, SOCKET_INFO* info) {
    for (const auto& k : INPUT_KEYS) {
        if (std::strcmp(key, k.key) != 0) continue;
        *info = SOCKET_INFO{true, k.kind, k.key, -1};
        return true;
    }
    const size_t n = std::strlen(CHANNEL_KEY);
    if (std::strncmp(key, CHANNEL_KEY, n) != 0 || key[n] != '_') return false;
    const int channel = channel_of(key + n + 1);
    if (channel < 0) return false;
    *info = SOCKET_INFO{true, SOCKET_VALUE, CHANNEL_KEY, channel};
    return true;
}

}  // namespace

bool read_socket_name(const char* name, SOCKET_INFO* info) {
    if (name == nullptr || info == nullptr) return false;
    name = without_prefix(name);
    for (const auto& o : OUTPUTS) {
        if (std::strcmp(name, o.name) != 0) continue;
        *info = SOCKET_INFO{false, o.kind, nullptr, -1};
        return true;
    }
    const size_t n = std::strlen(IN_PREFIX);
    return std::strncmp(name, IN_PREFIX, n) == 0 && read_input(name + n, info);
}

bool read_socket(const OBJET* panel, const SPRITE* element, SOCKET_INFO* info) {
    return panel != nullptr && element != nullptr && read_socket_name(panel->own_name(element), info);
}

bool socket_name(const SOCKET_INFO& port, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return false;
    out[0] = '\0';
    int written = -1;
    if (!port.input) {
        for (const auto& o : OUTPUTS)
            if (o.kind == port.kind) written = std::snprintf(out, size, "%s", o.name);
    } else if (port.key != nullptr && std::strcmp(port.key, CHANNEL_KEY) == 0) {
        if (port.channel >= 0 && port.channel < MIXER_CHANNELS)
            written = std::snprintf(out, size, "%s%s_%d", IN_PREFIX, CHANNEL_KEY, port.channel + 1);
    } else if (port.key != nullptr) {
        // The key decides an input's kind; only the known keys have sockets.
        for (const auto& k : INPUT_KEYS)
            if (std::strcmp(port.key, k.key) == 0) written = std::snprintf(out, size, "%s%s", IN_PREFIX, k.key);
    }
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool sockets_match(const SOCKET_INFO& a, const SOCKET_INFO& b) {
    return a.input != b.input && a.kind == b.kind;
}

SPRITE* find_socket(OBJET* panel, const SOCKET_INFO& port) {
    char name[64];
    if (panel == nullptr || !socket_name(port, name, sizeof name)) return nullptr;
    for (SPRITE* s : panel->alt_elements)
        if (std::strcmp(panel->own_name(s), name) == 0) return s;
    return nullptr;
}
