// The oscillator's panel: frequency, amplitude, phase and pulse-width knobs, the wave display, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class VCO_GUI : public OBJET {
public:
    VCO* module;  ///< the module this panel shows; not owned

    VCO_GUI(VCO* module, int x, int y, const char* name);
    ~VCO_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
};
