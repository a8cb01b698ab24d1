#include "shell/data_folder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
/// The user's own files: copied once from the shipped data, then theirs.
const char* const USER_FOLDERS[] = {"KSY", "PARTITIONS", "Sounds"};
/// The interface: read from the installed share folder, never copied.
const char* const INTERFACE_FILES[] = {"RC", "Kel_Engine", "FOND_GLOBAL.RC"};

/// prefix/share/z_ozodive for a program installed as prefix/bin/z_ozodive.
std::string shipped_folder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    return (exe.parent_path().parent_path() / "share" / "z_ozodive").string();
}

std::string user_folder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/z_ozodive";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return "";
    return std::string(home) + "/.local/share/z_ozodive";
}

/// Copies what the user does not have yet; a file of theirs is never replaced.
bool copy_missing(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec) return false;
    for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path target = to / fs::relative(it->path(), from, ec);
        if (ec) return false;
        if (it->is_directory()) {
            fs::create_directories(target, ec);
        } else if (!fs::exists(target)) {
            fs::copy_file(it->path(), target, ec);
        }
        if (ec) return false;
    }
    return !ec;
}

/// A link in the user's folder to an interface file of the share folder; a
/// real file or folder of the user's with that name is left alone.
bool link_interface(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::is_symlink(to, ec)) {
        if (fs::read_symlink(to, ec) == from) return true;
        fs::remove(to, ec);
    } else if (fs::exists(to, ec)) {
        return true;
    }
    fs::create_symlink(from, to, ec);
    return !ec;
}

bool enter(const std::string& dir) {
    if (chdir(dir.c_str()) == 0) return true;
    std::fprintf(stderr, "Cannot work in [%s]: it cannot be entered\n", dir.c_str());
    return false;
}

bool make_user_folder(const std::string& shipped, const std::string& user) {
    for (const char* f : USER_FOLDERS) {
        const fs::path from = fs::path(shipped) / f;
        if (fs::is_directory(from) && !copy_missing(from, fs::path(user) / f)) {
            std::fprintf(stderr, "Cannot make the folder [%s/%s] from [%s]\n", user.c_str(), f, from.c_str());
            return false;
        }
    }
    for (const char* f : INTERFACE_FILES) {
        const fs::path from = fs::path(shipped) / f;
        if (fs::exists(from) && !link_interface(from, fs::path(user) / f)) {
            std::fprintf(stderr, "Cannot link [%s] into [%s]\n", from.c_str(), user.c_str());
            return false;
        }
    }
    return true;
}
}  // namespace

bool is_data_folder(const std::string& dir) {
    std::error_code ec;
    return fs::is_directory(fs::path(dir) / "RC", ec) && fs::exists(fs::path(dir) / "Kel_Engine" / "GUI.KIM", ec);
}

bool enter_data_folder(const char* named, DATA_FOLDER* chosen) {
    std::error_code ec;
    if (named != nullptr) {
        if (!is_data_folder(named)) {
            std::fprintf(stderr, "--data [%s] is not a data folder (no RC/ or Kel_Engine/GUI.KIM)\n", named);
            return false;
        }
        chosen->work = fs::absolute(named, ec).string();
        return enter(chosen->work);
    }
    if (is_data_folder(".")) {
        chosen->work = fs::current_path(ec).string();
        return true;
    }
    const std::string shipped = shipped_folder(), user = user_folder();
    if (shipped.empty() || !is_data_folder(shipped)) {
        // Not installed (a build folder's program started elsewhere): it works
        // where it was started, as it always did; files it cannot find say so.
        chosen->work = fs::current_path(ec).string();
        return true;
    }
    if (user.empty()) {
        std::fprintf(stderr, "Neither XDG_DATA_HOME nor HOME is set: name a data folder with --data DIR\n");
        return false;
    }
    if (!make_user_folder(shipped, user) || !enter(user)) return false;
    chosen->work = user;
    chosen->shipped = shipped;
    std::printf("Working in [%s] (patches, patterns and sounds); interface from [%s]\n", user.c_str(),
                shipped.c_str());
    return true;
}
