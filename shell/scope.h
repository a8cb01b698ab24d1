// The oscillator test scope: three sine oscillators at 110, 55 and 220 Hz
// stepped once per frame and drawn as coloured traces, with their sum.
#pragma once

/// Opens a 1024 x 768 GL window and draws the traces until Escape, the
/// window's close button or SIGTERM. Prints the frame rate every 5 s.
/// Returns the exit status, 0.
int run_scope();
