#include "panels/cables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/globals.h"
#include "engine/view.h"
#include "panels/generator_gui.h"
#include "panels/keyboard_gui.h"
#include "panels/mixer_gui.h"
#include "panels/panel_globals.h"
#include "panels/sampler_gui.h"
#include "panels/seq_gui.h"
#include "panels/values_gui.h"
#include "panels/vca_gui.h"
#include "panels/vcf_gui.h"
#include "panels/vco_gui.h"
#include "synth/names.h"

namespace {
const char* const PLUG = "FICHE_PLUG";
const char* const PLUG_MASK = "FICHE_PLUG_MASK";
const char* const UNPLUG = "FICHE_UNPLUG";
const char* const UNPLUG_MASK = "FICHE_UNPLUG_MASK";
const char* const CHANNEL_KEY = "ADD_CHANELL";

/// Centre of a socket on its panel, patch-area pixels, summed in floating
/// point and truncated once.
void socket_centre(const OBJET* panel, const SPRITE* socket, int* x, int* y) {
    const float sx = socket != nullptr ? socket->x + socket->w / 2 : 0.0f;
    const float sy = socket != nullptr ? socket->y + socket->h / 2 : 0.0f;
    *x = (int)(panel->x + sx);
    *y = (int)(panel->y + sy);
}

int show_plug(SPRITE& plug, bool plugged) {
    copy_name(plug.MASK_NAME, plugged ? PLUG_MASK : UNPLUG_MASK);
    return plug.set_sprite_NAME(plugged ? PLUG : UNPLUG);
}

/// Plugs are as see-through as the wires.
int plug_alpha() { return get_cable_look() == CABLE_HALF ? 128 : 255; }

int toggle_plug(SPRITE& plug, int plugged, int unplugged) {
    int result = show_plug(plug, std::strcmp(plug.SPR_NAME, UNPLUG) == 0);
    if (plugged != 0) result = show_plug(plug, true);
    if (unplugged != 0) result = show_plug(plug, false);
    return result;
}
}  // namespace

// ---------------------------------------------------------------- CORDE

CORDE::CORDE(int ax1, int ay1, int ax2, int ay2, int c) : x1(ax1), y1(ay1), x2(ax2), y2(ay2), colour(c) {}

void CORDE::blit(SDL_Surface* surface) {
    draw_fil(surface, x1, y1, x2, y2, colour);
    last_x1 = x1;
    last_x2 = x2;
    last_y1 = y1;
    last_y2 = y2;
}

// ---------------------------------------------------------------- LINK

LINK::LINK(OBJET* sp, OBJET* tp, SPRITE* ss, SPRITE* ts, int colour)
    : corde(0, 0, 0, 0, -1),
      source_plug("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0),
      target_plug("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0) {
    corde.colour = colour;
    set(sp, tp, ss, ts, colour);
    // Magenta is the plugs' colour key.
    source_plug = SPRITE(PLUG, corde.x1, corde.y1, 1, 0xff00ff, 0, 1.0f, 0, 0);
    target_plug = SPRITE(PLUG, corde.x2, corde.y2, 1, 0xff00ff, 0, 1.0f, 0, 0);
    copy_name(source_plug.MASK_NAME, PLUG_MASK);
    copy_name(target_plug.MASK_NAME, PLUG_MASK);
}

void LINK::set(OBJET* sp, OBJET* tp, SPRITE* ss, SPRITE* ts, int colour) {
    source_panel = sp;
    target_panel = tp;
    source_socket = ss;
    target_socket = ts;
    int ax = 0, ay = 0;
    if (sp != nullptr)
        socket_centre(sp, ss, &ax, &ay);
    else if (tp != nullptr)
        socket_centre(tp, ts, &ax, &ay);
    int bx = ax + 40, by = ay + 40;
    if (tp != nullptr) socket_centre(tp, ts, &bx, &by);
    corde.x1 = ax;
    corde.y1 = ay;
    corde.x2 = bx;
    corde.y2 = by;
    corde.colour = colour;
}

void LINK::blit(SDL_Surface* surface) {
    place_plugs();
    corde.blit(surface);
    blit_plugs(surface);
}

void LINK::place_plugs() {
    // evolue takes the pictures' sizes, which the masked drawing does not.
    source_plug.evolue();
    target_plug.evolue();
    source_plug.setxyz((float)(corde.x1 - (int)source_plug.w / 2), (float)(corde.y1 - (int)source_plug.h / 2), 0);
    target_plug.setxyz((float)(corde.x2 - (int)target_plug.w / 2), (float)(corde.y2 - (int)target_plug.h / 2), 0);
}

void LINK::blit_plugs(SDL_Surface* surface) {
    source_plug.changed = 1;
    target_plug.changed = 1;
    source_plug.Alpha = target_plug.Alpha = plug_alpha();
    source_plug.blit(surface);
    target_plug.blit(surface);
}

int LINK::sprite_fiche_source_toggle(int plug, int unplug) { return toggle_plug(source_plug, plug, unplug); }
int LINK::sprite_fiche_cible_toggle(int plug, int unplug) { return toggle_plug(target_plug, plug, unplug); }

int get_pointed_instrument(std::vector<OBJET*>* list) {
    if (list == nullptr) return -1;
    const BASE point((float)mouse_x, (float)mouse_y, 0);
    for (size_t i = 0; i < list->size(); i++) {
        const OBJET* p = (*list)[i];
        if (p == nullptr) continue;
        const RECTANGLE box(p->x, p->y, 0, p->w * p->Zoom, p->h * p->Zoom, 0, nullptr);
        if (box.contains(point)) return (int)i;
    }
    return -1;
}

// ---------------------------------------------------------------- sockets and ports

int cable_colour(SOCKET_KIND kind) {
    switch (kind) {
        case SOCKET_GATE: return 0xE8B020;  // amber
        case SOCKET_SYNC: return 0x3C8CE0;  // blue
        case SOCKET_VALUE: break;
    }
    return 0xD8402C;  // red
}

namespace {
bool is_channel(const SOCKET_INFO& in) { return in.key != nullptr && std::strcmp(in.key, CHANNEL_KEY) == 0; }

SOCKET_INFO channel_info(int channel) { return SOCKET_INFO{true, SOCKET_VALUE, CHANNEL_KEY, channel}; }

SOCKET_INFO output_info(SOCKET_KIND kind) { return SOCKET_INFO{false, kind, nullptr, -1}; }

MIXER* mixer_of(OBJET* panel) {
    auto* p = dynamic_cast<MIXER_GUI*>(panel);
    return p != nullptr ? p->module : nullptr;
}

/// A mixer channel socket after which the back has no other: it carries
/// every channel from its own up, beyond the strips of the face.
bool is_last_channel_socket(OBJET* panel, const SOCKET_INFO& in) {
    return is_channel(in) && find_socket(panel, channel_info(in.channel + 1)) == nullptr;
}

OUTPUT_GATE* gate_output(OBJET* panel) {
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module;
    return nullptr;
}

OUTPUT_SYNC* sync_output(OBJET* panel) {
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module;
    return nullptr;
}

bool in_patch(const GENERATOR_GUI* patch, const OBJET* panel) {
    return patch != nullptr && panel != nullptr &&
           std::find(patch->objets.begin(), patch->objets.end(), panel) != patch->objets.end();
}

/// The panel whose output feeds a port, among the patch's panels.
OBJET* feeding_panel(const GENERATOR_GUI* patch, const INPUT_PORT& port) {
    if (!port.fed()) return nullptr;
    if (port.carries_value()) return patch->get_OBJECT_by_OUTPUT(port.value_input());
    if (port.gate != nullptr) return patch->get_OBJECT_by_OUTPUT_GATE(port.gate);
    return patch->get_OBJECT_by_OUTPUT_SYNC(port.sync);
}

/// The ports whose cables end in an input socket: its own, and for the last
/// mixer channel socket every channel above it too. Returns the count.
int ports_of_socket(OBJET* panel, const SOCKET_INFO& in, INPUT_PORT (&ports)[MIXER_CHANNELS]) {
    if (!is_channel(in)) {
        ports[0] = socket_port(panel, in);
        return ports[0].valid() ? 1 : 0;
    }
    MIXER* m = mixer_of(panel);
    if (m == nullptr) return 0;
    const int last = is_last_channel_socket(panel, in) ? MIXER_CHANNELS - 1 : in.channel;
    int n = 0;
    for (int c = in.channel; c <= last; c++) ports[n++] = channel_port(m, c);
    return n;
}

/// The port a cable dropped on an input socket links: the socket's own, or
/// for a mixer the channel it takes (free channels of the last socket first,
/// then the mixer's next channel). Invalid when there is none (a full mixer).
INPUT_PORT landing_port(OBJET* panel, const SOCKET_INFO& in) {
    if (!is_channel(in)) return socket_port(panel, in);
    MIXER* m = mixer_of(panel);
    if (m == nullptr) return {};
    const int count = m->channel_count;
    if (in.channel < count && (!channel_port(m, in.channel).fed() || !is_last_channel_socket(panel, in)))
        return channel_port(m, in.channel);
    if (is_last_channel_socket(panel, in))
        for (int c = in.channel; c < count && c < MIXER_CHANNELS; c++)
            if (!channel_port(m, c).fed()) return channel_port(m, c);
    return channel_port(m, count);  // invalid once the mixer has all its channels
}

const char* module_name(GENERATOR_GUI* patch, OBJET* panel) {
    if (auto* p = dynamic_cast<GENERATOR_GUI*>(panel)) return p->module != nullptr ? p->module->name : "PATCH";
    const char* name = patch != nullptr ? patch->get_name_by_OBJET(panel) : nullptr;
    return name != nullptr ? name : "?";
}
}  // namespace

INPUT_PORT socket_port(OBJET* panel, const SOCKET_INFO& in) {
    if (panel == nullptr || !in.input || in.key == nullptr) return {};
    if (auto* p = dynamic_cast<VCO_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<SAMPLER_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<VCA_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<VCF_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<BASIC_OPERATION_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<VALEUR_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<SOUND_OUTPUT_GUI*>(panel)) return input_port(p->module, in.key);
    if (auto* p = dynamic_cast<VARIABLE_GUI*>(panel)) return input_port(p->module, in.key);
    if (is_channel(in)) return channel_port(mixer_of(panel), in.channel);
    return {};
}

bool pointed_socket(std::vector<OBJET*>& panels, SOCKET_REF* out) {
    for (OBJET* panel : panels) {
        if (panel == nullptr || panel->current_list != &panel->alt_elements) continue;
        SPRITE* element = panel->get_pointed_object();
        if (element == nullptr) continue;
        // The first panel with something under the pointer is the one pointed at.
        SOCKET_INFO info;
        if (!read_socket(panel, element, &info)) return false;
        *out = SOCKET_REF{panel, element, info};
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- the cables of liens

namespace {
/// The cables of the frame being drawn; kept so a frame allocates nothing.
std::vector<LINK*>& shown_cables() {
    static std::vector<LINK*> shown;
    return shown;
}
/// The plugs drawn in this frame.
std::vector<const SPRITE*>& drawn_plugs() {
    static std::vector<const SPRITE*> drawn;
    return drawn;
}
/// The same plug picture at the same place was drawn already.
bool drawn_already(const std::vector<const SPRITE*>& drawn, const SPRITE& plug) {
    for (const SPRITE* d : drawn)
        if (d->x == plug.x && d->y == plug.y && std::strcmp(d->SPR_NAME, plug.SPR_NAME) == 0) return true;
    return false;
}
}  // namespace

void clear_cables() {
    for (LINK* l : liens) delete l;
    liens.clear();
}

void build_cables(GENERATOR_GUI* patch) {
    clear_cables();
    if (patch == nullptr) return;
    for (OBJET* target : patch->objets) {
        for (SPRITE* socket : target->alt_elements) {
            SOCKET_INFO in;
            if (!read_socket(target, socket, &in) || !in.input) continue;
            INPUT_PORT ports[MIXER_CHANNELS];
            const int n = ports_of_socket(target, in, ports);
            for (int i = 0; i < n; i++) {
                OBJET* source = feeding_panel(patch, ports[i]);
                SPRITE* out = find_socket(source, output_info(in.kind));
                if (out != nullptr) liens.push_back(new LINK(source, target, out, socket, cable_colour(in.kind)));
            }
        }
    }
}

namespace {
/// Whether any of a cable can be in a width x height window: the wire lies
/// within the box of its three control points, widened by the plugs and the
/// wire's edge.
bool in_view(const CORDE& c, int width, int height) {
    constexpr float MARGIN = 16;
    const float sag = cable_sag_row((float)c.x1, (float)c.y1, (float)c.x2, (float)c.y2);
    const float left = window_x((float)std::min(c.x1, c.x2) - MARGIN);
    const float right = window_x((float)std::max(c.x1, c.x2) + MARGIN);
    const float top = window_y(std::min((float)std::min(c.y1, c.y2), sag) + SPRITE_Y_SHIFT - MARGIN);
    const float bottom = window_y(std::max((float)std::max(c.y1, c.y2), sag) + SPRITE_Y_SHIFT + MARGIN);
    return right >= 0 && left <= width && bottom >= 0 && top <= height;
}
}  // namespace

void draw_cables() {
    if (get_cable_look() == CABLE_HIDDEN) return;
    // Without a window (width 0) nothing is left out.
    const int width = window_width(), height = window_height();
    std::vector<LINK*>& shown = shown_cables();
    shown.clear();
    for (LINK* l : liens) {
        l->set(l->source_panel, l->target_panel, l->source_socket, l->target_socket, l->corde.colour);
        if (width <= 0 || height <= 0 || in_view(l->corde, width, height)) shown.push_back(l);
    }
    // Every wire first, then every plug: the plugs cover the wires that pass
    // under them too, and the GL state goes from lines to masked pictures once
    // instead of at every cable.
    for (LINK* l : shown) {
        l->place_plugs();
        l->corde.blit(nullptr);  // drawn with GL
    }
    // The cables of one output (or of a mixer's last socket) share a plug
    // there, drawn once.
    std::vector<const SPRITE*>& drawn = drawn_plugs();
    drawn.clear();
    for (LINK* l : shown) {
        for (SPRITE* plug : {&l->source_plug, &l->target_plug}) {
            if (drawn_already(drawn, *plug)) continue;
            drawn.push_back(plug);
            plug->changed = 1;
            plug->Alpha = plug_alpha();
            plug->blit(nullptr);
        }
    }
}

// ---------------------------------------------------------------- plugging by hand

const char* cable_result_text(CABLE_RESULT result) {
    switch (result) {
        case CABLE_MADE: return "cable plugged in";
        case CABLE_SAME_SIDE: return "no link: a cable joins an output to an input";
        case CABLE_WRONG_KIND: return "no link: signal, gate and sync sockets only take cables of their own kind";
        case CABLE_OUTSIDE_PATCH: return "no link: only the patch's own modules can be wired";
        case CABLE_NO_PORT: return "no link: this module has no such port";
        case CABLE_MIXER_FULL: return "no link: the mixer has all its 24 channels";
    }
    return "";
}

CABLE_RESULT plug_cable(GENERATOR_GUI* patch, const SOCKET_REF& a, const SOCKET_REF& b, PORT_CHANGE* change) {
    if (a.info.input == b.info.input) return CABLE_SAME_SIDE;
    if (a.info.kind != b.info.kind) return CABLE_WRONG_KIND;
    const SOCKET_REF& out = a.info.input ? b : a;
    const SOCKET_REF& in = a.info.input ? a : b;
    if (!in_patch(patch, out.panel) || !in_patch(patch, in.panel) || patch->module == nullptr)
        return CABLE_OUTSIDE_PATCH;
    const INPUT_PORT port = landing_port(in.panel, in.info);
    if (!port.valid()) return is_channel(in.info) && mixer_of(in.panel) != nullptr ? CABLE_MIXER_FULL : CABLE_NO_PORT;
    const PORT_WORDS before = port_words(port);
    GENERATOR& g = *patch->module;
    OUTPUT* value = in.info.kind == SOCKET_VALUE ? GENERATOR_GUI::output_of(out.panel) : nullptr;
    OUTPUT_GATE* gate = in.info.kind == SOCKET_GATE ? gate_output(out.panel) : nullptr;
    OUTPUT_SYNC* sync = in.info.kind == SOCKET_SYNC ? sync_output(out.panel) : nullptr;
    // What the link allocates is made here; the pointers change between two blocks.
    INPUT* made = value != nullptr && port.owned != nullptr ? g.new_link(value) : nullptr;
    bool linked = false;
    g.edit([&](GENERATOR&) {
        switch (in.info.kind) {
            case SOCKET_VALUE: linked = link_value_port_made(port, value, made).valid(); break;
            case SOCKET_GATE: linked = link_gate_port(port, gate); break;
            case SOCKET_SYNC: linked = link_sync_port(port, sync); break;
        }
    });
    if (!linked) return CABLE_NO_PORT;
    if (change != nullptr) *change = PORT_CHANGE{port, before};
    return CABLE_MADE;
}

INPUT_PORT plugged_port(GENERATOR_GUI* patch, const SOCKET_REF& input) {
    if (!input.info.input || !in_patch(patch, input.panel)) return {};
    INPUT_PORT ports[MIXER_CHANNELS];
    // The newest channel of a socket that carries several.
    for (int i = ports_of_socket(input.panel, input.info, ports) - 1; i >= 0; i--)
        if (ports[i].fed()) return ports[i];
    return {};
}

bool unplug_cable(GENERATOR_GUI* patch, const SOCKET_REF& input, PORT_CHANGE* change) {
    const INPUT_PORT port = plugged_port(patch, input);
    if (!port.valid()) return false;
    if (change != nullptr) *change = PORT_CHANGE{port, port_words(port)};
    patch->module->edit([&](GENERATOR&) { unlink_port(port); });
    return true;
}

void restore_ports(GENERATOR_GUI* patch, const PORT_CHANGE* changes, int count) {
    if (patch == nullptr || patch->module == nullptr || count <= 0) return;
    patch->module->edit([&](GENERATOR&) {
        for (int i = count - 1; i >= 0; i--) restore_port(changes[i].port, changes[i].before);
    });
}

bool cable_source(GENERATOR_GUI* patch, const SOCKET_REF& input, SOCKET_REF* source) {
    const INPUT_PORT port = plugged_port(patch, input);
    OBJET* panel = port.valid() ? feeding_panel(patch, port) : nullptr;
    SPRITE* socket = find_socket(panel, output_info(input.info.kind));
    if (socket == nullptr) return false;
    *source = SOCKET_REF{panel, socket, output_info(input.info.kind)};
    return true;
}

void describe_socket(GENERATOR_GUI* patch, const SOCKET_REF& s, char* out, int size) {
    if (out == nullptr || size <= 0) return;
    const char* name = module_name(patch, s.panel);
    if (!s.info.input) {
        const char* what = s.info.kind == SOCKET_GATE ? "GATE OUT" : s.info.kind == SOCKET_SYNC ? "SYNC OUT" : "OUT";
        std::snprintf(out, (size_t)size, "%s %s", name, what);
    } else if (is_channel(s.info)) {
        std::snprintf(out, (size_t)size, "%s CH %d", name, s.info.channel + 1);
    } else {
        std::snprintf(out, (size_t)size, "%s %s", name, s.info.key != nullptr ? s.info.key : "?");
    }
}
