// Playing keyboard modules: the MIDI note mapping and messages, the held-key
// rules (legato, last key wins), the queue from the MIDI thread and its
// drain, the computer keyboard's rows, and what the keyboard panel shows.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/widgets.h"
#include "panels/keyboard_gui.h"
#include "shell/globals.h"
#include "shell/keyboard_play.h"
#include "shell/midi_input.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {
// A patch of n keyboards, declared (added) in order: "KEY_1", "KEY_2", ...
struct KEYBOARDS {
    GENERATOR patch;
    std::vector<KEYBOARD*> declared;
    explicit KEYBOARDS(int n) {
        for (int i = 0; i < n; i++) {
            auto* k = new KEYBOARD();
            std::snprintf(k->name, sizeof k->name, "KEY_%d", i + 1);
            patch.add(k);
            declared.push_back(k);
        }
    }
};

// The sample the patch steps after a note: takes the sync request.
void step(KEYBOARD* k) { k->evolue(); }

void queue_bytes(std::vector<unsigned char> bytes) { midi_input_queue(bytes.data(), bytes.size()); }

// Empties the queue and the held MIDI keys left by an earlier test.
void fresh_midi() {
    GENERATOR none;
    for (int i = 0; i < 300; i++) midi_input_apply(&none);
    midi_input_forget();
    midi_input_apply(&none);
}
}  // namespace

TEST(MidiNotes, MapOntoTheNoteTable) {
    fill_NOTE2FREQ();
    const struct { int midi, octave, note; } cases[] = {
        {69, 4, 10}, {60, 4, 1}, {71, 4, 12}, {72, 5, 1}, {11, 0, 0}, {12, 0, 1}, {127, 9, 8},
    };
    for (const auto& c : cases) {
        int octave = -1, note = -1;
        ASSERT_TRUE(midi_note_to_keyboard(c.midi, &octave, &note)) << c.midi;
        EXPECT_EQ(octave, c.octave) << c.midi;
        EXPECT_EQ(note, c.note) << c.midi;
        // Equal temperament from A4 = 440 Hz: the table's power is taken in single precision.
        const double hz = 440.0 * std::pow(2.0, (c.midi - 69) / 12.0);
        EXPECT_NEAR(NOTE2FREQ[octave * 12 + note], hz, hz * 1e-5) << c.midi;
    }
    int octave = 0, note = 0;
    EXPECT_FALSE(midi_note_to_keyboard(10, &octave, &note)) << "below the table";
    EXPECT_FALSE(midi_note_to_keyboard(128, &octave, &note));
}

TEST(MidiNotes, DecodeNoteOnAndOffOnly) {
    const struct { std::vector<unsigned char> bytes; bool note; int channel, number; bool on; } cases[] = {
        {{0x90, 69, 100}, true, 0, 69, true},   {{0x95, 60, 0}, true, 5, 60, false},
        {{0x8F, 1, 64}, true, 15, 1, false},    {{0xB0, 7, 100}, false, 0, 0, false},
        {{0x90, 69}, false, 0, 0, false},       {{0x90, 0x80, 100}, false, 0, 0, false},
        {{0xE0, 0, 64}, false, 0, 0, false},
    };
    for (const auto& c : cases) {
        MIDI_NOTE n{};
        ASSERT_EQ(midi_decode(c.bytes.data(), c.bytes.size(), &n), c.note) << (int)c.bytes[0];
        if (!c.note) continue;
        EXPECT_EQ(n.channel, c.channel);
        EXPECT_EQ(n.note, c.number);
        EXPECT_EQ(n.on, c.on);
    }
}

TEST(MidiNotes, QueueKeepsOrderAcrossItsEndAndRefusesWhenFull) {
    static MIDI_QUEUE q;
    MIDI_NOTE n{};
    q.push({0, 0, 1, true});  // start one slot in, so the indices wrap
    q.pop();
    for (unsigned i = 0; i < MIDI_QUEUE::CAPACITY; i++) ASSERT_TRUE(q.push({0, (std::uint8_t)(i % 128), 1, true}));
    EXPECT_FALSE(q.push({0, 1, 1, true})) << "full";
    for (unsigned i = 0; i < MIDI_QUEUE::CAPACITY; i++) {
        ASSERT_TRUE(q.peek(&n));
        EXPECT_EQ(n.note, i % 128);
        q.pop();
    }
    EXPECT_FALSE(q.peek(&n));
}

TEST(NotePlayer, LegatoLastKeyWinsAndTheLastReleaseCloses) {
    KEYBOARD k;
    NOTE_PLAYER player;
    player.on(&k, 1, 4, 1);
    EXPECT_EQ(k.gate, 1);
    EXPECT_EQ(k.request, 1);
    step(&k);
    k.age = 100.0f;
    player.on(&k, 2, 4, 5);  // a second key while the first is held
    EXPECT_EQ(k.note, 5);
    EXPECT_EQ(k.request, 1) << "every key down asks for a sync pulse";
    EXPECT_EQ(k.age, 100.0f) << "an open gate is not retriggered";
    step(&k);
    player.off(&k, 2);  // the sounding key up: back to the one still held, no pulse
    EXPECT_EQ(k.note, 1);
    EXPECT_EQ(k.gate, 1);
    EXPECT_EQ(k.request, 0);
    player.off(&k, 7);  // never held
    EXPECT_EQ(k.gate, 1);
    EXPECT_TRUE(player.off_closes_gate(&k, 1));
    player.off(&k, 1);
    EXPECT_EQ(k.gate, 0);

    player.on(&k, 1, 4, 1);
    player.on(&k, 2, 4, 3);
    player.off(&k, 1);  // not the sounding key: the note stays
    EXPECT_EQ(k.note, 3);
    EXPECT_EQ(k.gate, 1);
    player.forget();
    player.off(&k, 2);
    EXPECT_EQ(k.gate, 1) << "forgotten keys close nothing";

    KEYBOARD off;
    off.on = 0;
    player.on(&off, 1, 4, 1);
    EXPECT_EQ(off.gate, 0) << "POWER off takes no notes";
}

TEST(MidiNotes, ChannelsPlayTheKeyboardsInTheirDeclaredOrder) {
    KEYBOARDS two(2);
    EXPECT_EQ(keyboard_of_channel(&two.patch, 0), two.declared[0]);
    EXPECT_EQ(keyboard_of_channel(&two.patch, 1), two.declared[1]);
    EXPECT_EQ(keyboard_of_channel(&two.patch, 2), two.declared[0]) << "beyond the keyboards: the first";
    EXPECT_EQ(keyboard_of_channel(&two.patch, 15), two.declared[0]);
    KEYBOARDS none(0);
    EXPECT_EQ(keyboard_of_channel(&none.patch, 0), nullptr);
    EXPECT_EQ(keyboard_of_channel(nullptr, 0), nullptr);
}

TEST(MidiNotes, QueuedNotesPlayAndAShortNoteIsHeard) {
    fill_NOTE2FREQ();
    fresh_midi();
    KEYBOARDS two(2);
    KEYBOARD* second = two.declared[1];
    queue_bytes({0x91, 69, 100});  // channel 2
    queue_bytes({0x81, 69, 0});    // released before the patch stepped
    midi_input_apply(&two.patch);
    EXPECT_EQ(second->gate, 1) << "the release waits for the patch to hear the note";
    EXPECT_EQ(two.declared[0]->gate, 0);
    step(second);
    EXPECT_FLOAT_EQ(second->value, NOTE2FREQ[58]);
    midi_input_apply(&two.patch);
    EXPECT_EQ(second->gate, 0);

    // A patch that never steps does not hold the release back for ever.
    queue_bytes({0x90, 60, 100});
    queue_bytes({0x90, 60, 0});  // velocity 0: a note off
    for (int i = 0; i < 10; i++) midi_input_apply(&two.patch);
    EXPECT_EQ(two.declared[0]->gate, 0);
    EXPECT_EQ(two.declared[0]->note, 1);
}

// --- the computer keyboard and the panel -------------------------------------

namespace {
SDL_Event key(Uint8 type, SDLKey sym, SDLMod mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
}
bool press(SDLKey sym, SDLMod mod = KMOD_NONE) {
    std::vector<OBJET*> shown;
    return keyboard_play_event(key(SDL_KEYDOWN, sym, mod), shown);
}
bool release(SDLKey sym) {
    std::vector<OBJET*> shown;
    return keyboard_play_event(key(SDL_KEYUP, sym), shown);
}

struct COMPUTER_KEYS : ::testing::Test {
    KEYBOARDS two{2};
    void SetUp() override {
        keyboard_play_reset();
        gen = &two.patch;
    }
    void TearDown() override {
        keyboard_play_reset();
        gen = nullptr;
    }
};
}  // namespace

TEST_F(COMPUTER_KEYS, TwoRowsPlayTheFirstKeyboardInItsOwnOctave) {
    KEYBOARD* first = two.declared[0];
    first->octave = 3;
    // Semitones above C: the row from Z, then the row from Q an octave up.
    const struct { SDLKey sym; int semitone; } keys[] = {
        {SDLK_z, 0}, {SDLK_s, 1}, {SDLK_m, 11}, {SDLK_q, 12}, {SDLK_2, 13}, {SDLK_u, 23}, {SDLK_i, 24},
    };
    for (const auto& k : keys) {
        ASSERT_TRUE(press(k.sym)) << k.sym;
        EXPECT_EQ(first->octave, 3);
        EXPECT_EQ(first->note, 1 + k.semitone) << k.sym;
        EXPECT_EQ(first->gate, 1);
        ASSERT_TRUE(release(k.sym));
        EXPECT_EQ(first->gate, 0);
    }
    EXPECT_EQ(two.declared[1]->gate, 0);
    press(SDLK_z);
    step(first);
    EXPECT_TRUE(press(SDLK_z)) << "a key repeat is still ours";
    EXPECT_EQ(first->request, 0) << "a key repeat asks for no pulse";
    release(SDLK_z);
    EXPECT_FALSE(press(SDLK_a)) << "not a note key";
    EXPECT_FALSE(press(SDLK_z, KMOD_LCTRL)) << "Ctrl+Z is the window's";
    EXPECT_FALSE(release(SDLK_x)) << "a release of a key never pressed goes on";
}

TEST_F(COMPUTER_KEYS, TheLastClickedPanelIsPlayedAndShowsItsNote) {
    KEYBOARD* second = two.declared[1];
    auto* panel = new KEYBOARD_GUI(second, 0, 0, "0");
    SDL_Event up{};
    up.type = SDL_MOUSEBUTTONUP;
    up.button.button = SDL_BUTTON_LEFT;
    panel->ajoute_message(MESSAGE(1, up, nullptr, panel->get_SPRITE_by_name("label_NAME")));
    panel->evolue();
    ASSERT_EQ(KEYBOARD_GUI::last_clicked, panel);

    second->octave = 4;
    press(SDLK_n);  // A: nine semitones above C
    panel->evolue();
    const LABEL* note = dynamic_cast<LABEL*>(panel->get_SPRITE_by_name("LABEL_NOTE"));
    ASSERT_NE(note, nullptr);
    EXPECT_STREQ(note->CAPTION, "A4");
    const unsigned lit = note->Col;
    release(SDLK_n);
    panel->evolue();
    EXPECT_STREQ(note->CAPTION, "A4") << "the last note stays shown";
    EXPECT_NE(note->Col, lit) << "dark once the gate closed";
    EXPECT_EQ(two.declared[0]->gate, 0);

    // Notes from MIDI may set octaves the buttons never reach: the digit follows.
    second->octave = 9;
    panel->evolue();
    EXPECT_STREQ(panel->get_SPRITE_by_name("SPRITE_OCT")->SPR_NAME, "LED_NUMERIC_1_10");
    second->octave = 12;
    panel->evolue();
    EXPECT_STREQ(panel->get_SPRITE_by_name("SPRITE_OCT")->SPR_NAME, "") << "no digit beyond the pictures";

    destroy_panel(panel);
    EXPECT_EQ(KEYBOARD_GUI::last_clicked, nullptr);
}
