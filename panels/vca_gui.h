// The amplifier's panel: the envelope's attack, decay, sustain and release knobs, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class VCA_GUI : public OBJET {
public:
    VCA* module;  ///< the module this panel shows; not owned, never null

    VCA_GUI(VCA* module, int x, int y, const char* name);
    ~VCA_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;

private:
    void handle(const MESSAGE& m);
};
