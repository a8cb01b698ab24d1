// The mixer's panel: 21 channel strips (knob, level, mute) built in code, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class MIXER_GUI : public OBJET {
public:
    MIXER* module;  ///< the module this panel shows; not owned

    MIXER_GUI(MIXER* module, int x, int y, const char* name);
    ~MIXER_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
};
