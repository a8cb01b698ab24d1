// Cables: where their ends are, and plugging by hand checked against the
// links section of a patch file: the port a socket stands for is the port the
// loader links for its key, with the same word; refused cables change
// nothing; a mixer fills its channels in order and stacks the channels beyond
// its strips on the last socket; sockets are found where they are drawn.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/events.h"
#include "engine/globals.h"
#include "panels/cables.h"
#include "panels/generator_gui.h"
#include "panels/panel_globals.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "tests/temp_path.h"

namespace {

// ---------------------------------------------------------------- geometry

/// A panel at (px, py) with one socket at (sx, sy), w x w.
struct PANEL_WITH_SOCKET {
    OBJET panel;
    SPRITE* socket;
    PANEL_WITH_SOCKET(float px, float py, float sx, float sy, float w) : panel(0, 0, "0") {
        panel.setxyz(px, py, 0);
        socket = new SPRITE("JACK_IN", 0, 0, 0, 0, 0, 1.0f, 0, 255);
        socket->setxyz(sx, sy, 0);
        socket->w = socket->h = w;
        panel.alt_elements.push_back(socket);
    }
    ~PANEL_WITH_SOCKET() { delete socket; }
};

TEST(CableEnds, SocketCentresSummedThenTruncatedOnce) {
    PANEL_WITH_SOCKET a(100, 200, 10, 20, 16), b(300.6f, 50.6f, 10.6f, 4.6f, 15);
    const struct {
        OBJET* source;
        SPRITE* source_socket;
        OBJET* target;
        SPRITE* target_socket;
        int x1, y1, x2, y2;
    } cases[] = {
        {&a.panel, a.socket, nullptr, nullptr, 118, 228, 158, 268},    // no target: 40 right and below
        {nullptr, nullptr, &a.panel, a.socket, 118, 228, 118, 228},    // only a target: both ends on it
        {nullptr, nullptr, nullptr, nullptr, 0, 0, 40, 40},            // neither
        // 300.6 + 10.6 + 7.5 = 318.7 and 50.6 + 4.6 + 7.5 = 62.7: truncated once
        // (truncating each term would give 317 and 61).
        {&a.panel, a.socket, &b.panel, b.socket, 118, 228, 318, 62},
    };
    for (const auto& c : cases) {
        LINK l(c.source, c.target, c.source_socket, c.target_socket, 0x123456);
        EXPECT_EQ(l.corde.x1, c.x1);
        EXPECT_EQ(l.corde.y1, c.y1);
        EXPECT_EQ(l.corde.x2, c.x2);
        EXPECT_EQ(l.corde.y2, c.y2);
        EXPECT_EQ(l.corde.colour, 0x123456);
        EXPECT_EQ(l.corde.last_x1 | l.corde.last_y1 | l.corde.last_x2 | l.corde.last_y2, 0) << "last ends start at 0";
    }
    // A panel that moves takes the cable along at the next set; a draw
    // remembers where the ends were.
    LINK l(&a.panel, &b.panel, a.socket, b.socket, 1);
    a.panel.setxyz(0, 0, 0);
    l.set(&a.panel, &b.panel, a.socket, b.socket, 1);
    l.blit(nullptr);  // no GL context: only the bookkeeping happens
    EXPECT_EQ(l.corde.last_x1, 18);
    EXPECT_EQ(l.corde.last_y1, 28);
    EXPECT_EQ(l.corde.last_x2, 318);
    EXPECT_EQ(l.corde.last_y2, 62);
}

// ---------------------------------------------------------------- a patch with every panel

[[noreturn]] void throw_on_exit(int status) { throw status; }

const char* const MODULES =
    "VCO_T;FREQ=1; VCA_T;ATTACK=1; PCF_T;Q=1; SAMPLER_T;FILE=Sounds/kick.wav; MIXER_T;V_00=1; KEY_T;; "
    "SEQUENCER_T;DIVIDER=2; SOUND_OUT_T;; AFFICHAGE_T;; CONSTANTE_T;VALUE=1; VARIABLE_T;; BASIC_OPERATION_T;TYPE=1;";

class CablePatch : public ::testing::Test {
protected:
    void SetUp() override {
        previous_exit = set_exit_handler(throw_on_exit);
        const std::string path = test_temp_path("cables.ksy");
        std::ofstream(path) << "BEGIN_OBJECTS_DECLARE " << MODULES << " END_OBJECTS_DECLARE\n";
        std::string p = path;
        testing::internal::CaptureStdout();
        int status = 0;
        try {
            g.load_KSY(&p[0]);
        } catch (int s) {
            status = s;
        }
        current_patch() = &g;
        patch = new GENERATOR_GUI(&g, 0, 0, "P");
        initialise_gui_from_current(&patch->objets);
        const std::string said = testing::internal::GetCapturedStdout();
        ASSERT_EQ(status, 0) << "the test patch ended the program:\n" << said;
        for (OBJET* panel : patch->objets) panel->toggle_view_mode(4);
    }
    void TearDown() override {
        clear_cables();
        destroy_panels(patch->objets);
        destroy_panel(patch);
        current_patch() = nullptr;
        set_exit_handler(previous_exit);
    }

    /// Runs a links section on the patch, as a patch file's would.
    void load_links(const std::string& lines) {
        const std::string path = test_temp_path("cables_links.ksy");
        std::ofstream(path) << "BEGIN_LINKS_DECLARE\n" << lines << "\nEND_LINKS_DECLARE\n";
        std::string p = path;
        testing::internal::CaptureStdout();
        g.load_KSY_link(&p[0]);
        testing::internal::GetCapturedStdout();
    }
    OBJET* panel_of(const char* module) {
        for (OBJET* p : patch->objets) {
            const char* name = patch->get_name_by_OBJET(p);
            if (name != nullptr && std::string(name) == module) return p;
        }
        ADD_FAILURE() << "no panel for " << module;
        return nullptr;
    }
    SOCKET_REF socket(const char* module, const char* name) {
        OBJET* p = panel_of(module);
        SOCKET_REF s;
        s.panel = p;
        s.socket = p != nullptr ? p->get_SPRITE_by_name(name) : nullptr;
        EXPECT_TRUE(read_socket(p, s.socket, &s.info)) << module << " has no socket " << name;
        return s;
    }
    /// Ports of the panel's input sockets that are fed.
    int fed_inputs(OBJET* p) {
        int n = 0;
        for (SPRITE* s : p->alt_elements) {
            SOCKET_INFO in;
            if (read_socket(p, s, &in) && in.input && socket_port(p, in).fed()) n++;
        }
        return n;
    }

    GENERATOR g;
    GENERATOR_GUI* patch = nullptr;
    exit_handler previous_exit = nullptr;
};

/// The word a port reads.
const void* source_word(const INPUT_PORT& p) {
    if (p.carries_value()) return p.value_input() != nullptr ? p.value_input()->source : nullptr;
    return p.gate != nullptr ? p.gate->gate_source : p.sync != nullptr ? p.sync->sync_source : nullptr;
}

TEST_F(CablePatch, EverySocketLinksThePortTheLinksSectionLinks) {
    KEYBOARD* key = g.keyboards[0];
    int checked = 0;
    for (OBJET* target : patch->objets) {
        const std::string module = patch->get_name_by_OBJET(target) ? patch->get_name_by_OBJET(target) : "";
        for (SPRITE* s : target->alt_elements) {
            SOCKET_INFO in;
            if (!read_socket(target, s, &in) || !in.input) continue;
            // The loader fills mixer channels from the first: only channel 1 can be compared.
            if (in.channel > 0) continue;
            const std::string what = module + " " + target->own_name(s);
            const INPUT_PORT port = socket_port(target, in);
            ASSERT_TRUE(port.valid()) << what;
            ASSERT_FALSE(port.fed()) << what;
            // A value from the oscillator where the loader takes one, else from the keyboard.
            const char* source = "KEY_T";
            const void* word = in.kind == SOCKET_GATE ? (const void*)&key->gate
                             : in.kind == SOCKET_SYNC ? (const void*)&key->pulse : (const void*)&key->value;
            load_links(module + ";" + in.key + "=VCO_T;");
            if (port.fed()) {
                source = "VCO_T";
                word = &g.vcos[0]->value;
            } else {
                load_links(module + ";" + in.key + "=KEY_T;");
            }
            ASSERT_TRUE(port.fed()) << what << ": the links section links neither source";
            EXPECT_EQ(source_word(port), word) << what;
            EXPECT_EQ(fed_inputs(target), 1) << what << ": another socket's port was linked";

            // The same link by hand, from the source's output socket.
            unlink_port(port);
            EXPECT_FALSE(port.fed()) << what;
            const SOCKET_REF out{panel_of(source), find_socket(panel_of(source), SOCKET_INFO{false, in.kind, nullptr, -1}),
                                 SOCKET_INFO{false, in.kind, nullptr, -1}};
            PORT_CHANGE change;
            ASSERT_EQ(plug_cable(patch, SOCKET_REF{target, s, in}, out, &change), CABLE_MADE) << what;
            EXPECT_EQ(source_word(port), word) << what;
            EXPECT_EQ(fed_inputs(target), 1) << what;

            // Drawn as one cable between those two sockets, in the colour of its kind.
            build_cables(patch);
            ASSERT_EQ(liens.size(), 1u) << what;
            EXPECT_TRUE(liens[0]->source_socket == out.socket && liens[0]->target_socket == s) << what;
            EXPECT_EQ(liens[0]->corde.colour, cable_colour(in.kind)) << what;

            restore_port(change.port, change.before);
            EXPECT_FALSE(port.fed()) << what << ": undo left it linked";
            checked++;
        }
    }
    // Every input socket of the backs but the mixer's channels 2 to 21: at
    // least those of oscillator, sampler, filter, amplifier, mixer, operation,
    // sound output, value, variable and sequencer.
    EXPECT_GE(checked, 9 + 6 + 6 + 2 + 1 + 3 + 1 + 1 + 2 + 1);
}

TEST_F(CablePatch, RefusedCablesChangeNothing) {
    const SOCKET_REF vco_out = socket("VCO_T", "JACK_OUT"), gate_out = socket("KEY_T", "JACK_GATE_OUT");
    const SOCKET_REF vca_in = socket("VCA_T", "JACK_IN_IN"), vca_gate = socket("VCA_T", "JACK_IN_GATE");
    SOCKET_REF patch_out;
    patch_out.panel = patch;  // the patch's own output is not one of its modules
    patch_out.socket = find_socket(patch, SOCKET_INFO{});
    ASSERT_NE(patch_out.socket, nullptr);
    EXPECT_EQ(plug_cable(patch, vco_out, socket("KEY_T", "JACK_OUT"), nullptr), CABLE_SAME_SIDE);
    EXPECT_EQ(plug_cable(patch, vca_in, vca_gate, nullptr), CABLE_SAME_SIDE);
    EXPECT_EQ(plug_cable(patch, gate_out, vca_in, nullptr), CABLE_WRONG_KIND);
    EXPECT_EQ(plug_cable(patch, vco_out, vca_gate, nullptr), CABLE_WRONG_KIND);
    EXPECT_EQ(plug_cable(patch, patch_out, vca_in, nullptr), CABLE_OUTSIDE_PATCH);
    EXPECT_EQ(g.vcas[0]->source, nullptr);
    EXPECT_EQ(g.vcas[0]->gate_source, nullptr);
    EXPECT_FALSE(unplug_cable(patch, vca_in, nullptr)) << "nothing to unplug";
    // Either end may be picked up first.
    EXPECT_EQ(plug_cable(patch, vca_gate, gate_out, nullptr), CABLE_MADE);
    EXPECT_EQ(g.vcas[0]->gate_source, &g.keyboards[0]->gate);
}

TEST_F(CablePatch, AFedInputIsReplacedAndUndoPutsItsSourceBack) {
    load_links("VCO_T;MOD_FREQ=KEY_T;");
    INPUT* loaded = g.vcos[0]->MOD_FREQ;
    ASSERT_NE(loaded, nullptr);
    const SOCKET_REF mod = socket("VCO_T", "JACK_IN_MOD_FREQ");
    SOCKET_REF source;
    ASSERT_TRUE(cable_source(patch, mod, &source));
    EXPECT_EQ(source.panel, panel_of("KEY_T"));

    PORT_CHANGE change;
    ASSERT_EQ(plug_cable(patch, socket("CONSTANTE_T", "JACK_OUT"), mod, &change), CABLE_MADE);
    ASSERT_NE(g.vcos[0]->MOD_FREQ, nullptr);
    EXPECT_EQ(g.vcos[0]->MOD_FREQ->source, &g.constantes[0]->value);
    EXPECT_EQ(loaded->source, &g.keyboards[0]->value) << "the loaded link's input is left whole";
    restore_port(change.port, change.before);
    EXPECT_EQ(g.vcos[0]->MOD_FREQ, loaded);

    PORT_CHANGE removal;
    ASSERT_TRUE(unplug_cable(patch, mod, &removal));
    EXPECT_EQ(g.vcos[0]->MOD_FREQ, nullptr) << "an unplugged input reads as unconnected";
    restore_port(removal.port, removal.before);
    EXPECT_EQ(g.vcos[0]->MOD_FREQ, loaded);
}

TEST_F(CablePatch, MixerFillsChannelsInOrderAndStacksBeyondItsStrips) {
    MIXER* m = g.mixers[0];
    const SOCKET_REF out = socket("VCO_T", "JACK_OUT");
    auto channel = [&](int n) { return socket("MIXER_T", ("JACK_IN_ADD_CHANELL_" + std::to_string(n)).c_str()); };
    std::vector<PORT_CHANGE> changes(1);
    // Dropped on strip 5 of an empty mixer, the cable takes channel 1.
    ASSERT_EQ(plug_cable(patch, out, channel(5), &changes[0]), CABLE_MADE);
    EXPECT_EQ(m->channel_count, 1);
    EXPECT_EQ(changes[0].port.channel, 0);
    // An occupied channel is replaced, not added to.
    ASSERT_EQ(plug_cable(patch, socket("KEY_T", "JACK_OUT"), channel(1), nullptr), CABLE_MADE);
    EXPECT_EQ(m->channel_count, 1);
    EXPECT_EQ(m->input[0].source, &g.keyboards[0]->value);
    // Channels 2 to 21 on their strips, then 22 to 24 stacked on the last one.
    for (int n = 2; n <= MIXER_CHANNELS; n++) {
        changes.emplace_back();
        ASSERT_EQ(plug_cable(patch, out, channel(n < 21 ? n : 21), &changes.back()), CABLE_MADE) << n;
        EXPECT_EQ(m->channel_count, n);
    }
    EXPECT_EQ(plug_cable(patch, out, channel(21), nullptr), CABLE_MIXER_FULL);
    build_cables(patch);
    int on_last = 0;
    for (LINK* l : liens) on_last += l->target_socket == channel(21).socket;
    EXPECT_EQ(liens.size(), (size_t)MIXER_CHANNELS);
    EXPECT_EQ(on_last, 4);

    // The last socket gives up its newest channel first, which the next cable refills.
    PORT_CHANGE removal;
    ASSERT_TRUE(unplug_cable(patch, channel(21), &removal));
    EXPECT_EQ(removal.port.channel, MIXER_CHANNELS - 1);
    EXPECT_EQ(m->input[MIXER_CHANNELS - 1].source, nullptr);
    ASSERT_EQ(plug_cable(patch, out, channel(21), nullptr), CABLE_MADE);
    EXPECT_EQ(m->input[MIXER_CHANNELS - 1].source, &g.vcos[0]->value);

    // Undone newest first, the mixer gives its channels back down to none.
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) restore_port(it->port, it->before);
    EXPECT_EQ(m->channel_count, 0);
    clear_cables();
}

TEST_F(CablePatch, PointingFindsTheSocketWhereItIsDrawn) {
    const SOCKET_REF in = socket("VCA_T", "JACK_IN_GATE");
    in.socket->w = in.socket->h = 16;  // no image library here: the pictures' size
    std::vector<OBJET*> shown = patch->objets;
    // Drawn 15 rows below its place and moved by the scroll.
    offsx = 30;
    offsy = -20;
    const int x = (int)(in.panel->x + in.socket->x) - offsx, y = (int)(in.panel->y + in.socket->y) + 15 - offsy;
    const struct {
        int dx, dy;
        bool hit;
    } cases[] = {{0, 0, true}, {16, 16, true}, {8, -1, false}, {17, 8, false}};
    for (const auto& c : cases) {
        mouse_x = x + c.dx;
        mouse_y = y + c.dy;
        SOCKET_REF found;
        const bool hit = pointed_socket(shown, &found) && found.socket == in.socket;
        EXPECT_EQ(hit, c.hit) << c.dx << "," << c.dy;
    }
    // The fronts have no sockets.
    mouse_x = x;
    mouse_y = y;
    in.panel->current_list = &in.panel->elements;
    SOCKET_REF found;
    EXPECT_FALSE(pointed_socket(shown, &found) && found.socket == in.socket);
    offsx = offsy = 0;
    mouse_x = mouse_y = 0;
}

}  // namespace
