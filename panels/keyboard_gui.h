// The keyboard's panel: octave buttons and digit, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class KEYBOARD_GUI : public OBJET {
public:
    KEYBOARD* module;  ///< the module this panel shows; not owned

    KEYBOARD_GUI(KEYBOARD* module, int x, int y, const char* name);
    ~KEYBOARD_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
};
