// The oscillator test scope: three sine oscillators at 110, 55 and 220 Hz
// stepped once per frame and drawn as coloured traces, with their sum.
#pragma once

#include "synth/vco.h"

/// The scope's oscillators and the column being drawn.
struct TEST_SCOPE {
    VCO oscillators[3] = {VCO(1.0f, 110.0f, 1), VCO(1.0f, 110.0f, 1), VCO(1.0f, 110.0f, 1)};
    float x = 0.0f;  ///< column of the last frame, 0..1024

    /// Sines at 110, 55 and 220 Hz, phase 0.
    TEST_SCOPE();
    /// Steps the oscillators once and draws one more column of every trace
    /// (the screen is never cleared, so the columns build up the traces).
    /// Needs the GL window; does not swap buffers.
    void frame();
};

/// Opens a 1024 x 768 GL window and draws the traces until Escape, the
/// window's close button or SIGTERM. Prints the frame rate every 5 s.
/// Returns the exit status, 0.
int run_scope();
