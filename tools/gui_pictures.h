// The picture sets of the interface, the image-library index that lists
// them (data/Kel_Engine/GUI.KIM) and the panel resource files that use them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/gui_layout.h"
#include "tools/gui_raster.h"

namespace gui {

/// One record of the image-library file: a whole picture, or a sheet of
/// rows x cols tiles of w x h pixels (named NAME_0, NAME_1, ... row by row).
struct Record {
    std::string name, file;
    int w = 0, h = 0, rows = 0, cols = 0;
};

/// Writes pictures under data/Kel_Engine/ and remembers their records.
class Library {
public:
    explicit Library(std::string dir) : dir_(std::move(dir)) {}
    void picture(const std::string& name, const Layer& l);
    /// The mask of a shaped picture: white where the frame shows through.
    void mask(const std::string& name, const Layer& l);
    /// A shaped picture and its mask NAME_MASK (or mask_name).
    void shaped(const std::string& name, const Layer& l, const std::string& mask_name = "");
    /// Tiles of equal size side by side in one row, loaded as NAME_0 .. NAME_n-1.
    void sheet(const std::string& name, const std::vector<Layer>& tiles);
    bool write_kim(const std::string& path) const;
    int image_count() const;  ///< library images including every tile
    bool ok() const { return ok_; }
    /// The picture of a library image name (tiles included), or null.
    const Layer* find(const std::string& name) const;

private:
    std::string dir_;
    std::map<std::string, Layer> images_;
    std::vector<Record> records_;
    bool ok_ = true;
};

/// Knob picture pointing straight up (angle 0) or turned clockwise by angle radians.
Layer knob_picture(int size, float angle = 0.0f);

void draw_widgets(Library& lib);  ///< knobs, buttons, lamps, digits, displays, plugs, sockets
void draw_faces(Library& lib);    ///< panel faces and backs from the layout table
Layer panel_face(const layout::Panel& p);
bool draw_splash(const std::string& path);
/// The panels' front resource files (RC/*.RC, FOND_GLOBAL.RC) from the layout table.
bool write_rc_files();
/// Each panel as the engine would show it, written to dir (for checking by eye).
void write_previews(const Library& lib, const std::string& dir);

}  // namespace gui
