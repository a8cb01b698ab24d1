// Cables between the sockets of the panels' backs (the wiring view).
//
// A cable is a picture of a link: which output feeds which input lives in the
// modules' input ports, and the cables of `liens` are rebuilt from the ports
// (build_cables) whenever they may have changed. Plugging and unplugging
// cables by hand (plug_cable, unplug_cable) writes the ports with the same
// writes the links section of a patch file uses (patch/link_ports.h), so a
// cable made on screen is heard at once and saved like a loaded link.
#pragma once

#include <vector>

#include "engine/objet.h"
#include "panels/sockets.h"
#include "patch/link_ports.h"

struct SDL_Surface;
class GENERATOR_GUI;

/// The bare wire: two end points and a colour, drawn as a sagging curve.
class CORDE {
public:
    int last_x1 = 0;  ///< x1 as of the last draw
    int last_x2 = 0;  ///< x2 as of the last draw
    int last_y1 = 0;  ///< y1 as of the last draw
    int last_y2 = 0;  ///< y2 as of the last draw
    int x1, y1;       ///< start point, patch-area pixels (as panels are placed)
    int x2, y2;       ///< end point, patch-area pixels
    int colour;       ///< 0x00RRGGBB

    CORDE(int x1, int y1, int x2, int y2, int colour);
    /// Draws the wire (draw_fil) and remembers the end points.
    void blit(SDL_Surface* surface);
    /// Nothing to restore: the frame is drawn afresh.
    void clear(SDL_Surface*, SDL_Surface*) {}
};

/// A cable between two panels: the wire, a plug at each end, and the panels
/// and sockets it joins (none of them owned). The end points are the sockets'
/// centres, taken again by every set.
class LINK {
public:
    CORDE corde;             ///< the wire
    SPRITE source_plug;      ///< plug picture at the start point
    SPRITE target_plug;      ///< plug picture at the end point
    OBJET* source_panel;     ///< panel at the start, may be null
    OBJET* target_panel;     ///< panel at the end, may be null
    SPRITE* source_socket;   ///< socket inside source_panel
    SPRITE* target_socket;   ///< socket inside target_panel

    LINK(OBJET* source_panel, OBJET* target_panel, SPRITE* source_socket, SPRITE* target_socket, int colour);
    /// Stores the panels and sockets and computes the end points: a missing
    /// source panel starts the cable at the target socket, a missing target
    /// panel ends it 40 pixels right and below its start.
    void set(OBJET* source_panel, OBJET* target_panel, SPRITE* source_socket, SPRITE* target_socket, int colour);
    /// Draws the wire, then both plugs centred on its ends over it.
    void blit(SDL_Surface* surface);
    /// The first half of blit: the plugs take their pictures' sizes and are
    /// centred on the wire's ends.
    void place_plugs();
    /// The last half of blit: both plugs drawn.
    void blit_plugs(SDL_Surface* surface);
    /// Switches the source plug's picture: toggles with (0, 0), ends plugged
    /// with plug set, unplugged with unplug set (whatever plug says). The
    /// result of the last picture change (non-zero when it changed).
    int sprite_fiche_source_toggle(int plug, int unplug);
    /// The same for the target plug.
    int sprite_fiche_cible_toggle(int plug, int unplug);
    int evolue() { return 0; }
    void affiche() {}
};

/// Index of the first panel of the list whose box (x, y, w x Zoom, h x Zoom,
/// edges included) holds the pointer position (mouse_x, mouse_y) as it is;
/// -1 when none. It does not allow for scrolling: pointing at sockets goes
/// through pointed_socket.
int get_pointed_instrument(std::vector<OBJET*>* list);

// ---------------------------------------------------------------- cables of a patch

/// Wire colour of each kind of cable, 0x00RRGGBB.
int cable_colour(SOCKET_KIND kind);

/// One socket of one panel's back.
struct SOCKET_REF {
    OBJET* panel = nullptr;
    SPRITE* socket = nullptr;
    SOCKET_INFO info;
};

/// The input port that an input socket of a panel stands for (a mixer
/// channel socket: its own channel; the mixer's last channel socket also
/// carries the channels beyond the strips of its face); invalid for an
/// output, a panel class without that input, or a panel without a module.
INPUT_PORT socket_port(OBJET* panel, const SOCKET_INFO& input);
/// The socket of the patch area under the pointer (mouse_x, mouse_y, allowing
/// for the scroll and the drawing shift), searched over panels from the first;
/// false when the pointer is on no socket of a panel showing its back.
bool pointed_socket(std::vector<OBJET*>& panels, SOCKET_REF* out);

/// Deletes every cable of liens and empties it.
void clear_cables();
/// Rebuilds liens from the ports: one cable for every fed input of the
/// patch's panels whose source has a panel in the patch too.
void build_cables(GENERATOR_GUI* patch);
/// Draws every cable of liens, each following its panels.
void draw_cables();

/// Why a cable was, or was not, plugged in.
enum CABLE_RESULT {
    CABLE_MADE,
    CABLE_SAME_SIDE,      ///< two outputs or two inputs
    CABLE_WRONG_KIND,     ///< value, gate and sync only meet their own kind
    CABLE_OUTSIDE_PATCH,  ///< a panel that is not one of the patch's modules
    CABLE_NO_PORT,        ///< a socket whose panel has no such port
    CABLE_MIXER_FULL,     ///< the mixer has all its channels
};
/// A short sentence for the status line.
const char* cable_result_text(CABLE_RESULT result);

/// A port changed by hand and what it held before, so it can be put back.
struct PORT_CHANGE {
    INPUT_PORT port;
    PORT_WORDS before;
};

/// Links the output socket of a and b to the input socket of the other, as
/// the links section would, replacing the input's source if it had one. On
/// CABLE_MADE, change (when given) holds the port really linked (a mixer
/// fills its channels in order) and what it held before.
CABLE_RESULT plug_cable(GENERATOR_GUI* patch, const SOCKET_REF& a, const SOCKET_REF& b, PORT_CHANGE* change);
/// The port whose cable ends in an input socket (for a mixer's last channel
/// socket, the newest channel it carries); invalid when no cable ends there.
INPUT_PORT plugged_port(GENERATOR_GUI* patch, const SOCKET_REF& input);
/// Unplugs the cable that ends in an input socket: its port reads as
/// unconnected. False when no cable ends there.
bool unplug_cable(GENERATOR_GUI* patch, const SOCKET_REF& input, PORT_CHANGE* change);
/// Puts back what the changes found, newest first, in one edit of the patch (undo).
void restore_ports(GENERATOR_GUI* patch, const PORT_CHANGE* changes, int count);
/// The output socket feeding an input socket's cable; false when unfed or
/// fed from outside the patch's panels.
bool cable_source(GENERATOR_GUI* patch, const SOCKET_REF& input, SOCKET_REF* source);
/// A socket for messages: "<module name> <key>" ("VCO_1 OUT", "MIXER_1 CH 3").
void describe_socket(GENERATOR_GUI* patch, const SOCKET_REF& s, char* out, int size);
