// What every module panel shares: building from its two resource files,
// reading its messages, writing its widgets, and stepping a parameter through
// bands of its value. One rule each, used by every panel class.
#pragma once

#include <vector>

#include "engine/objet.h"

/// The common construction: the panel's picture name from image_format and
/// its name, the back file into alt_elements, then the front file into
/// elements, which stays current.
void build_panel(OBJET* panel, const char* image_format, const char* back_rc, const char* front_rc);
/// Loads an RC file into one list of the panel; the current list is restored.
void load_into(OBJET* panel, std::vector<SPRITE*>* list, const char* rc);

/// The element's name after the panel prefix equals name exactly.
bool is_widget(const OBJET* panel, const SPRITE* element, const char* name);
/// The element's name after the panel prefix contains part.
bool widget_has(const OBJET* panel, const SPRITE* element, const char* part);
/// A mouse-button release aimed at an element (a click).
bool is_click(const MESSAGE& m);
/// +1 for a "SLD_DOWN" knob message, -1 for "SLD_UP", 0 for any other
/// message (the target must be a knob: its name holds "SLD").
int knob_direction(const MESSAGE& m);
/// The state a two-state button shows once it has handled this click: the
/// panel reads the click before the button toggles, so it is the opposite of
/// the state the button has now. A target that is not a button gives 0.
int state_after_click(const MESSAGE& m);

/// Widgets by their name after the panel prefix, null when missing.
LABEL* find_label(OBJET* panel, const char* name);
BUTTON* find_button(OBJET* panel, const char* name);
/// Writes a label's caption (printf format) and marks it changed; nothing
/// when the panel has no such label.
void set_label(OBJET* panel, const char* name, const char* format, ...) __attribute__((format(printf, 3, 4)));
/// Shows a picture in the element called name, marked changed.
void set_picture(OBJET* panel, const char* name, const char* image);
/// Writes a label's caption (printf format) and marks it changed; nothing for null.
void write_label(LABEL* label, const char* format, ...) __attribute__((format(printf, 2, 3)));
/// Shows a picture in a display, or nothing at all for a null picture (a
/// value outside the display's table). A blank display keeps the box of the
/// picture it showed, so it can still be clicked.
void show_or_blank(OBJET* panel, const char* name, const char* image);
/// A knob's angle for a parameter: its integer part, held at the ends of an
/// int (0 for NaN).
int knob_angle(float value);
/// Puts a two-state button in a state, with the picture of that state.
void set_button(OBJET* panel, const char* name, int state);
/// Sets a knob's angle, degrees.
void set_knob(OBJET* panel, const char* name, int angle);

/// One band of a stepped knob: values in [low, high] (each end closed or
/// open) move by step.
struct KNOB_BAND {
    double low;
    bool low_closed;
    double high;
    bool high_closed;
    double step;
};
/// Applies the bands in order, each testing the value the previous one left,
/// moving by +step (direction +1) or -step (direction -1). The module fields
/// are floats: each step is rounded to float, as a field written step by step.
float step_bands(float value, const KNOB_BAND* bands, int count, int direction);
template <int N>
float step_bands(float value, const KNOB_BAND (&bands)[N], int direction) {
    return step_bands(value, bands, N, direction);
}
