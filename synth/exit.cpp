#include "synth/exit.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<exit_handler> current_handler{nullptr};
}  // namespace

void kel_exit(int status) {
    const exit_handler handler = current_handler.load();
    if (handler != nullptr) handler(status);
    std::exit(status);
}

exit_handler set_exit_handler(exit_handler handler) { return current_handler.exchange(handler); }
