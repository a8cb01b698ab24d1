// Sockets of the panels' backs: the naming rule, and the back resource files
// checked against the patch loader itself: each input socket's key links
// exactly one port of its module type, every port the links section reaches
// has its socket, and an output socket is there exactly when the links
// section takes the module as a source of that kind.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "panels/panel_common.h"
#include "panels/sockets.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "tests/temp_path.h"

namespace {

struct NameCase {
    const char* name;
    SOCKET_INFO port;  ///< key null and channel -2: no socket
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }
const SOCKET_INFO NONE{false, SOCKET_VALUE, nullptr, -2};

class SocketNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SocketNames, ReadAndWrittenBack) {
    const NameCase& c = GetParam();
    SOCKET_INFO info = NONE;
    ASSERT_EQ(read_socket_name(c.name, &info), c.port.channel != -2);
    EXPECT_EQ(info.input, c.port.input);
    EXPECT_EQ(info.kind, c.port.kind);
    EXPECT_STREQ(info.key, c.port.key);
    EXPECT_EQ(info.channel, c.port.channel);
    char name[64];
    if (c.port.channel == -2) return;
    ASSERT_TRUE(socket_name(info, name, sizeof name));
    EXPECT_STREQ(name, std::strstr(c.name, "JACK_"));  // without the panel prefix
}

INSTANTIATE_TEST_SUITE_P(
    Sockets, SocketNames,
    ::testing::Values(NameCase{"JACK_IN_IN", {true, SOCKET_VALUE, "IN", -1}},
                      NameCase{"JACK_IN_IN_ASSIGN", {true, SOCKET_VALUE, "IN_ASSIGN", -1}},
                      NameCase{"3_JACK_IN_GATE", {true, SOCKET_GATE, "GATE", -1}},
                      NameCase{"12_JACK_IN_SYNC", {true, SOCKET_SYNC, "SYNC", -1}},
                      NameCase{"JACK_IN_ADD_CHANELL_1", {true, SOCKET_VALUE, "ADD_CHANELL", 0}},
                      NameCase{"0_JACK_IN_ADD_CHANELL_24", {true, SOCKET_VALUE, "ADD_CHANELL", 23}},
                      NameCase{"JACK_OUT", {false, SOCKET_VALUE, nullptr, -1}},
                      NameCase{"7_JACK_GATE_OUT", {false, SOCKET_GATE, nullptr, -1}},
                      NameCase{"JACK_SYNC_OUT", {false, SOCKET_SYNC, nullptr, -1}},
                      NameCase{"LABEL_JACK_IN_GATE", NONE}, NameCase{"JACK_IN_", NONE},
                      NameCase{"JACK_IN_gate", NONE}, NameCase{"JACK_IN_GATE_OUT", NONE},
                      NameCase{"JACK_IN_ADD_CHANELL", NONE}, NameCase{"JACK_IN_ADD_CHANELL_0", NONE},
                      NameCase{"JACK_IN_ADD_CHANELL_25", NONE}, NameCase{"JACK_IN_ADD_CHANELL_01", NONE},
                      NameCase{"JACK_OUT_2", NONE}, NameCase{"A_JACK_OUT", NONE}));

TEST(SocketRule, PortsWithoutSocketsAndWhichSocketsACableJoins) {
    char name[64] = "x";
    EXPECT_FALSE(socket_name(SOCKET_INFO{true, SOCKET_VALUE, "FOO", -1}, name, sizeof name));
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(socket_name(SOCKET_INFO{true, SOCKET_VALUE, "ADD_CHANELL", MIXER_CHANNELS}, name, sizeof name));
    EXPECT_FALSE(socket_name(SOCKET_INFO{false, SOCKET_GATE, nullptr, -1}, name, 13));  // "JACK_GATE_OUT" takes 14

    const SOCKET_INFO value_out{false, SOCKET_VALUE, nullptr, -1}, gate_out{false, SOCKET_GATE, nullptr, -1};
    const SOCKET_INFO value_in{true, SOCKET_VALUE, "IN", -1}, gate_in{true, SOCKET_GATE, "GATE", -1};
    EXPECT_TRUE(sockets_match(value_out, value_in));
    EXPECT_TRUE(sockets_match(gate_in, gate_out));
    EXPECT_FALSE(sockets_match(value_out, gate_in));
    EXPECT_FALSE(sockets_match(value_in, value_in));
    EXPECT_FALSE(sockets_match(gate_out, gate_out));
}

// ------------------------------------------------------------ back files

[[noreturn]] void throw_on_exit(int status) { throw status; }
const void* via(const INPUT* in) { return in != nullptr ? in->source : nullptr; }

/// The words a module's inputs read, null while unlinked; which of them the
/// links section reaches is for the loader to show.
using Ports = std::function<std::vector<const void*>(GENERATOR&)>;

/// The ports that one link line sets in a patch holding one module of every
/// type, named "<type word>_T"; VCO_T and KEY_T serve as sources.
std::set<int> linked_by(const std::string& line, const Ports& ports) {
    const std::string empty = test_temp_path("empty.ksy"), path = test_temp_path("link.ksy");
    std::ofstream(empty) << "";
    std::ofstream(path) << "BEGIN_OBJECTS_DECLARE VCO_T;FREQ=1; VCA_T;ATTACK=1; PCF_T;Q=1; SAMPLER_T;FILE=Sounds/kick.wav;"
                           " MIXER_T;V_00=1; KEY_T;; SEQUENCER_T;DIVIDER=2; SOUND_OUT_T;; AFFICHAGE_T;; CONSTANTE_T;VALUE=1;"
                           " VARIABLE_T;; BASIC_OPERATION_T;TYPE=1; GENERATOR_T;FILE="
                        << empty << "; END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n" << line << "\nEND_LINKS_DECLARE\n";
    GENERATOR g;
    std::string p = path;
    testing::internal::CaptureStdout();
    try {
        g.load_KSY(&p[0]);
    } catch (int status) {
        ADD_FAILURE() << line << " ended the program with status " << status;
    }
    testing::internal::GetCapturedStdout();
    std::set<int> linked;
    const std::vector<const void*> words = ports(g);
    for (size_t i = 0; i < words.size(); i++)
        if (words[i] != nullptr) linked.insert(static_cast<int>(i));
    return linked;
}

/// What an input key links, from a value source or else from the keyboard.
std::set<int> linked_by_key(const std::string& module, const std::string& key, const Ports& ports) {
    const std::set<int> linked = linked_by(module + ";" + key + "=VCO_T;", ports);
    return linked.empty() ? linked_by(module + ";" + key + "=KEY_T;", ports) : linked;
}

/// Whether the module is a source of this kind: a mixer channel or an operand
/// (between them every value source type), a gate, a filter's sync.
bool is_source(const std::string& m, SOCKET_KIND kind) {
    const auto one = [](const void* word) { return std::vector<const void*>{word}; };
    if (kind == SOCKET_GATE) return !linked_by("VCA_T;GATE=" + m + ";", [&](GENERATOR& g) { return one(g.vcas[0]->gate_source); }).empty();
    if (kind == SOCKET_SYNC) return !linked_by("PCF_T;SYNC=" + m + ";", [&](GENERATOR& g) { return one(g.pcfs[0]->sync_source); }).empty();
    return !linked_by("MIXER_T;ADD_CHANELL=" + m + ";", [&](GENERATOR& g) { return one(g.mixers[0]->input[0].source); }).empty() ||
           !linked_by("BASIC_OPERATION_T;IN1=" + m + ";", [&](GENERATOR& g) { return one(via(g.operations[0]->IN1)); }).empty();
}

struct BackCase {
    const char* rc;
    const char* front;   ///< the face whose size the back has
    const char* module;  ///< the module of the test patch behind the panel
    Ports ports;
};
void PrintTo(const BackCase& c, std::ostream* os) { *os << c.rc; }

class BackFile : public ::testing::TestWithParam<BackCase> {
protected:
    // The real pictures, so that sockets and faces have their drawn sizes.
    static void SetUpTestSuite() {
        previous_library = bibliotheque_graphique;
        bibliotheque_graphique = new KBIBLIO("Kel_Engine/GUI.KIM");
    }
    static void TearDownTestSuite() {
        bibliotheque_graphique->release_all();
        delete bibliotheque_graphique;
        bibliotheque_graphique = previous_library;
    }
    void SetUp() override { previous_exit = set_exit_handler(throw_on_exit); }
    void TearDown() override {
        set_exit_handler(previous_exit);
        for (OBJET* p : panels) destroy_panel(p);
    }
    OBJET* panel(const char* rc, bool back) {
        panels.push_back(new OBJET(0, 0, "0"));
        OBJET* p = panels.back();
        p->current_list = back ? &p->alt_elements : &p->elements;
        p->load_RC(rc);
        for (SPRITE* s : *p->current_list) s->evolue();  // takes the pictures' sizes
        return p;
    }
    std::vector<OBJET*> panels;
    exit_handler previous_exit = nullptr;
    static KBIBLIO* previous_library;
};
KBIBLIO* BackFile::previous_library = nullptr;

TEST_P(BackFile, SocketsAreTheModulesPortsOnItsFace) {
    const BackCase& c = GetParam();
    OBJET* p = panel(c.rc, true);
    ASSERT_FALSE(p->alt_elements.empty()) << c.rc << " does not load";
    EXPECT_STREQ(p->own_name(p->alt_elements.front()), "IMAGE_FOND");  // last in the file
    EXPECT_NE(std::strstr(p->alt_elements.front()->SPR_NAME, "FOND"), nullptr);
    EXPECT_NE(find_label(p, "label_NAME"), nullptr);
    const OBJET* f = panel(c.front, false);
    ASSERT_GT(p->w, 0);
    EXPECT_TRUE(p->w == f->w && p->h == f->h) << "the back is not the size of " << c.front;

    std::set<int> ports, channels;
    std::set<SOCKET_KIND> outputs;
    for (SPRITE* s : p->alt_elements) {
        const std::string name = p->own_name(s);
        SOCKET_INFO info;
        if (name.compare(0, 5, "JACK_") != 0) continue;
        ASSERT_TRUE(read_socket(p, s, &info)) << name << " is no socket name";
        EXPECT_EQ(find_socket(p, info), s) << name;
        EXPECT_STREQ(s->SPR_NAME, info.input ? "JACK_IN" : "JACK_OUT") << name;
        EXPECT_EQ(std::string(s->MASK_NAME), std::string(s->SPR_NAME) + "_MASK") << name;
        const LABEL* caption = find_label(p, ("LABEL_" + name).c_str());
        EXPECT_TRUE(caption != nullptr && caption->CAPTION[0] != '\0') << name << " has no caption";
        EXPECT_TRUE(s->w > 0 && s->x >= 0 && s->y >= 0 && s->x + s->w <= p->w && s->y + s->h <= p->h)
            << name << " at " << s->x << "," << s->y << " is not on the " << p->w << " x " << p->h << " face";
        if (!info.input) {
            EXPECT_TRUE(outputs.insert(info.kind).second) << name << " twice";
            continue;
        }
        // The links section fills the next free mixer channel: that the key
        // links one is all it can show of a channel socket.
        const std::set<int> linked = linked_by_key(c.module, info.key, c.ports);
        ASSERT_EQ(linked.size(), 1u) << name << ": the links section does not link " << info.key << " of " << c.module;
        EXPECT_TRUE(info.channel >= 0 ? channels.insert(info.channel).second : ports.insert(*linked.begin()).second)
            << name << " stands for the port of another socket";
    }
    if (!channels.empty()) {  // one socket per strip of the face
        EXPECT_TRUE(channels.size() == 21 && *channels.rbegin() == 20 && ports.empty()) << "mixer channels 1 to 21";
    } else {
        std::set<int> reachable;
        for (const char* key : {"IN", "IN1", "IN2", "IN_IF", "IN_ASSIGN", "MOD_FREQ", "MOD_PHASE", "MOD_AMP", "MOD_PWM",
                                "ALT_FREQ", "ALT_PHASE", "ALT_AMP", "ALT_PWM", "GATE", "SYNC", "ADD_CHANELL"}) {
            const std::set<int> linked = linked_by_key(c.module, key, c.ports);
            reachable.insert(linked.begin(), linked.end());
        }
        EXPECT_EQ(ports, reachable) << "a port the links section reaches has no socket";
    }
    for (SOCKET_KIND kind : {SOCKET_VALUE, SOCKET_GATE, SOCKET_SYNC})
        EXPECT_EQ(outputs.count(kind) == 1, is_source(c.module, kind)) << "output of kind " << kind;
}

#define PORTS(...) [](GENERATOR& g) { (void)g; return std::vector<const void*>{__VA_ARGS__}; }
INSTANTIATE_TEST_SUITE_P(
    Backs, BackFile,
    ::testing::Values(
        BackCase{"RC/BACK_VCO.RC", "RC/VCO.RC", "VCO_T",
                 PORTS(g.vcos[0]->source, via(g.vcos[0]->MOD_FREQ), via(g.vcos[0]->MOD_PHASE), via(g.vcos[0]->MOD_AMP),
                       via(g.vcos[0]->MOD_PWM), via(g.vcos[0]->ALT_FREQ), via(g.vcos[0]->ALT_PHASE),
                       via(g.vcos[0]->ALT_AMP), via(g.vcos[0]->ALT_PWM), g.vcos[0]->gate_source, g.vcos[0]->sync_source)},
        BackCase{"RC/BACK_VCA.RC", "RC/VCA.RC", "VCA_T", PORTS(g.vcas[0]->source, g.vcas[0]->gate_source)},
        BackCase{"RC/BACK_VCF.RC", "RC/VCF.RC", "PCF_T",
                 PORTS(g.pcfs[0]->source, via(g.pcfs[0]->MOD_FREQ), via(g.pcfs[0]->MOD_PHASE), via(g.pcfs[0]->MOD_AMP),
                       g.pcfs[0]->gate_source, g.pcfs[0]->sync_source)},
        BackCase{"RC/BACK_SAMPLER.RC", "RC/SAMPLER_MINI.RC", "SAMPLER_T",
                 PORTS(g.samplers[0]->source, via(g.samplers[0]->MOD_FREQ), via(g.samplers[0]->MOD_PHASE),
                       via(g.samplers[0]->MOD_AMP), via(g.samplers[0]->MOD_PWM), via(g.samplers[0]->ALT_FREQ),
                       via(g.samplers[0]->ALT_PHASE), via(g.samplers[0]->ALT_AMP), via(g.samplers[0]->ALT_PWM),
                       g.samplers[0]->gate_source, g.samplers[0]->sync_source)},
        BackCase{"RC/BACK_MIXER.RC", "RC/MIXER.RC", "MIXER_T", PORTS(g.mixers[0]->input[0].source)},
        BackCase{"RC/BACK_KEYBOARD.RC", "RC/KEYBOARD.RC", "KEY_T", PORTS()},
        BackCase{"RC/BACK_SEQUENCEUR.RC", "RC/SEQUENCEUR_MINI.RC", "SEQUENCER_T", PORTS(g.sequencers[0]->sync_source)},
        BackCase{"RC/BACK_SOUND_OUTPUT.RC", "RC/SOUND_OUTPUT.RC", "SOUND_OUT_T", PORTS(via(g.sound_outputs[0]->IN))},
        BackCase{"RC/BACK_AFFICHAGE.RC", "RC/AFFICHAGE.RC", "AFFICHAGE_T", PORTS(g.values[0]->source)},
        BackCase{"RC/BACK_CONSTANTE.RC", "RC/CONSTANTE.RC", "CONSTANTE_T", PORTS()},
        BackCase{"RC/BACK_VARIABLE.RC", "RC/VARIABLE.RC", "VARIABLE_T",
                 PORTS(g.variables[0]->source, via(g.variables[0]->IN_ASSIGN))},
        BackCase{"RC/BACK_OPERATION.RC", "RC/OPERATION.RC", "BASIC_OPERATION_T",
                 PORTS(via(g.operations[0]->IN1), via(g.operations[0]->IN2), via(g.operations[0]->IN_IF))},
        BackCase{"RC/BACK_GENERATOR.RC", "RC/GENERATOR.RC", "GENERATOR_T", PORTS()}));

}  // namespace
