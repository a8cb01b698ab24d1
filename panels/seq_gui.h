// The sequencer's panel: the grid of steps (notes, octaves, volumes, lengths), patterns, dividers, a mini view.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class SEQ_GUI : public OBJET {
public:
    SEQUENCER* module;  ///< the module this panel shows; not owned

    SEQ_GUI(SEQUENCER* module, int x, int y, const char* name);
    ~SEQ_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;
};
