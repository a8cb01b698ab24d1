// Draws every picture of the interface and writes the files that list
// them: data/Kel_Engine/*.png, SnapShot.jpg, GUI.KIM and FONTS.LST, and the
// panels' front resource files data/RC/*.RC and data/FOND_GLOBAL.RC.
// Run from data/ (tools/make_gui.sh does); all paths are relative to it.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/gui_layout.h"
#include "tools/gui_pictures.h"

namespace gui {

// Names and paths in the image-library file are tokens of at most 59 characters.
static bool token_ok(const std::string& s) { return !s.empty() && s.size() <= 59; }

void Library::picture(const std::string& name, const Layer& l) {
    images_.insert_or_assign(name, l);
    std::string file = dir_ + "/" + name + ".png";
    ok_ = write_png(file, l) && token_ok(name) && token_ok(file) && ok_;
    records_.push_back({name, file});
}

void Library::mask(const std::string& name, const Layer& l) {
    Layer m(l.w, l.h);
    for (size_t i = 0; i < m.px.size(); ++i) m.px[i] = {1 - l.cov[i], 1 - l.cov[i], 1 - l.cov[i]}, m.cov[i] = 1;
    images_.insert_or_assign(name, m);
    std::string file = dir_ + "/" + name + ".png";
    ok_ = write_mask_png(file, l) && token_ok(name) && token_ok(file) && ok_;
    records_.push_back({name, file});
}

void Library::shaped(const std::string& name, const Layer& l, const std::string& mask_name) {
    picture(name, l);
    mask(mask_name.empty() ? name + "_MASK" : mask_name, l);
}

void Library::sheet(const std::string& name, const std::vector<Layer>& tiles) {
    int w = tiles[0].w, h = tiles[0].h;
    Layer all(w * int(tiles.size()), h);
    for (size_t i = 0; i < tiles.size(); ++i) stamp(all, tiles[i], int(i) * w, 0);
    picture(name, all);
    for (size_t i = 0; i < tiles.size(); ++i) images_.insert_or_assign(name + "_" + std::to_string(i), tiles[i]);
    records_.back().w = w, records_.back().h = h, records_.back().rows = 1, records_.back().cols = int(tiles.size());
}

const Layer* Library::find(const std::string& name) const {
    auto it = images_.find(name);
    return it == images_.end() ? nullptr : &it->second;
}

int Library::image_count() const {
    int n = 0;
    for (const Record& r : records_) n += r.rows ? r.rows * r.cols : 1;
    return n;
}

bool Library::write_kim(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "KIM z_ozodive_interface\n");
    for (const Record& r : records_) {
        if (r.rows)
            std::fprintf(f, "%s %s TILES %d %d %d %d 0 0\n", r.name.c_str(), r.file.c_str(), r.w, r.h, r.rows, r.cols);
        else
            std::fprintf(f, "%s %s SIMPLEPART\n", r.name.c_str(), r.file.c_str());
    }
    std::fprintf(f, "END\n");
    return std::fclose(f) == 0;
}

}  // namespace gui

// The font numbers of gui_layout.h; the font engine renders each at 18 sizes.
static bool write_fonts(const char* path) {
    std::ofstream f(path);
    f << "FONTS z_ozodive\n"
         "CONDENSED /usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf\n"
         "BOLD /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf\n"
         "MONO /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf\n"
         "SANS /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\n"
         "END\n";
    return bool(f);
}

// With --preview DIR, also writes each panel as the engine would show it.
int main(int argc, char** argv) {
    gui::Library lib("Kel_Engine");
    gui::draw_widgets(lib);
    gui::draw_faces(lib);
    if (argc == 3 && std::string(argv[1]) == "--preview") gui::write_previews(lib, argv[2]);
    bool ok = lib.ok() && lib.write_kim("Kel_Engine/GUI.KIM") && write_fonts("Kel_Engine/FONTS.LST") &&
              gui::draw_splash("Kel_Engine/SnapShot.jpg") && gui::write_rc_files();
    gui::release_fonts();
    std::printf("%d images in Kel_Engine/GUI.KIM\n", lib.image_count());
    if (!ok) std::fprintf(stderr, "make_gui: could not write every file\n");
    return ok ? 0 : 1;
}
