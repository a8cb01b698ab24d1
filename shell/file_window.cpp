#include "shell/file_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "engine/dialog.h"
#include "panels/generator_gui.h"
#include "patch/ksy_save.h"
#include "patch/patch_history.h"
#include "shell/rack_edit.h"
#include "shell/settings.h"
#include "synth/generator.h"
#include "synth/news.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct FILES {
    std::string own;  ///< the patch's own file; "" for a new patch
    SETTINGS* settings = nullptr;
    std::string settings_file;
    bool quit = false;
    FILE_LOAD load;
    /// The history's state last written to the autosave, and since when the patch differs from it.
    long autosaved = -1;
    bool waiting = false;
    clock_type::time_point since;
};
FILES files;

bool exists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string base_name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The patch as the name field shows it first: its file's name without ".ksy".
std::string field_name(const std::string& path) {
    std::string n = base_name(path);
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ksy") == 0) n.resize(n.size() - 4);
    return n;
}

/// A path as the file list names it: relative to the working folder when inside it.
std::string relative(const std::string& path) {
    char here[4096];
    if (path.empty() || path[0] != '/' || getcwd(here, sizeof here) == nullptr) return path;
    const std::string prefix = std::string(here) + "/";
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

void note_recent(const std::string& path) {
    if (files.settings == nullptr || path.empty()) return;
    settings_note_patch(files.settings, path);
    if (files.settings_file.empty()) return;
    std::string why;
    if (!settings_save(files.settings_file, *files.settings, &why)) news("Settings not kept: %s\n", why.c_str());
}

void forget_autosave() {
    const std::string a = autosave_path(files.own);
    if (exists(a)) std::remove(a.c_str());
    files.autosaved = -1;
    files.waiting = false;
}

KSY_LINKS_WRITER links_of(GENERATOR_GUI* panel) {
    return [panel](std::FILE* f) { panel->write_links_section(f); };
}

// ---------------------------------------------------------------- saving

using THEN = std::function<void()>;

void save_to(GENERATOR_GUI* panel, const std::string& path, const THEN& then) {
    if (save_ksy_file(path.c_str(), *panel->module, links_of(panel)) != 1) return;
    // The edits are in the file now: the autosave of the old name has served.
    forget_autosave();
    files.own = path;
    rack_saved();
    note_recent(path);
    if (then) then();
}

/// A name typed in the window: its own file when left as it was shown,
/// else a file of KSY/ (asking before another file is replaced).
void save_typed(GENERATOR_GUI* panel, const std::string& typed, const std::string& shown, const THEN& then) {
    if (!files.own.empty() && !shown.empty() && typed == shown) {
        save_to(panel, files.own, then);
        return;
    }
    char path[PATCH_NAME_MAX + 16];
    if (patch_name_path(typed, path, sizeof path) != 1) return;
    const std::string target = path;
    if (target == files.own || !exists(target)) {
        save_to(panel, target, then);
        return;
    }
    dialog_question("[" + target + "] exists.\nReplace it with this patch?", {"Replace", "Cancel"}, 1,
                    [panel, target, then](int button) {
                        if (button == 0) save_to(panel, target, then);
                        else news("Nothing saved\n");
                    });
}

/// Ctrl+S (as_new false) or Ctrl+Shift+S: the name field, and the console's prompt.
void ask_name(GENERATOR_GUI* panel, bool as_new, const THEN& then) {
    if (panel == nullptr || panel->module == nullptr) {
        news("No patch to save\n");
        return;
    }
    const std::string shown = as_new || files.own.empty() ? "" : field_name(files.own);
    dialog_text("Save the patch as (a name in KSY/):", shown, PATCH_NAME_MAX,
                [panel, shown, then](bool ok, const std::string& text) {
                    if (!ok) {
                        news("Escape: cancelled\n");
                        return;
                    }
                    save_typed(panel, text, shown, then);
                });
    // The console may answer too, as its prompt always could.
    list_patch_files();
    std::printf("Save - Entrez le nom du fichier : ");
    std::fflush(stdout);
    dialog_console_answer([panel, then](std::FILE* line) {
        char path[PATCH_NAME_MAX + 16];
        if (read_patch_name(line, path, sizeof path) == 1) save_to(panel, path, then);
    });
}

// ---------------------------------------------------------------- unsaved edits

/// Runs next when nothing would be lost: at once when the patch is saved,
/// else after Save (and a successful save) or Discard.
void unless_unsaved(GENERATOR_GUI* panel, const char* doing, const THEN& next) {
    if (!patch_history().unsaved()) {
        next();
        return;
    }
    const std::string name = files.own.empty() ? "The new patch" : "[" + base_name(files.own) + "]";
    // On the console too, where its first letters answer it as well.
    news("%s has unsaved changes. Save them before %s? (S)ave, (D)iscard, (C)ancel\n", name.c_str(), doing);
    dialog_question(name + " has unsaved changes.\nSave them before " + doing + "?", {"Save", "Discard", "Cancel"}, 2,
                    [panel, next](int button) {
                        if (button == 0) {
                            ask_name(panel, false, next);
                        } else if (button == 1) {
                            forget_autosave();
                            news("Unsaved changes discarded\n");
                            next();
                        }
                    });
}

void open_list() {
    std::vector<std::string> recent;
    if (files.settings != nullptr)
        for (const std::string& r : files.settings->recent) recent.push_back(relative(r));
    dialog_files("Open a patch", KSY_DIR, ".ksy", recent, [](bool ok, const std::string& path) {
        if (ok) files.load = FILE_LOAD{FILE_LOAD::FILE, path};
    });
    // The console may name one too.
    list_patch_files();
    std::printf("Open - Entrez le nom du fichier : ");
    std::fflush(stdout);
    dialog_console_answer([](std::FILE* line) {
        char path[PATCH_NAME_MAX + 16];
        if (read_patch_name(line, path, sizeof path) == 1) files.load = FILE_LOAD{FILE_LOAD::FILE, path};
    });
}

void write_autosave(GENERATOR_GUI* panel) {
    const std::string a = autosave_path(files.own);
    if (save_ksy_file(a.c_str(), *panel->module, links_of(panel), true) == 1) files.autosaved = patch_history().state_id();
}

}  // namespace

int autosave_seconds() {
    const char* e = std::getenv("Z_OZODIVE_AUTOSAVE_SECONDS");
    const int s = e != nullptr ? std::atoi(e) : 0;
    return s >= 1 && s <= 3600 ? s : 30;
}

std::string autosave_path(const std::string& patch) {
    const std::string name = patch.empty() ? "untitled.ksy" : base_name(patch);
    return std::string(KSY_DIR) + "/.autosave-" + name;
}

void files_start(const std::string& patch, SETTINGS* settings, const std::string& settings_file) {
    files = FILES{};
    files.own = patch;
    files.settings = settings;
    files.settings_file = settings_file;
    if (!patch.empty() && !exists(patch))
        news("Cannot open the patch [%s]: the window starts with an empty patch\n", patch.c_str());
    const std::string a = autosave_path(patch);
    struct stat kept, file;
    if (stat(a.c_str(), &kept) != 0) return;
    if (stat(patch.c_str(), &file) == 0 && file.st_mtime > kept.st_mtime) return;
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", std::localtime(&kept.st_mtime));
    news("Unsaved changes of [%s] from %s were kept in [%s]\n", base_name(patch.empty() ? "untitled" : patch).c_str(),
         when, a.c_str());
    dialog_question("Unsaved changes of [" + base_name(patch.empty() ? "a new patch" : patch) + "] from " + when +
                        " were kept.\nRestore them?",
                    {"Restore", "Discard", "Later"}, 2, [a](int button) {
                        if (button == 0) files.load = FILE_LOAD{FILE_LOAD::RESTORE, a};
                        if (button == 1) {
                            std::remove(a.c_str());
                            news("Kept changes discarded\n");
                        }
                    });
}

const std::string& files_patch() { return files.own; }

bool files_key(SDLKey key, SDLMod mod, GENERATOR_GUI* panel) {
    if ((mod & KMOD_CTRL) == 0) return false;
    const bool shift = (mod & KMOD_SHIFT) != 0;
    switch (key) {
    case SDLK_s: ask_name(panel, shift, nullptr); return true;
    case SDLK_o: unless_unsaved(panel, "opening another", open_list); return true;
    case SDLK_n:
        unless_unsaved(panel, "starting a new one", [] { files.load = FILE_LOAD{FILE_LOAD::EMPTY, ""}; });
        return true;
    case SDLK_q: files_quit_request(panel); return true;
    default: return false;
    }
}

void files_quit_request(GENERATOR_GUI* panel) {
    if (dialog_shown()) return;  // the question is already up
    unless_unsaved(panel, "quitting", [] { files.quit = true; });
}

bool files_quit_wanted() { return files.quit; }

FILE_LOAD files_take_load() {
    FILE_LOAD l = files.load;
    files.load = FILE_LOAD{};
    return l;
}

void files_loaded(const FILE_LOAD& load, bool ok) {
    if (!ok) return;
    switch (load.kind) {
    case FILE_LOAD::FILE:
        files.own = load.path;
        files.autosaved = -1;
        files.waiting = false;
        note_recent(load.path);
        news("Opened [%s]\n", load.path.c_str());
        break;
    case FILE_LOAD::EMPTY:
        files.own.clear();
        files.autosaved = -1;
        files.waiting = false;
        news("New patch: A adds a module, Ctrl+S saves it\n");
        break;
    case FILE_LOAD::RESTORE:
        // The patch is its file's again, with the edits not yet saved in it.
        patch_history().mark_unsaved();
        files.autosaved = patch_history().state_id();
        news("Restored the unsaved changes of [%s]\n", files.own.empty() ? "a new patch" : files.own.c_str());
        break;
    case FILE_LOAD::NONE: break;
    }
}

void files_frame(GENERATOR_GUI* panel) {
    if (panel == nullptr || panel->module == nullptr) return;
    if (!patch_history().unsaved() || patch_history().state_id() == files.autosaved) {
        files.waiting = false;
        return;
    }
    const auto now = clock_type::now();
    if (!files.waiting) {
        files.waiting = true;
        files.since = now;
    }
    if (now - files.since < std::chrono::seconds(autosave_seconds())) return;
    write_autosave(panel);
    files.waiting = false;
}

void files_end(GENERATOR_GUI* panel, bool chosen) {
    if (chosen || !patch_history().unsaved()) {
        if (chosen) forget_autosave();
        return;
    }
    if (panel == nullptr || panel->module == nullptr) return;
    write_autosave(panel);
    news("Unsaved changes kept in [%s]: the next start offers them\n", autosave_path(files.own).c_str());
}
