// Patching by hand in the back view, like a hardware modular: press on a
// socket and drag, and a cable follows the pointer with its plug in hand;
// drop it on a socket of the other side and the same kind and the link is
// made. Pulling the plug end of a cable off its input unplugs it, a right
// click on an input removes its cable, Ctrl+Z takes back the last change.
// Cables themselves are pictures of the ports (panels/cables.h): after every
// change they are rebuilt from the ports.
#include "shell/patching.h"

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <iterator>
#include <memory>

#include "engine/draw.h"
#include "engine/events.h"
#include "engine/globals.h"
#include "engine/view.h"
#include "panels/cables.h"
#include "panels/generator_gui.h"
#include "panels/panel_globals.h"
#include "patch/patch_history.h"

namespace {

/// How long a status message stays, ms.
constexpr Uint32 STATUS_MS = 8000;

/// One change made by hand: a cable plugged, unplugged, or moved (both).
struct ACTION {
    PORT_CHANGE changes[2];
    int count = 0;
    char what[160] = {0};
};

enum DRAG_KIND { DRAG_NONE, DRAG_NEW, DRAG_MOVE };

/// The cable in hand.
struct DRAG {
    DRAG_KIND kind = DRAG_NONE;
    SOCKET_REF fixed;        ///< the end that stays where it is
    SOCKET_REF grabbed;      ///< a moved cable: the input its plug was pulled from
    bool unplugged = false;  ///< a moved cable: its plug has left that input
    PORT_CHANGE removal;     ///< what pulling it out changed
    LINK* cable = nullptr;   ///< the picture following the pointer
};

struct PATCHING {
    DRAG drag;
    char status[240] = {0};
    Uint32 status_since = 0;
    bool cables_stale = true;    ///< liens must be rebuilt from the ports
    bool backs_shown = false;    ///< the backs were shown at the last draw
};
PATCHING state;

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(state.status, sizeof state.status, format, args);
    va_end(args);
    state.status_since = SDL_GetTicks();
    std::printf("Patching: %s\n", state.status);
    std::fflush(stdout);
}

/// Puts a change into the patch's one undo history, with what each port
/// holds now (for redo).
void remember(const ACTION& a) {
    auto step = std::make_unique<PORTS_STEP>();
    for (int i = 0; i < a.count; i++)
        step->ports.push_back(PORT_STATE{a.changes[i].port, a.changes[i].before, port_words(a.changes[i].port)});
    step->what = a.what;
    patch_history().push(std::move(step));
}

/// "A OUT -> B IN" for a cable from out to in.
void describe_cable(GENERATOR_GUI* patch, const SOCKET_REF& out, const SOCKET_REF& in, char* text, int size) {
    char a[80], b[80];
    describe_socket(patch, out, a, sizeof a);
    describe_socket(patch, in, b, sizeof b);
    std::snprintf(text, (size_t)size, "%s -> %s", a, b);
}

/// The input as linked: a mixer may have given the cable another channel than
/// the socket it was dropped on (or taken off) says.
SOCKET_REF as_linked(SOCKET_REF in, const INPUT_PORT& port) {
    if (port.mixer != nullptr) in.info.channel = port.channel;
    return in;
}

void forget_drag() {
    delete state.drag.cable;
    state.drag = DRAG{};
    state.cables_stale = true;
}

/// Puts a pulled plug back where it was and drops the cable in hand.
void cancel_drag(GENERATOR_GUI* patch) {
    if (state.drag.kind == DRAG_MOVE && state.drag.unplugged) restore_ports(patch, &state.drag.removal, 1);
    forget_drag();
}

void set_mouse(int x, int y) {
    mouse_x = x;
    mouse_y = y;
}

// ---------------------------------------------------------------- taking a cable

/// Takes the cable out of liens while it is in hand (it is drawn following the pointer).
void hide_cable(const SOCKET_REF& from, const SOCKET_REF& to) {
    for (auto it = liens.rbegin(); it != liens.rend(); ++it) {
        if ((*it)->source_socket != from.socket || (*it)->target_socket != to.socket) continue;
        delete *it;
        liens.erase(std::next(it).base());
        return;
    }
}

void begin_drag(GENERATOR_GUI* patch, const SOCKET_REF& pressed) {
    DRAG d;
    SOCKET_REF source;
    if (pressed.info.input && cable_source(patch, pressed, &source)) {
        // The plug end of a cable: it comes away when the pointer leaves the socket.
        d.kind = DRAG_MOVE;
        d.fixed = source;
        d.grabbed = pressed;
        hide_cable(source, pressed);
    } else {
        d.kind = DRAG_NEW;
        d.fixed = pressed;
    }
    d.cable = new LINK(d.fixed.panel, nullptr, d.fixed.socket, nullptr, cable_colour(d.fixed.info.kind));
    d.cable->sprite_fiche_cible_toggle(0, 1);
    state.drag = d;
}

void pull_plug(GENERATOR_GUI* patch) {
    DRAG& d = state.drag;
    if (d.kind != DRAG_MOVE || d.unplugged) return;
    d.unplugged = unplug_cable(patch, d.grabbed, &d.removal);
}

void drop_new(GENERATOR_GUI* patch, bool on_socket, const SOCKET_REF& at) {
    const DRAG& d = state.drag;
    if (!on_socket) {
        say("no link: the cable was dropped off any socket");
        return;
    }
    if (at.socket == d.fixed.socket) return;  // a click on a socket
    ACTION a;
    const CABLE_RESULT r = plug_cable(patch, d.fixed, at, &a.changes[0]);
    if (r != CABLE_MADE) {
        say("%s", cable_result_text(r));
        return;
    }
    a.count = 1;
    const SOCKET_REF& out = d.fixed.info.input ? at : d.fixed;
    const SOCKET_REF& in = d.fixed.info.input ? d.fixed : at;
    describe_cable(patch, out, as_linked(in, a.changes[0].port), a.what, sizeof a.what);
    remember(a);
    say("cable plugged: %s", a.what);
}

void drop_moved(GENERATOR_GUI* patch, bool on_socket, const SOCKET_REF& at) {
    DRAG& d = state.drag;
    if (on_socket && at.socket == d.grabbed.socket) {
        // Put back where it came from: nothing changed.
        if (d.unplugged) restore_ports(patch, &d.removal, 1);
        return;
    }
    pull_plug(patch);
    if (!d.unplugged) return;
    ACTION a;
    a.changes[0] = d.removal;
    a.count = 1;
    char was[160];
    describe_cable(patch, d.fixed, as_linked(d.grabbed, d.removal.port), was, sizeof was);
    const CABLE_RESULT r = on_socket ? plug_cable(patch, d.fixed, at, &a.changes[1]) : CABLE_OUTSIDE_PATCH;
    if (r == CABLE_MADE) {
        a.count = 2;
        char now[160];
        describe_cable(patch, d.fixed, as_linked(at, a.changes[1].port), now, sizeof now);
        std::snprintf(a.what, sizeof a.what, "%.70s, was %.70s", now, was);
        remember(a);
        say("cable moved: %s", a.what);
        return;
    }
    std::snprintf(a.what, sizeof a.what, "%s", was);
    remember(a);
    if (on_socket)
        say("%s; cable unplugged: %s", cable_result_text(r), was);
    else
        say("cable unplugged: %s", was);
}

void finish_drag(GENERATOR_GUI* patch, std::vector<OBJET*>& shown) {
    SOCKET_REF at;
    const bool on_socket = pointed_socket(shown, &at);
    if (state.drag.kind == DRAG_NEW) drop_new(patch, on_socket, at);
    if (state.drag.kind == DRAG_MOVE) drop_moved(patch, on_socket, at);
    forget_drag();
}

void remove_cable(GENERATOR_GUI* patch, const SOCKET_REF& input) {
    ACTION a;
    SOCKET_REF source;
    const bool known = cable_source(patch, input, &source);
    if (!unplug_cable(patch, input, &a.changes[0])) {
        say("no cable to remove there");
        return;
    }
    a.count = 1;
    if (known)
        describe_cable(patch, source, as_linked(input, a.changes[0].port), a.what, sizeof a.what);
    else
        describe_socket(patch, as_linked(input, a.changes[0].port), a.what, sizeof a.what);
    remember(a);
    state.cables_stale = true;
    say("cable removed: %s", a.what);
}

}  // namespace

bool patching_event(const SDL_Event& e, std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel) {
    if (patch_panel == nullptr) return false;
    if (BACK_VIEW_TOGGLE == 0) {
        if (state.drag.kind != DRAG_NONE) cancel_drag(patch_panel);
        return false;
    }
    const bool dragging = state.drag.kind != DRAG_NONE;
    switch (e.type) {
        case SDL_MOUSEBUTTONDOWN: {
            if (dragging) return true;
            set_mouse(e.button.x, e.button.y);
            SOCKET_REF s;
            if (!pointed_socket(shown, &s)) return false;
            if (e.button.button == SDL_BUTTON_LEFT) {
                begin_drag(patch_panel, s);
                return true;
            }
            if (e.button.button == SDL_BUTTON_RIGHT && s.info.input) {
                remove_cable(patch_panel, s);
                return true;
            }
            return false;
        }
        case SDL_MOUSEMOTION: {
            if (!dragging) return false;
            set_mouse(e.motion.x, e.motion.y);
            SOCKET_REF s;
            if (state.drag.kind == DRAG_MOVE && !(pointed_socket(shown, &s) && s.socket == state.drag.grabbed.socket))
                pull_plug(patch_panel);
            return true;
        }
        case SDL_MOUSEBUTTONUP:
            if (!dragging) return false;
            if (e.button.button != SDL_BUTTON_LEFT) return true;
            set_mouse(e.button.x, e.button.y);
            finish_drag(patch_panel, shown);
            return true;
        default: return false;
    }
}

void draw_patching(std::vector<OBJET*>&, GENERATOR_GUI* patch_panel) {
    if (BACK_VIEW_TOGGLE == 0) {
        if (state.drag.kind != DRAG_NONE) cancel_drag(patch_panel);
        state.backs_shown = false;
        return;
    }
    // The ports may have changed while the fronts were shown (knobs do not
    // link, but a reload or the remote control might one day): rebuild on the
    // way to the backs as after every change made here.
    if (!state.backs_shown || state.cables_stale) {
        build_cables(patch_panel);
        // A cable in hand is drawn following the pointer, not in its socket.
        if (state.drag.kind == DRAG_MOVE && !state.drag.unplugged) hide_cable(state.drag.fixed, state.drag.grabbed);
        state.cables_stale = false;
    }
    state.backs_shown = true;
    draw_cables();
    DRAG& d = state.drag;
    if (d.cable == nullptr) return;
    d.cable->set(d.fixed.panel, nullptr, d.fixed.socket, nullptr, d.cable->corde.colour);
    // The pointer taken back into the coordinates panels are placed in.
    d.cable->corde.x2 = (int)patch_x((float)mouse_x);
    d.cable->corde.y2 = (int)patch_y((float)mouse_y) - SPRITE_Y_SHIFT;
    d.cable->blit(nullptr);
}

bool patching_cancel_drag(GENERATOR_GUI* patch_panel) {
    if (state.drag.kind == DRAG_NONE) return false;
    cancel_drag(patch_panel);
    say("cable put back");
    return true;
}

void patching_cables_changed() { state.cables_stale = true; }

void patching_say(const char* text) { say("%s", text); }

void patching_reset() {
    delete state.drag.cable;
    state.drag = DRAG{};
    clear_cables();
    state.cables_stale = true;
    state.backs_shown = false;
}

const char* patching_status() {
    if (state.status[0] != '\0' && SDL_GetTicks() - state.status_since > STATUS_MS) state.status[0] = '\0';
    return state.status;
}
