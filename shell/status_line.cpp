#include "shell/status_line.h"

#include <chrono>
#include <cstdio>

#include "shell/patching.h"

namespace {
// Long enough to be read once the window has opened after start-up.
constexpr auto SHOWN_FOR = std::chrono::seconds(15);

char message[256] = "";
std::chrono::steady_clock::time_point since;
}  // namespace

void status_message(const char* text) {
    std::snprintf(message, sizeof message, "%s", text != nullptr ? text : "");
    since = std::chrono::steady_clock::now();
}

const char* window_status() {
    const char* patching = patching_status();
    if (patching[0] != '\0') return patching;
    if (message[0] != '\0' && std::chrono::steady_clock::now() - since > SHOWN_FOR) message[0] = '\0';
    return message;
}
