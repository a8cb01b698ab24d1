#include "shell/patch_reload.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "shell/globals.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/news.h"
#include "patch/ksy_reader.h"

namespace {
struct LOAD_ENDED {
    int status;
};
[[noreturn]] void throw_status(int status) { throw LOAD_ENDED{status}; }

// A load into a scratch patch: true when the file exists and loads without
// ending the program.
bool loads_cleanly(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
        std::fclose(f);
    } else {
        news("Cannot reload [%s]: the file cannot be opened; the patch plays on\n", path.c_str());
        return false;
    }
    const exit_handler previous = set_exit_handler(throw_status);
    bool ok = true;
    try {
        GENERATOR trial;
        trial.load_KSY(const_cast<char*>(path.c_str()));
    } catch (const LOAD_ENDED& e) {
        news("Cannot reload [%s]: the file is not a valid patch (status %d); the patch plays on\n",
                    path.c_str(), e.status);
        ok = false;
    }
    set_exit_handler(previous);
    return ok;
}
}  // namespace

bool reload_patch(GENERATOR* target, const char* path_arg) {
    if (target == nullptr || path_arg == nullptr) return false;
    const std::string path = path_arg;
    if (!loads_cleanly(path)) return false;
    CALLBACK_READY.store(0, std::memory_order_release);
    GENERATOR* playing = main_gen.load(std::memory_order_acquire);
    if (playing != nullptr && playing != target) {
        // A sub-patch is stepped under the playing patch's lock.
        std::lock_guard<std::mutex> hold(playing->audio_lock);
        target->load_KSY(const_cast<char*>(path.c_str()));
    } else {
        target->load_KSY(const_cast<char*>(path.c_str()));
    }
    return true;
}

void reload_patch_empty(GENERATOR* target) {
    if (target == nullptr) return;
    CALLBACK_READY.store(0, std::memory_order_release);
    // An empty file is an empty patch: every module goes, nothing comes.
    load_ksy_bytes(*target, "", 0, "");
}
