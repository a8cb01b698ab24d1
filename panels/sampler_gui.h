// The sampler's panel: pitch, volume and phase knobs, play mode, file browsing, the waveform, a mini view.
#pragma once

#include <string>
#include <vector>

#include "engine/objet.h"
#include "synth/generator.h"

class SAMPLER_GUI : public OBJET {
public:
    /// The folder the file buttons browse, and the extension of its sounds.
    static constexpr const char* SOUNDS_DIR = "Sounds";
    static constexpr const char* SOUNDS_EXT = "wav";
    /// Points of the waveform trace (two per drawn segment).
    static constexpr int WAVE_POINTS = 300;

    SAMPLER* module;             ///< the module this panel shows; not owned
    std::vector<SPRITE*> mini;   ///< the small face (RC/SAMPLER_MINI.RC); the panel starts on it

    SAMPLER_GUI(SAMPLER* module, int x, int y, const char* name);
    /// Destroys the mini list, not the sprites in it.
    ~SAMPLER_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
    /// 1: the full face, 2: the mini face (both view mode 1), 4: the back;
    /// 0: the full face from view mode 1, else the back. Returns 1.
    int toggle_view_mode(int mode) override;
    /// The panel, then the waveform over it while the full face is shown.
    void Draw_Scene(SDL_Surface* surface, int background) override;
    /// The panel with its background, and the waveform on the full face.
    void Draw_Scene(SDL_Surface* surface) { Draw_Scene(surface, 1); }
    /// The elements of all four lists.
    void collect_elements(std::vector<SPRITE*>& out) const override;

    /// The waveform as window points (x, y pairs), scrolled by offsx and
    /// offsy: WAVE_POINTS points, fewer where the sample has no data there.
    /// Returns the number of points written; 0 without an "AFFWAVE" area or data.
    int waveform(float (&xy)[WAVE_POINTS][2]);

private:
    /// Makes a list current and redraws the panel from it.
    void show(std::vector<SPRITE*>* list, int mode);
    /// Runs f with each face (full and mini) current in turn: both show the
    /// same controls, so both keep the same values.
    template <typename F>
    void on_faces(F f);
    void write_label(const char* name, const char* format, double value);
    void show_mode();
    /// Steps through the sound folder (+1 next, -1 previous) to the first
    /// neighbour that loads.
    void browse(int direction);
    /// A click on the file name: the window's list of the sounds.
    void choose_sound();
    /// Plays the sound at path from now on, when the sampler can.
    void use_sound(const std::string& path);
};
