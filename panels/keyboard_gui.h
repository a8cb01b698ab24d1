// The keyboard's panel: octave buttons and digit, POWER, and the note that
// sounds (lit while the gate is open).
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class KEYBOARD_GUI : public OBJET {
public:
    KEYBOARD* module;  ///< the module this panel shows; not owned

    KEYBOARD_GUI(KEYBOARD* module, int x, int y, const char* name);
    /// Stops being the last clicked keyboard panel.
    ~KEYBOARD_GUI() override;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;

    /// The keyboard panel clicked most recently (anywhere on it, in any
    /// view); null before any click and once that panel is deleted. The
    /// computer keyboard plays its module.
    static KEYBOARD_GUI* last_clicked;

private:
    LABEL* note_label = nullptr;  ///< built here: the resource file has no such label
    int shown_octave;             ///< the octave the digit shows
    void show_note();
};
