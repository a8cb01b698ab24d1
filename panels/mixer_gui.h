// The mixer's panel: 21 channel strips (knob, level, mute) built in code, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class MIXER_GUI : public OBJET {
public:
    /// Channel strips on the panel (the mixer has more channels than that).
    static constexpr int STRIPS = 21;
    /// Knob degrees per 1.0 of channel level.
    static constexpr float DEGREES_PER_LEVEL = 1800.0f;

    MIXER* module;  ///< the module this panel shows; not owned

    MIXER_GUI(MIXER* module, int x, int y, const char* name);
    ~MIXER_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;

private:
    /// The widgets of one channel strip, built by the constructor (owned, as
    /// every element, by whoever destroys the panel).
    struct STRIP {
        SLIDER* knob;   ///< level knob, "SLD_CANAL_<n>"
        LABEL* level;   ///< level text, "LABEL_CANAL_<n>"
        BUTTON* mute;   ///< mute key, "BYPASS_CANAL_<n>"
        int shown;      ///< the knob's angle as the panel last matched it with the level, degrees
    };
    STRIP strips[STRIPS];

    void build_strip(int column, int row);
};
