// Drawing only what changed. Every frame the window sums up what each panel
// shows (its place, its pictures, angles, hover states, captions) and what
// the rest of the picture depends on (the view, the cables, the status line);
// a panel whose sum changed is drawn again in its own box only, anything else
// that changed draws the whole window. Then only those boxes of the drawing
// buffer are shown (GLX_MESA_copy_sub_buffer), where the GL driver offers it;
// otherwise the whole frame is drawn and swapped.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

class OBJET;

/// A box of the window, pixels, y from the top.
struct AREA {
    int x = 0, y = 0, w = 0, h = 0;
};

/// A sum of everything a panel's drawing depends on.
uint64_t panel_signature(const OBJET& panel);
/// Adds a value to a sum (FNV-1a over its bytes).
uint64_t mix_signature(uint64_t sum, const void* data, unsigned long size);
template <typename T>
uint64_t mix_value(uint64_t sum, const T& value) {
    return mix_signature(sum, &value, sizeof value);
}
/// Adds a text up to its end.
uint64_t mix_text(uint64_t sum, const char* text);
/// The first value of a sum.
constexpr uint64_t SIGNATURE_START = 1469598103934665603ull;

/// The box a panel covers in the window as the view draws it, with a margin.
AREA panel_area(const OBJET& panel);

class SCREEN_CHANGES {
public:
    /// Compares the panels and the rest of the picture (scene, a sum made by
    /// the caller) with the frame drawn last. False when nothing changed;
    /// otherwise *areas holds the boxes to draw again and *whole says whether
    /// that is the whole window. The comparison is taken as drawn.
    bool plan(const std::vector<OBJET*>& panels, uint64_t scene, std::vector<AREA>* areas, bool* whole);
    /// The next plan draws the whole window (exposed, resized, rebuilt).
    void redraw_all() { all = true; }

private:
    struct MARK {
        uint64_t sum;
        AREA box;
        bool seen;
    };
    std::unordered_map<const OBJET*, MARK> marks;
    uint64_t last_scene = 0;
    bool all = true;
};

/// Whether parts of the drawing buffer can be shown alone (probed once, with
/// the GL window open).
bool partial_present_available();
/// Shows the drawn areas: those boxes alone when possible, else the whole
/// buffer by a swap (whole must then have been drawn).
void present_areas(const std::vector<AREA>& areas, bool whole);
