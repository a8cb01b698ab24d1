// The sampler's panel: pitch, volume and phase knobs, play mode, file browsing, the waveform, a mini view.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class SAMPLER_GUI : public OBJET {
public:
    SAMPLER* module;  ///< the module this panel shows; not owned

    SAMPLER_GUI(SAMPLER* module, int x, int y, const char* name);
    ~SAMPLER_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
};
