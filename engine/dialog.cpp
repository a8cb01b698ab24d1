#include "engine/dialog.h"

#include <GL/gl.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"

// ---------------------------------------------------------------- text field

bool TEXT_FIELD::type(unsigned c) {
    if (c < 32 || c >= 127) return true;
    if (selected) {
        text.clear();
        selected = false;
    }
    if (text.size() >= max) return false;
    text += (char)c;
    return true;
}

void TEXT_FIELD::erase() {
    if (selected) {
        text.clear();
        selected = false;
    } else if (!text.empty()) {
        text.pop_back();
    }
}

// ---------------------------------------------------------------- folder rows

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() > end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "/" + b;
}

}  // namespace

std::vector<FILE_ROW> folder_rows(const std::string& root, const std::string& sub, const std::string& extension,
                                  const std::vector<std::string>& first, const std::string& filter) {
    const std::string here = join(root, sub);
    std::vector<std::string> folders, files;
    if (DIR* d = opendir(here.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.empty() || n[0] == '.') continue;
            struct stat st;
            if (stat(join(here, n).c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) folders.push_back(n);
            else if (S_ISREG(st.st_mode) && ends_with(n, extension)) files.push_back(n);
        }
        closedir(d);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    // The files named first, in their order, when they are in this folder.
    std::vector<std::string> ordered;
    for (const std::string& path : first) {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (folder != here || std::find(files.begin(), files.end(), name) == files.end()) continue;
        if (std::find(ordered.begin(), ordered.end(), name) == ordered.end()) ordered.push_back(name);
    }
    for (const std::string& f : files)
        if (std::find(ordered.begin(), ordered.end(), f) == ordered.end()) ordered.push_back(f);

    const std::string wanted = lower(filter);
    const auto kept = [&](const std::string& n) { return lower(n).find(wanted) != std::string::npos; };
    std::vector<FILE_ROW> rows;
    if (!sub.empty()) rows.push_back({"..", true});
    for (const std::string& f : folders)
        if (kept(f)) rows.push_back({f, true});
    for (const std::string& f : ordered)
        if (kept(f)) rows.push_back({f, false});
    return rows;
}

// ---------------------------------------------------------------- the open dialog

namespace {

enum class KIND { NONE, TEXT, FILES, QUESTION };

struct DIALOG {
    KIND kind = KIND::NONE;
    std::string title;
    TEXT_FIELD field;  ///< the name typed, or the file list's filter
    TEXT_DONE text_done;
    // The file list.
    std::string root, sub, extension;
    std::vector<std::string> first;
    std::vector<FILE_ROW> rows;
    int selected = 0, top_row = 0;
    // The question.
    std::vector<std::string> buttons;
    int cancel = 0;
    CHOICE_DONE choice_done;
    // The console's way to answer.
    CONSOLE_ANSWER console;
    std::string console_line;
};

DIALOG dialog;
/// Escape closed the dialog: its release must not reach the window, where it quits.
bool swallow_escape_up = false;

constexpr int ROW = 20;  ///< pixels
constexpr int TOP = 60;

int box_width() { return std::min(760, std::max(300, window_width() - 40)); }
int box_x() { return (window_width() - box_width()) / 2; }
int list_top() { return TOP + 3 * ROW + 8; }
int visible_rows() { return std::max(3, (window_height() - list_top() - 90) / ROW); }

void open(KIND kind, const std::string& title) {
    dialog_cancel();  // whatever was open gives way
    dialog.kind = kind;
    dialog.title = title;
    SDL_EnableUNICODE(1);
}

void close_dialog() {
    dialog = DIALOG{};
    SDL_EnableUNICODE(0);
}

// By value: the text may live in the dialog about to be closed.
void finish_text(bool ok, std::string text) {
    TEXT_DONE done = std::move(dialog.text_done);
    close_dialog();
    if (done) done(ok, ok ? std::move(text) : std::string());
}

void finish_choice(int button) {
    CHOICE_DONE done = std::move(dialog.choice_done);
    close_dialog();
    if (done) done(button);
}

void relist() {
    dialog.rows = folder_rows(dialog.root, dialog.sub, dialog.extension, dialog.first, dialog.field.text);
    dialog.selected = std::min(dialog.selected, std::max(0, (int)dialog.rows.size() - 1));
    dialog.top_row = 0;
}

/// The first file, past the folders, is what a player looks for first.
void select_first_file() {
    dialog.selected = 0;
    for (int i = 0; i < (int)dialog.rows.size(); i++)
        if (!dialog.rows[i].folder) {
            dialog.selected = i;
            return;
        }
}

void keep_selection_shown() {
    const int rows = visible_rows();
    if (dialog.selected < dialog.top_row) dialog.top_row = dialog.selected;
    if (dialog.selected >= dialog.top_row + rows) dialog.top_row = dialog.selected - rows + 1;
}

void enter_folder(const std::string& name) {
    if (name == "..") {
        const std::size_t slash = dialog.sub.rfind('/');
        dialog.sub = slash == std::string::npos ? "" : dialog.sub.substr(0, slash);
    } else {
        dialog.sub = join(dialog.sub, name);
    }
    dialog.field = TEXT_FIELD{};
    relist();
    select_first_file();
}

void pick_row(int row) {
    if (row < 0 || row >= (int)dialog.rows.size()) return;
    const FILE_ROW r = dialog.rows[row];
    if (r.folder) {
        enter_folder(r.name);
        return;
    }
    finish_text(true, join(join(dialog.root, dialog.sub), r.name));
}

bool files_key(unsigned c, SDLKey sym) {
    const int page = visible_rows(), last = (int)dialog.rows.size() - 1;
    switch (sym) {
    case SDLK_UP: dialog.selected = std::max(0, dialog.selected - 1); break;
    case SDLK_DOWN: dialog.selected = std::max(0, std::min(last, dialog.selected + 1)); break;
    case SDLK_PAGEUP: dialog.selected = std::max(0, dialog.selected - page); break;
    case SDLK_PAGEDOWN: dialog.selected = std::max(0, std::min(last, dialog.selected + page)); break;
    default:
        if (c == '\n' || c == '\r') {
            pick_row(dialog.selected);
            return true;
        }
        if (c == 8 || c == 127) {
            // With nothing typed, Backspace goes to the folder above.
            if (dialog.field.text.empty()) {
                if (!dialog.sub.empty()) enter_folder("..");
            } else {
                dialog.field.erase();
                relist();
            }
            return true;
        }
        if (c >= 32 && c < 127) {
            dialog.field.type(c);
            relist();
        }
        return true;
    }
    keep_selection_shown();
    return true;
}

bool question_key(unsigned c, SDLKey sym) {
    const int n = (int)dialog.buttons.size();
    if (sym == SDLK_LEFT) {
        dialog.selected = (dialog.selected + n - 1) % n;
        return true;
    }
    if (sym == SDLK_RIGHT || sym == SDLK_TAB) {
        dialog.selected = (dialog.selected + 1) % n;
        return true;
    }
    if (c == '\n' || c == '\r') {
        finish_choice(dialog.selected);
        return true;
    }
    for (int i = 0; i < n; i++)
        if (!dialog.buttons[i].empty() && std::tolower((unsigned char)dialog.buttons[i][0]) == std::tolower((int)c)) {
            finish_choice(i);
            return true;
        }
    return true;
}

/// One key, as a character (c) and, from the window, its key symbol.
bool key(unsigned c, SDLKey sym) {
    if (dialog.kind == KIND::NONE) return false;
    if (c == 27) {
        if (dialog.kind == KIND::QUESTION) finish_choice(dialog.cancel);
        else finish_text(false, "");
        return true;
    }
    switch (dialog.kind) {
    case KIND::TEXT:
        if (c == '\n' || c == '\r') finish_text(true, dialog.field.text);
        else if (c == 8 || c == 127) dialog.field.erase();
        else dialog.field.type(c);
        return true;
    case KIND::FILES: return files_key(c, sym);
    case KIND::QUESTION: return question_key(c, sym);
    case KIND::NONE: break;
    }
    return false;
}

/// The character a key press types: Enter, Escape and erasing keys as their codes.
unsigned typed(const SDL_keysym& k) {
    switch (k.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return '\n';
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return 8;
    default: break;
    }
    if (k.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) return 0;
    if (k.unicode != 0 && k.unicode < 128) return k.unicode;
    return k.sym < 128 ? (unsigned)k.sym : 0;
}

// ---------------------------------------------------------------- where things are

/// The buttons of the question: their boxes, left to right, centred.
constexpr int BUTTON_W = 140, BUTTON_H = 28, BUTTON_GAP = 20;

int message_lines() {
    return 1 + (int)std::count(dialog.title.begin(), dialog.title.end(), '\n');
}
int buttons_top() { return TOP + 20 + message_lines() * ROW + 16; }
int button_x(int i) {
    const int n = (int)dialog.buttons.size();
    const int all = n * BUTTON_W + (n - 1) * BUTTON_GAP;
    return box_x() + (box_width() - all) / 2 + i * (BUTTON_W + BUTTON_GAP);
}

int button_at(int x, int y) {
    if (y < buttons_top() || y >= buttons_top() + BUTTON_H) return -1;
    for (int i = 0; i < (int)dialog.buttons.size(); i++)
        if (x >= button_x(i) && x < button_x(i) + BUTTON_W) return i;
    return -1;
}

int row_at(int x, int y) {
    if (x < box_x() || x >= box_x() + box_width() || y < list_top()) return -1;
    const int row = (y - list_top()) / ROW + dialog.top_row;
    if (row >= dialog.top_row + visible_rows() || row >= (int)dialog.rows.size()) return -1;
    return row;
}

void mouse(const SDL_Event& e) {
    if (e.type != SDL_MOUSEBUTTONDOWN) return;
    const int x = e.button.x, y = e.button.y;
    if (dialog.kind == KIND::QUESTION) {
        const int b = button_at(x, y);
        if (e.button.button == SDL_BUTTON_LEFT && b >= 0) finish_choice(b);
        return;
    }
    if (dialog.kind != KIND::FILES) return;
    if (e.button.button == SDL_BUTTON_WHEELUP) {
        dialog.top_row = std::max(0, dialog.top_row - 3);
    } else if (e.button.button == SDL_BUTTON_WHEELDOWN) {
        dialog.top_row = std::max(0, std::min((int)dialog.rows.size() - visible_rows(), dialog.top_row + 3));
    } else if (e.button.button == SDL_BUTTON_LEFT) {
        const int row = row_at(x, y);
        if (row >= 0) pick_row(row);
    }
}

}  // namespace

// ---------------------------------------------------------------- opening

void dialog_text(const std::string& title, const std::string& initial, std::size_t max, TEXT_DONE done) {
    open(KIND::TEXT, title);
    dialog.field.max = max;
    dialog.field.text = initial.substr(0, max);
    dialog.field.selected = !dialog.field.text.empty();
    dialog.text_done = std::move(done);
}

void dialog_files(const std::string& title, const std::string& root, const std::string& extension,
                  const std::vector<std::string>& first, TEXT_DONE done) {
    open(KIND::FILES, title);
    dialog.root = root;
    dialog.extension = extension;
    dialog.first = first;
    dialog.field.max = 60;
    dialog.text_done = std::move(done);
    relist();
    select_first_file();
}

void dialog_question(const std::string& message, const std::vector<std::string>& buttons, int cancel,
                     CHOICE_DONE done) {
    open(KIND::QUESTION, message);
    dialog.buttons = buttons.empty() ? std::vector<std::string>{"OK"} : buttons;
    dialog.cancel = std::max(0, std::min(cancel, (int)dialog.buttons.size() - 1));
    dialog.selected = 0;
    dialog.choice_done = std::move(done);
}

// ---------------------------------------------------------------- the frame loop

bool dialog_shown() { return dialog.kind != KIND::NONE; }

bool dialog_event(const SDL_Event& e) {
    if (e.type == SDL_KEYUP && e.key.keysym.sym == SDLK_ESCAPE && swallow_escape_up) {
        swallow_escape_up = false;
        return true;
    }
    if (dialog.kind == KIND::NONE) return false;
    switch (e.type) {
    case SDL_KEYDOWN: {
        const unsigned c = typed(e.key.keysym);
        if (c == 27) swallow_escape_up = true;
        key(c, e.key.keysym.sym);
        return true;
    }
    // Releases go on: a note held when the dialog opened is let go.
    case SDL_KEYUP: return false;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: mouse(e); return true;
    case SDL_MOUSEMOTION: return true;
    default: return false;
    }
}

bool dialog_key(unsigned c) { return key(c, SDLK_UNKNOWN); }

void dialog_console_answer(CONSOLE_ANSWER answer) {
    if (dialog.kind == KIND::TEXT || dialog.kind == KIND::FILES) dialog.console = std::move(answer);
}

namespace {
// By value: the line lives in the dialog about to be closed.
void console_answers(std::string text) {
    CONSOLE_ANSWER answer = std::move(dialog.console);
    close_dialog();
    std::FILE* f = fmemopen(text.empty() ? nullptr : &text[0], text.size(), "r");
    if (f == nullptr) f = std::tmpfile();  // an empty memory stream cannot be made everywhere
    if (f == nullptr) return;
    answer(f);
    std::fclose(f);
}
}  // namespace

bool dialog_console_byte(int c) {
    if (dialog.kind == KIND::NONE) return false;
    if (!dialog.console) return key((unsigned)c == '\r' ? '\n' : (unsigned)c, SDLK_UNKNOWN);
    // A line, bounded like the console's own reading of it.
    if (dialog.console_line.size() < 4096) dialog.console_line += (char)c;
    if (c == '\n') console_answers(dialog.console_line);
    return true;
}

void dialog_console_ended() {
    if (dialog.console) console_answers(dialog.console_line);
}

void dialog_cancel() {
    if (dialog.kind == KIND::QUESTION) finish_choice(dialog.cancel);
    else if (dialog.kind != KIND::NONE) finish_text(false, "");
}

// ---------------------------------------------------------------- drawing

void window_box(int x, int top, int w, int h, unsigned colour) { FillRect(x, top - RECT_Y_SHIFT, w, h, (int)colour); }

void window_text(int size, int x, int top, const char* text) {
    // Text rows count from the bottom of the window.
    freetype::print(FONTS.get_Font(0, size), (float)x, (float)(window_height() - top - size - 2), "%s", text);
}

namespace {

constexpr unsigned FRAME = 0xF0C8A050u, FACE = 0xF0181C22u, CHOSEN = 0xFF4A3A18u, WELL = 0xFF101418u;

void frame(int rows_height) {
    window_box(box_x() - 2, TOP - 2, box_width() + 4, rows_height + 4, FRAME);
    window_box(box_x(), TOP, box_width(), rows_height, FACE);
}

void amber() { glColor3d(1.0, 0.78, 0.35); }
void grey() { glColor3d(0.6, 0.6, 0.55); }
void cream() { glColor3d(1.0, 0.9, 0.6); }

void draw_text_field() {
    const int x = box_x();
    frame(3 * ROW + 16);
    amber();
    window_text(13, x + 10, TOP + 4, dialog.title.c_str());
    window_box(x + 8, TOP + ROW + 6, box_width() - 16, ROW + 2, dialog.field.selected ? CHOSEN : WELL);
    cream();
    const std::string shown = dialog.field.text + (dialog.field.selected ? "" : "_");
    window_text(12, x + 12, TOP + ROW + 8, shown.c_str());
    grey();
    window_text(10, x + 10, TOP + 2 * ROW + 12, "Enter: accept | Esc: cancel | Backspace: erase");
}

void draw_files() {
    const int x = box_x(), w = box_width();
    const int rows = std::min(visible_rows(), std::max(1, (int)dialog.rows.size() - dialog.top_row));
    frame(3 * ROW + 16 + rows * ROW);
    amber();
    const std::string head = dialog.title + "  " + join(dialog.root, dialog.sub) + "/";
    window_text(13, x + 10, TOP + 4, head.c_str());
    cream();
    const std::string filter = "filter: " + dialog.field.text + "_";
    window_text(11, x + 10, TOP + ROW + 6, filter.c_str());
    grey();
    window_text(10, x + 10, TOP + 2 * ROW + 6,
                "type to filter | Up, Down | Enter or click: open | Backspace: folder above | Esc: cancel");
    const int top = list_top();
    if (dialog.rows.empty()) {
        cream();
        window_text(11, x + 10, top, "no file here holds that text");
    }
    for (int r = 0; r < rows && dialog.top_row + r < (int)dialog.rows.size(); r++) {
        const FILE_ROW& row = dialog.rows[dialog.top_row + r];
        if (dialog.top_row + r == dialog.selected) window_box(x + 4, top + r * ROW, w - 8, ROW, CHOSEN);
        if (row.folder) glColor3d(0.55, 0.8, 1.0);
        else cream();
        const std::string name = row.folder ? row.name + "/" : row.name;
        window_text(11, x + 12, top + r * ROW + 2, name.c_str());
    }
}

void draw_question() {
    const int x = box_x();
    frame(buttons_top() + BUTTON_H + 12 + ROW - TOP);
    amber();
    std::size_t from = 0;
    for (int line = 0; from <= dialog.title.size(); line++) {
        const std::size_t end = std::min(dialog.title.find('\n', from), dialog.title.size());
        const std::string part = dialog.title.substr(from, end - from);
        window_text(13, x + 14, TOP + 10 + line * ROW, part.c_str());
        from = end + 1;
    }
    for (int i = 0; i < (int)dialog.buttons.size(); i++) {
        const int bx = button_x(i), by = buttons_top();
        window_box(bx - 1, by - 1, BUTTON_W + 2, BUTTON_H + 2, FRAME);
        window_box(bx, by, BUTTON_W, BUTTON_H, i == dialog.selected ? CHOSEN : WELL);
        cream();
        const freetype::font_data font = FONTS.get_Font(0, 12);
        const int tw = freetype::text_width(font, dialog.buttons[i].c_str());
        window_text(12, bx + (BUTTON_W - tw) / 2, by + 6, dialog.buttons[i].c_str());
    }
    grey();
    std::string keys;
    for (const std::string& b : dialog.buttons) keys += (keys.empty() ? "" : ", ") + b.substr(0, 1);
    keys += " or Left, Right and Enter | Esc: " + dialog.buttons[dialog.cancel];
    window_text(10, x + 14, buttons_top() + BUTTON_H + 8, keys.c_str());
}

}  // namespace

void draw_dialog() {
    switch (dialog.kind) {
    case KIND::TEXT: draw_text_field(); break;
    case KIND::FILES: draw_files(); break;
    case KIND::QUESTION: draw_question(); break;
    case KIND::NONE: return;
    }
    glColor3d(1, 1, 1);
}

std::uint64_t dialog_look() {
    if (dialog.kind == KIND::NONE) return 0;
    // FNV-1a over what the dialog shows.
    std::uint64_t h = 14695981039346656037ull;
    const auto mix = [&](const std::string& text) {
        for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    mix(dialog.title);
    mix(dialog.field.text);
    mix(dialog.sub);
    mix(std::to_string((int)dialog.kind) + " " + std::to_string(dialog.selected) + " " +
        std::to_string(dialog.top_row) + " " + std::to_string(dialog.field.selected) + " " +
        std::to_string(dialog.rows.size()));
    return h;
}
