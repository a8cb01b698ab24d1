#include "shell/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "shell/sound_device.h"

namespace {

const struct {
    const char* word;
    int kind;
} OUTPUT_WORDS[] = {{"oss", FSOUND_OUTPUT_OSS},      {"daemon", FSOUND_OUTPUT_ESD}, {"alsa", FSOUND_OUTPUT_ALSA},
                    {"none", FSOUND_OUTPUT_NOSOUND}, {"jack", FSOUND_OUTPUT_JACK}};

// A whole number from 1 to limit, the whole of text; -1 otherwise.
int whole_number(const std::string& text, int limit) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    const int v = std::atoi(text.c_str());
    return v >= 1 && v <= limit ? v : -1;
}

// A patch name the file can hold: one line, not empty, no control bytes.
bool good_patch_name(const std::string& name) {
    if (name.empty() || name.size() > 4096) return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Makes dir and its parents; true when it exists afterwards.
bool make_folders(const std::string& dir) {
    for (std::size_t at = 1; at <= dir.size(); at++) {
        if (at < dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string why_errno(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

int sound_output_from_word(const char* word) {
    for (const auto& w : OUTPUT_WORDS)
        if (std::strcmp(word, w.word) == 0) return w.kind;
    return -1;
}

const char* sound_output_word(int kind) {
    for (const auto& w : OUTPUT_WORDS)
        if (w.kind == kind) return w.word;
    return "";
}

std::string settings_path() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
    if (config != nullptr && config[0] == '/') return std::string(config) + "/z_ozodive/settings";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/z_ozodive/settings";
    return "";
}

SETTINGS settings_parse(const std::string& text, std::vector<std::string>* problems) {
    SETTINGS s;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    const auto problem = [&](const std::string& what) {
        if (problems != nullptr) problems->push_back("line " + std::to_string(number) + ": " + what);
    };
    while (std::getline(in, line)) {
        number++;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            problem("no key=value, ignored");
            continue;
        }
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "output") {
            const int kind = sound_output_from_word(value.c_str());
            if (kind < 0) problem("output takes oss, daemon, alsa, jack or none, not [" + value + "], ignored");
            else s.output = kind;
        } else if (key == "driver") {
            const int driver = whole_number(value, 99);
            if (driver < 0) problem("driver takes a number from 1, not [" + value + "], ignored");
            else s.driver = driver;
        } else if (key == "window") {
            int w = 0, h = 0;
            char rest = 0;
            if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 320 || h < 240 || w > 6000 ||
                h > 6000)
                problem("window takes WIDTHxHEIGHT from 320x240 to 6000x6000, not [" + value + "], ignored");
            else {
                s.width = w;
                s.height = h;
            }
        } else if (key == "last_patch" || key == "recent") {
            if (!good_patch_name(value)) {
                problem(key + " has no usable patch name, ignored");
            } else if (key == "last_patch") {
                s.last_patch = value;
            } else if (s.recent.size() < SETTINGS_RECENT_MAX &&
                       std::find(s.recent.begin(), s.recent.end(), value) == s.recent.end()) {
                s.recent.push_back(value);
            }
        } else {
            problem("unknown key [" + key + "], ignored");
        }
    }
    return s;
}

std::string settings_text(const SETTINGS& s) {
    std::string text = "# z_ozodive's settings, written by the program; one key=value a line.\n";
    if (s.output >= 0 && sound_output_word(s.output)[0] != '\0')
        text += std::string("output=") + sound_output_word(s.output) + "\n";
    if (s.driver >= 1) text += "driver=" + std::to_string(s.driver) + "\n";
    if (s.width > 0 && s.height > 0) text += "window=" + std::to_string(s.width) + "x" + std::to_string(s.height) + "\n";
    if (good_patch_name(s.last_patch)) text += "last_patch=" + s.last_patch + "\n";
    for (const std::string& r : s.recent)
        if (good_patch_name(r)) text += "recent=" + r + "\n";
    return text;
}

bool settings_load(const std::string& path, SETTINGS* settings) {
    struct stat st {};
    const bool found = stat(path.c_str(), &st) == 0;
    if (!found && errno == ENOENT) return true;  // a first run: nothing remembered yet
    std::ifstream in;
    if (found && S_ISREG(st.st_mode)) in.open(path, std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "Settings: cannot read %s (%s); going on without them\n", path.c_str(),
                     found && !S_ISREG(st.st_mode) ? "not a file" : std::strerror(errno));
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> problems;
    *settings = settings_parse(text.str(), &problems);
    for (const std::string& p : problems) std::fprintf(stderr, "Settings %s: %s\n", path.c_str(), p.c_str());
    return true;
}

bool settings_save(const std::string& path, const SETTINGS& settings, std::string* why) {
    const std::size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos) {
        *why = "no folder for the settings (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    const std::string dir = path.substr(0, slash);
    if (!make_folders(dir)) {
        *why = why_errno("cannot make the folder", dir);
        return false;
    }
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = why_errno("cannot write", temp);
        return false;
    }
    const std::string text = settings_text(settings);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (!ok) *why = why_errno("cannot write", temp);
    if (close(fd) != 0 && ok) {
        ok = false;
        *why = why_errno("cannot write", temp);
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        *why = why_errno("cannot replace", path);
    }
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

void settings_note_patch(SETTINGS* settings, const std::string& patch) {
    if (!good_patch_name(patch)) return;
    settings->last_patch = patch;
    auto& r = settings->recent;
    r.erase(std::remove(r.begin(), r.end(), patch), r.end());
    r.insert(r.begin(), patch);
    if (r.size() > SETTINGS_RECENT_MAX) r.resize(SETTINGS_RECENT_MAX);
}
