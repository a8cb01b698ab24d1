#include "shell/audio.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "shell/globals.h"
#include "shell/sound_errors.h"
#include "synth/block.h"
#include "synth/exit.h"
#include "synth/generator.h"

short sample_from_output(float v) {
    const double scaled = v * 32767.0;
    std::int32_t word;
    if (!std::isfinite(scaled)) {
        // A patch driven past its limits (NaN, or an infinity from an overflow)
        // is heard as silence, never as a full-scale click.
        word = 0;
    } else if (scaled >= 2147483647.0) {
        word = INT32_MAX;
    } else if (scaled <= -2147483648.0) {
        word = INT32_MIN;
    } else {
        word = static_cast<std::int32_t>(scaled);
    }
    const std::uint16_t low = static_cast<std::uint16_t>(static_cast<std::uint32_t>(word) & 0xFFFFu);
    short s;
    std::memcpy(&s, &low, sizeof s);
    return s;
}

int instrument_callback(FSOUND_STREAM*, void* buff, int len, void*) {
    GENERATOR* patch = main_gen.load(std::memory_order_acquire);
    if (CALLBACK_READY.load(std::memory_order_acquire) == 0) {
        // Held for a reload: whoever queues an edit meanwhile applies it itself.
        if (patch != nullptr) patch->edit_path.audio_thread_gone();
        return 1;
    }
    const int frames = len >> 2;
    unsigned char* out = static_cast<unsigned char*>(buff);
    // A reload holds the patch: this buffer is silence rather than a wait.
    if (patch == nullptr || !patch->audio_lock.try_lock()) {
        if (frames > 0) std::memset(out, 0, static_cast<size_t>(frames) * 4);
        return 1;
    }
    // Edits queued from now on are left to this thread: render() applies them between blocks.
    patch->edit_path.audio_thread_alive();
    float block[BLOCK_FRAMES];
    for (int done = 0; done < frames;) {
        const int n = frames - done < BLOCK_FRAMES ? frames - done : BLOCK_FRAMES;
        patch->render(block, n);
        for (int i = 0; i < n; i++) {
            const short s = sample_from_output(block[i]);
            std::memcpy(out, &s, 2);      // left
            std::memcpy(out + 2, &s, 2);  // right
            out += 4;
        }
        done += n;
    }
    patch->audio_lock.unlock();
    return 1;
}

void* dspcallback(void*, void* newbuffer, int length, void*) {
    unsigned char* at = static_cast<unsigned char*>(newbuffer);
    for (int i = 0; i < length * 2; i++, at += 2) {
        short s;
        std::memcpy(&s, at, 2);
        s = static_cast<short>(s >> 1);  // arithmetic: rounds toward minus infinity
        std::memcpy(at, &s, 2);
    }
    return newbuffer;
}

int endcallback(FSOUND_STREAM*, void* buff, int, void*) {
    // The sound layer passes the sync-point name in buff, or null at the stream's end.
    if (buff != nullptr)
        std::printf("\nSYNCHPOINT : %s\n", static_cast<const char*>(buff));
    else
        std::printf("\nSTREAM ENDED!!\n");
    return 1;
}

FSOUND_STREAM* main_stream = nullptr;

int Stream_Create() {
    main_stream = FSOUND_Stream_Create(instrument_callback, BufferSize, STREAM_MODE, Frequency, nullptr);
    if (main_stream == nullptr || FSOUND_Stream_Play(0, main_stream) == -1) {
        std::printf("Error!\n");
        std::printf("%s\n", FMOD_ErrorString(FSOUND_GetError()));
        kel_exit(1);
    }
    return 1;
}

SOUND_SWITCH switch_main_stream(const SOUND_PLACE& place) {
    // A reload may hold the patch already: it is held as long after as before.
    const int ready = CALLBACK_READY.exchange(0, std::memory_order_acq_rel);
    SOUND_SWITCH r = sound_switch(&main_stream, place);
    // The old stream's last buffer may have come after the hold began: no
    // audio thread serves the patch's edits until the hold ends.
    if (GENERATOR* patch = main_gen.load(std::memory_order_acquire)) patch->edit_path.audio_thread_gone();
    CALLBACK_READY.store(ready, std::memory_order_release);
    return r;
}
