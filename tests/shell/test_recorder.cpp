// Recording the output: frames pass from the sound thread through the ring to
// the recording in order, and what cannot be kept is counted, never overwritten.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "shell/recorder.h"

namespace {

// Frames whose left value is first + i and right value is -(first + i).
std::vector<short> frames(int first, int count) {
    std::vector<short> v;
    for (int i = 0; i < count; i++) {
        v.push_back(static_cast<short>(first + i));
        v.push_back(static_cast<short>(-(first + i)));
    }
    return v;
}

TEST(OutputRecorder, KeepsFramesInOrderAcrossDrainsAndWrapsOfTheRing) {
    OUTPUT_RECORDER rec(100);
    int next = 0;
    for (int round = 0; round < 7; round++) {  // 7 x 60 frames: the ring wraps several times
        const auto buf = frames(next, 60);
        OUTPUT_RECORDER::monitor(buf.data(), 60 * 4, &rec);
        next += 60;
        rec.drain();
    }
    auto s = rec.take();
    ASSERT_EQ(s->length, 420);
    EXPECT_EQ(s->data, frames(0, 420));
    EXPECT_EQ(s->mode & 0x50u, 0x50u);
    EXPECT_EQ(s->frequency, 44100);
    EXPECT_EQ(rec.lost_frames(), 0);
}

TEST(OutputRecorder, AFullRingDropsTheNewestFramesAndCountsThem) {
    OUTPUT_RECORDER rec(100);
    const auto buf = frames(0, 150);
    OUTPUT_RECORDER::monitor(buf.data(), 150 * 4, &rec);
    auto s = rec.take();
    EXPECT_EQ(s->length, 100);
    EXPECT_EQ(s->data, frames(0, 100));
    EXPECT_EQ(rec.lost_frames(), 50);
}

TEST(OutputRecorder, StopsAtItsLimitAndIgnoresPartialFrames) {
    OUTPUT_RECORDER rec(1000, 30);
    const auto buf = frames(0, 50);
    OUTPUT_RECORDER::monitor(buf.data(), 50 * 4 + 3, &rec);  // 3 stray bytes are not a frame
    OUTPUT_RECORDER::monitor(buf.data(), 2, &rec);
    OUTPUT_RECORDER::monitor(nullptr, 400, &rec);
    auto s = rec.take();
    EXPECT_EQ(s->length, 30);
    EXPECT_EQ(s->data, frames(0, 30));
    EXPECT_EQ(rec.lost_frames(), 20);
}

TEST(OutputRecorder, DrainsWhileTheSoundThreadWrites) {
    // The ring outlasts the whole run, so nothing is lost however the threads
    // interleave; every frame must arrive once and in order.
    constexpr int kBuffers = 400, kFrames = 64;
    OUTPUT_RECORDER rec(kBuffers * kFrames);
    std::thread sound([&] {
        for (int b = 0; b < kBuffers; b++) {
            const auto buf = frames(b * kFrames, kFrames);
            OUTPUT_RECORDER::monitor(buf.data(), kFrames * 4, &rec);
        }
    });
    for (int i = 0; i < 200; i++) rec.drain();
    sound.join();
    auto s = rec.take();
    EXPECT_EQ(rec.lost_frames(), 0);
    EXPECT_EQ(s->length, kBuffers * kFrames);
    EXPECT_EQ(s->data, frames(0, kBuffers * kFrames));
}

}  // namespace
