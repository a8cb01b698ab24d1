// The oscillator's panel: frequency, amplitude, phase and pulse-width knobs, the wave display, POWER.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class VCO_GUI : public OBJET {
public:
    VCO* module;  ///< the module this panel shows; not owned, never null

    VCO_GUI(VCO* module, int x, int y, const char* name);
    ~VCO_GUI() override = default;
    /// Applies the frame's knob and click messages to the module, refreshes
    /// the labels, then hands the messages to the widgets. Returns 0.
    int evolue() override;

private:
    /// Applies one message; true when it must not reach its widget (the phase knob's).
    bool handle(const MESSAGE& m);
    /// Steps the wave type by the mouse button of a click on the display.
    void cycle_wave(int mouse_button);
    /// Shows the picture of the current wave type, or a blank display.
    void show_wave();
};

/// One message of the frequency knob on a value (Hz; also the pulse width):
/// direction +1 ("SLD_DOWN") raises, -1 lowers, by the step of the value's
/// band; the result is at least 0.001.
float step_frequency_knob(float value, int direction);
/// The same bands without the floor, for values that have a floor of their own.
float step_frequency_bands(float value, int direction);
