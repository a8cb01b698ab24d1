// The event dispatch: SDL input events become messages for the panel element
// under the pointer. It keeps the hover and press state, turns vertical drags
// into one knob step per pixel, copies an element on a middle click, and ends
// the program on Escape.
#pragma once

#include <SDL/SDL.h>

#include <vector>

class OBJET;
class SPRITE;

/// The SDL event being handled.
extern SDL_Event event;
extern int mouse_x, mouse_y;              ///< last known pointer position, window pixels
extern int LLDOWNmouse_x, LLDOWNmouse_y;  ///< pointer at the last left press
extern int LLUPmouse_x, LLUPmouse_y;      ///< pointer after the last drag step
extern int RRDOWNmouse_x, RRDOWNmouse_y;  ///< pointer at the last right press
extern int Lpressed_flag, Rpressed_flag, Mpressed_flag;  ///< left, right, middle button held
extern int Mbx, Mby;                      ///< pointer at the last middle press or release
extern SPRITE* cible;                     ///< element pressed with the left or right button
extern SPRITE* cible_touched;             ///< element hovered
extern int nr_ins_touched;                ///< panel in which the pointer last found an element, or -1
extern int nr_ins_cible;                  ///< panel that owns cible, or -1
extern int nr_objet_clk_droit;            ///< panel right-clicked outside its elements, or -1

/// Handles every pending SDL event for the panels and returns: 0 when nothing
/// changed, 1 when a message was posted or a state changed, 3 when the
/// pointer moved with the middle button held (a pan); the last value assigned.
int SDL_PollEVENT_for_init(std::vector<OBJET*> panels);
/// Handles one event as the loop above does; the same result codes, with
/// `result` the value so far.
int dispatch_event(const SDL_Event& e, std::vector<OBJET*>& panels, int result);
/// Forgets every element and panel the dispatch remembers (targets, hover,
/// panel indices, held buttons). Call it whenever panels are rebuilt or deleted.
void reset_event_state();

/// What Escape does after its message: by default the process ends with
/// status 0; the windowed program asks its frame loop to stop instead, so that
/// it can close down cleanly.
void set_escape_action(void (*action)());
