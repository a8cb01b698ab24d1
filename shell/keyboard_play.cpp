#include "shell/keyboard_play.h"

#include "panels/keyboard_gui.h"
#include "shell/globals.h"
#include "shell/midi_input.h"
#include "synth/generator.h"

namespace {
/// Two rows of keys, tracker style, as semitones above the C of the module's
/// octave: the row from Z is one octave, the row from Q the octave above.
/// Keys are matched by the letter they type, as the help line names them.
constexpr SDLKey NOTE_KEYS[] = {
    SDLK_z, SDLK_s, SDLK_x, SDLK_d, SDLK_c, SDLK_v, SDLK_g, SDLK_b, SDLK_h, SDLK_n, SDLK_j, SDLK_m,
    SDLK_q, SDLK_2, SDLK_w, SDLK_3, SDLK_e, SDLK_r, SDLK_5, SDLK_t, SDLK_6, SDLK_y, SDLK_7, SDLK_u, SDLK_i,
};
constexpr int NOTE_KEY_COUNT = sizeof NOTE_KEYS / sizeof NOTE_KEYS[0];
/// Our keys among those held on a module: above every MIDI key (channel x 128 + note).
constexpr int FIRST_KEY_ID = 4096;
/// The note of the module's C (notes count 1..12 from C within an octave).
constexpr int NOTE_OF_C = 1;

/// The keys held on the computer keyboard (MIDI keeps its own). It writes the
/// keyboards' note and gate words, so it is only used inside edits of the
/// patch, on the thread that steps it.
NOTE_PLAYER player;

/// The module each held key went down on, so that its release goes there
/// even when another keyboard panel was clicked meanwhile; null when up.
KEYBOARD* held_on[NOTE_KEY_COUNT] = {};

int semitone_of(SDLKey key) {
    for (int i = 0; i < NOTE_KEY_COUNT; i++)
        if (NOTE_KEYS[i] == key) return i;
    return -1;
}

/// The module the keys play: the one whose panel was clicked last, else the
/// patch's first keyboard (the one MIDI channel 1 plays).
KEYBOARD* played_keyboard() {
    if (KEYBOARD_GUI::last_clicked != nullptr) return KEYBOARD_GUI::last_clicked->module;
    return keyboard_of_channel(gen, 0);
}
}  // namespace

bool keyboard_play_event(const SDL_Event& e, std::vector<OBJET*>&) {
    if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) return false;
    const int semitone = semitone_of(e.key.keysym.sym);
    if (semitone < 0) return false;
    if (e.type == SDL_KEYUP) {
        KEYBOARD* k = held_on[semitone];
        if (k == nullptr) return false;
        held_on[semitone] = nullptr;
        const int key = FIRST_KEY_ID + semitone;
        gen->edit_later([k, key](GENERATOR&) { player.off(k, key); });
        return true;
    }
    // Ctrl and Alt combinations are commands, not notes.
    if ((e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) != 0) return false;
    if (held_on[semitone] != nullptr) return true;  // a key repeat: the note is already down
    KEYBOARD* k = played_keyboard();
    if (k == nullptr) return false;
    held_on[semitone] = k;
    const int key = FIRST_KEY_ID + semitone, octave = k->octave, note = NOTE_OF_C + semitone;
    gen->edit_later([k, key, octave, note](GENERATOR&) { player.on(k, key, octave, note); });
    return true;
}

void keyboard_play_reset() {
    for (KEYBOARD*& k : held_on) k = nullptr;
    if (gen != nullptr)
        gen->edit([](GENERATOR&) { player.forget(); });
    else
        player.forget();
    midi_input_forget();
}
