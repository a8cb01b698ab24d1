// Widgets: the elements of a panel that react to the mouse. A button switches
// between two pictures, a knob (SLIDER) turns one degree per message, a label
// shows text. Each keeps a queue of the messages the panel handed it.
#pragma once

#include <SDL/SDL.h>

#include <vector>

#include "engine/sprite.h"

/// Capacity of a message text, bytes.
constexpr int MESSAGE_TEXT_SIZE = 640;
/// Capacity of a label caption, bytes.
constexpr int CAPTION_SIZE = 800;

/// One message for a panel or one of its elements.
struct MESSAGE {
    int type;                       ///< 1: mouse-button message carrying sdl_event; 0: a notice in text
    SDL_Event sdl_event;            ///< the SDL event current when the message was made
    char text[MESSAGE_TEXT_SIZE];   ///< "TOUCH_IN", "TOUCH_OUT", "SLD_UP", "SLD_DOWN"; empty for type 1
    SPRITE* target;                 ///< the element it is for; null for the panel itself; not owned

    /// A null text gives an empty text; a long one is cut.
    MESSAGE(int type, const SDL_Event& event, const char* text, SPRITE* sprite);
};

/// A queue of messages, newest at the front; consumers take from the back.
/// Owns the messages in it.
class MSG_RESPONDER {
public:
    std::vector<MESSAGE*> queue;

    MSG_RESPONDER() = default;
    MSG_RESPONDER(const MSG_RESPONDER&) = delete;
    MSG_RESPONDER& operator=(const MSG_RESPONDER&) = delete;
    /// Pending messages go with the widget.
    virtual ~MSG_RESPONDER();
    /// Queues a copy of m. Returns 1.
    int ajoute_message(const MESSAGE* m);
    /// The oldest message, removed from the queue (the caller deletes it); null when empty.
    MESSAGE* take_oldest();
};

/// A two-state switch with a picture per state and one while hovered.
class BUTTON : public SPRITE, public MSG_RESPONDER {
public:
    char image_on[KEL_NAME_SIZE];     ///< picture in state 1
    char image_touch[KEL_NAME_SIZE];  ///< picture while hovered; a name beginning with '0' means none
    char image_off[KEL_NAME_SIZE];    ///< picture in state 0
    int STATE = 0;                    ///< 0 or 1; toggled by each completed click

    /// Shows its state-0 picture. Without a mask name, the mask is image_on up
    /// to its last '_' plus "MASK" (PWR_ON gives PWR_MASK).
    BUTTON(const char* name, const char* image_on, const char* image_touch, const char* image_off,
           const char* mask);
    /// Takes its messages (press, release, hover) and picks its picture. Returns 0.
    int evolue() override;
    void affiche() override;
};

/// A knob: a picture turned by its angle, one degree per drag message.
class SLIDER : public SPRITE, public MSG_RESPONDER {
public:
    /// Its mask is image + "_MASK".
    SLIDER(const char* name, const char* image);
    /// SLD_DOWN adds a degree, SLD_UP takes one away; no limits. Returns 0.
    int evolue() override;
    void affiche() override;
    /// Does nothing: a panel draws its knobs through SPRITE::blit.
    void blit(SDL_Surface*) {}
};

/// Text on a panel. Its y is in window rows, turned into the text projection's
/// rows (counted from the bottom) when drawn, while screen_coords is set.
class LABEL : public SPRITE, public MSG_RESPONDER {
public:
    int font_nr;                     ///< font number in FONTS, 0..9
    int last_colour = 0;             ///< Col as of the last evolue
    unsigned Col;                    ///< text colour 0x00RRGGBB
    unsigned Col2 = 0;               ///< second colour, shown by the debug print only
    char CAPTION[CAPTION_SIZE];      ///< text; '_' is shown as a space
    char last_caption[CAPTION_SIZE]; ///< CAPTION as of the last evolue
    int Size;                        ///< font size, pixels, 6..23
    /// Width the caption may take, pixels; a longer one is drawn smaller, then
    /// cut (fit_caption). 0: no limit.
    int room = 0;

    /// Sizes outside 6..23 use 10; fonts outside 0..9 use font 0. The two
    /// middle ints are not used.
    LABEL(const char* caption, int x, int y, int, int, int font, int size, int colour);
    /// Marks the label changed when its caption or colour changed. Returns 0.
    int evolue() override;
    void affiche() override;
    /// Draws the caption with GL (the surface is not used); a label is redrawn
    /// at every panel redraw.
    void blit(SDL_Surface*);
    /// Replaces the caption (bounded copy).
    void set_caption(const char* caption);
};
