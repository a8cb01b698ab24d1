// The render callback: the ready flag, the 16-bit conversion, one patch step
// per frame, the reload lock, and the two unregistered library callbacks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "shell/audio.h"
#include "shell/globals.h"
#include "synth/generator.h"

namespace {

// A patch whose output is a constant the test sets, and a counter of steps.
struct Rig {
    GENERATOR patch;
    CONSTANTE* level;
    INPUT link;
    Rig() {
        level = new CONSTANTE(0.0f);
        auto* out = new SOUND_OUTPUT();
        link.source = &level->value;
        out->IN = &link;
        patch.add(level);
        patch.add(out);
        main_gen = &patch;
        CALLBACK_READY = 1;
    }
    ~Rig() {
        CALLBACK_READY = 0;
        main_gen = nullptr;
    }
    std::vector<short> play(int frames) {
        std::vector<short> buf(static_cast<size_t>(frames) * 2, 0x5555);
        instrument_callback(nullptr, buf.data(), frames * 4, nullptr);
        return buf;
    }
};

}  // namespace

TEST(RenderCallback, NotReadyLeavesTheBufferUntouched) {
    Rig r;
    CALLBACK_READY = 0;
    r.level->VALUE = 0.5f;
    std::vector<short> buf = r.play(64);
    for (short s : buf) ASSERT_EQ(s, 0x5555);
}

TEST(RenderCallback, OutputIsScaledTruncatedAndOnBothChannels) {
    Rig r;
    struct { float v; short s; } cases[] = {
        {0.5f, 16383}, {-0.5f, -16383}, {1.0f, 32767}, {-1.0f, -32767}, {0.0f, 0}, {1e-5f, 0},
    };
    for (auto c : cases) {
        r.level->VALUE = c.v;
        std::vector<short> buf = r.play(8);
        for (int i = 0; i < 8; i++) {
            ASSERT_EQ(buf[2 * i], c.s) << c.v;
            ASSERT_EQ(buf[2 * i + 1], c.s) << c.v;
        }
    }
}

TEST(RenderCallback, PastFullScaleWrapsAndNonFiniteValuesAreSilence) {
    // 1.5 x 32767 = 49150 -> low 16 bits -16386; an out-of-range value is not clipped here.
    EXPECT_EQ(sample_from_output(1.5f), static_cast<short>(49150 - 65536));
    EXPECT_EQ(sample_from_output(NAN), 0);
    EXPECT_EQ(sample_from_output(INFINITY), 0);
    EXPECT_EQ(sample_from_output(-INFINITY), 0);
    // A finite value past the 32-bit range stops at INT32_MAX, whose low 16 bits are -1.
    EXPECT_EQ(sample_from_output(1e30f), static_cast<short>(-1));
}

TEST(RenderCallback, StepsThePatchOncePerWholeFrame) {
    Rig r;
    auto* osc = new VCO(1.0f, 441.0f, SAW);  // cycle advances 0.01 per step
    r.patch.add(osc);
    // 10 bytes: two whole frames, the two remaining bytes untouched.
    std::vector<short> buf(5, 0x5555);
    instrument_callback(nullptr, buf.data(), 10, nullptr);
    EXPECT_FLOAT_EQ(osc->cycle, 0.02f);
    EXPECT_EQ(buf[4], 0x5555);
    // 44100 frames over several buffers: one second, 44100 steps.
    VCO ref(1.0f, 441.0f, SAW);
    for (int i = 0; i < 2; i++) ref.evolue();
    int left = 44100;
    while (left > 0) {
        const int frames = left < 3072 ? left : 3072;
        r.play(frames);
        left -= frames;
    }
    for (int i = 0; i < 44100; i++) ref.evolue();
    EXPECT_EQ(osc->cycle, ref.cycle);
}

TEST(RenderCallback, ABufferDuringAReloadIsSilenceAndLeavesThePatchAlone) {
    Rig r;
    r.level->VALUE = 0.5f;
    auto* osc = new VCO(1.0f, 441.0f, SAW);
    r.patch.add(osc);
    {
        std::lock_guard<std::mutex> reloading(r.patch.audio_lock);
        std::vector<short> buf = r.play(32);
        for (short s : buf) ASSERT_EQ(s, 0);
        EXPECT_EQ(osc->cycle, 0.0f);  // not stepped
    }
    std::vector<short> buf = r.play(4);
    EXPECT_EQ(buf[0], 16383);  // the lock was released by the callback too
    EXPECT_TRUE(r.patch.audio_lock.try_lock());
    r.patch.audio_lock.unlock();
}

TEST(LibraryCallbacks, DspHalvesBothChannelsRoundingDown) {
    short frames[6] = {1000, -1000, 3, -3, -32768, 32767};
    void* out = dspcallback(nullptr, frames, 3, nullptr);
    EXPECT_EQ(out, frames);
    short expected[6] = {500, -500, 1, -2, -16384, 16383};
    for (int i = 0; i < 6; i++) EXPECT_EQ(frames[i], expected[i]) << i;
}

TEST(LibraryCallbacks, EndCallbackNamesTheSyncPointOrTheEnd) {
    testing::internal::CaptureStdout();
    char point[] = "verse";
    EXPECT_EQ(endcallback(nullptr, point, 0, nullptr), 1);
    EXPECT_EQ(endcallback(nullptr, nullptr, 0, nullptr), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nSYNCHPOINT : verse\n\nSTREAM ENDED!!\n");
}
