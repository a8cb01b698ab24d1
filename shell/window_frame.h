// Drawing the window's frames: only the boxes of what changed since the last
// frame drawn (a panel's pictures, knobs, lamps, captions), the whole window
// when anything else changed (the view, the cables, the foot lines).
#pragma once

#include <chrono>
#include <vector>

#include "engine/screen_changes.h"

class OBJET;
class GENERATOR_GUI;

/// What a frame shows: the background, the panels pointed at and drawn (the
/// patch panel among them), and the patch panel whose cables the backs show.
struct FRAME_SCENE {
    OBJET* background;
    std::vector<OBJET*>* shown;
    GENERATOR_GUI* patch_panel;
};

class FRAME_PAINTER {
public:
    /// The next frame draws the whole window (exposed, resized, rebuilt).
    void redraw_all() { changes.redraw_all(); }
    /// Patching input in the back view this frame: the frame is drawn (a
    /// cable in hand follows the pointer).
    void patching_input() { backs_input = true; }
    /// Draws what changed since the last frame drawn, and shows it; nothing
    /// at all while nothing changed.
    void draw_changes(const FRAME_SCENE& scene);

private:
    /// With Z_OZODIVE_FRAME_STATS set, the frames drawn and their drawing time
    /// (GL finished) every 2 s on standard output; "full" draws every frame whole.
    struct STATS {
        int mode = -1;  ///< -1 not asked yet, 0 off, 1 on, 2 every frame whole
        int frames = 0, loops = 0;
        double total_ms = 0, worst_ms = 0, best_ms = 1e9;
        std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();

        bool on();
        void drawn(double ms);
        void loop();
    };

    uint64_t scene_signature(const char* help, const char* status);
    void draw_area(const FRAME_SCENE& scene, const AREA& a, const char* help, const char* status);

    SCREEN_CHANGES changes;
    bool backs_input = false;
    uint64_t patching_frames = 0;
    std::vector<AREA> areas;
    std::vector<OBJET*> in_area;
    STATS stats;
};
