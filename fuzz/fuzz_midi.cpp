// MIDI decoder: the input is a stream of messages, each a length byte (its
// low two bits plus one: 1..4 bytes) and that many bytes, as the MIDI library
// hands them over. Each is decoded and queued as the MIDI thread does; the
// notes are then played on a patch of two keyboards as the audio thread does,
// a few samples apart, and every keyboard must keep a note of the note table
// and a gate that is open or closed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "shell/midi_input.h"
#include "synth/generator.h"
#include "synth/notes.h"
#include "synth/sequencer.h"

namespace {

GENERATOR* patch = nullptr;

void play_and_check() {
    midi_input_apply(patch);
    for (KEYBOARD* k : patch->keyboards) {
        k->evolue();
        const long long n = static_cast<long long>(k->octave) * 12 + k->note;
        if (n < 0 || n >= NOTE2FREQ_SIZE || (k->gate != 0 && k->gate != 1)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fill_NOTE2FREQ();
    patch = new GENERATOR();
    patch->add(new KEYBOARD());
    patch->add(new KEYBOARD());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Runs do not depend on one another: the held keys of the last run are forgotten
    // and its notes drained.
    midi_input_forget();
    for (int i = 0; i < 8; i++) play_and_check();
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = (data[at] & 3u) + 1;
        at++;
        const std::size_t n = length < size - at ? length : size - at;
        MIDI_NOTE note;
        if (midi_decode(data + at, n, &note) &&
            (note.channel > 15 || note.note > 127 || note.velocity > 127 || (note.on && note.velocity == 0)))
            std::abort();
        midi_input_queue(data + at, n);
        at += n;
        play_and_check();
    }
    return 0;
}
