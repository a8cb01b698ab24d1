// The filter's panel: cut-off, gain, level and Q knobs, the response display, POWER and BYPASS.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class VCF_GUI : public OBJET {
public:
    PCF* module;  ///< the module this panel shows; not owned, never null

    VCF_GUI(PCF* module, int x, int y, const char* name);
    ~VCF_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;

private:
    void handle(const MESSAGE& m);
    void step_knob(const SPRITE* knob, int direction);
    /// Shows the picture and the name of the current response type, or a blank display.
    void show_type();
};
