// The windowed sound set-up: after the console dialogue, a small frameless
// window with a background panel, and the OSS output on its second driver.
#pragma once

class OBJET;

/// The background panel of the set-up window ("FOND_GLOBAL.RC"); null before.
extern OBJET* decor_config;

/// Runs the console dialogue, then opens the 358 x 261 set-up window (on an X
/// display only) and re-opens the device as OSS driver 1. 1 when that device
/// runs. When it does not, the error text is printed, the device chosen on the
/// console is opened again, and the result is 0. Without a terminal the window
/// names the output that plays on its status line, and when the console's
/// device does not open again the program chooses as the console dialogue
/// does (init_sound_fallback). Must run before the GL window exists.
int init_sound_GRFX();
