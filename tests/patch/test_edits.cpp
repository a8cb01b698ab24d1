// Structural edits while the patch plays: cables made and removed, undone and
// redone, pattern grids loaded, all queued by one thread while another renders.
// Run under ThreadSanitizer too (the thread suite), where any race fails it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "ksy_fixture.h"
#include "patch/link_ports.h"
#include "synth/block.h"

namespace {

const char* const PATCH =
    "BEGIN_OBJECTS_DECLARE\n"
    "SEQUENCER_NOTES;DIVIDER=16;NBR_STEP_000=4;NOTE_000_00=46;NOTE_000_01=49;NOTE_000_02=53;NOTE_000_03=58;\n"
    "VCO_VOICE;TYPE=3;FREQ=44;AMOUNT=0.5;\n"
    "VCO_LFO;TYPE=1;FREQ=3;AMOUNT=0.3;\n"
    "VCO_DRONE;TYPE=2;FREQ=110;AMOUNT=0.4;\n"
    "VCA_PLUCK;ATTACK=5;DECAY=40;SUSTAIN=0.3;RELEASE=20;\n"
    "MIXER_OUT;V_00=1;V_01=1;V_02=1;\n"
    "SOUND_OUT;;\n"
    "END_OBJECTS_DECLARE\n"
    "BEGIN_LINKS_DECLARE\n"
    "VCO_VOICE;IN=SEQUENCER_NOTES;\n"
    "VCA_PLUCK;IN=VCO_VOICE;GATE=SEQUENCER_NOTES;\n"
    "MIXER_OUT;ADD_CHANELL=VCA_PLUCK;\n"
    "SOUND_OUT;IN=MIXER_OUT;\n"
    "END_LINKS_DECLARE\n";

constexpr int BLOCKS = 2400;  // 3.5 s of sound in blocks of BLOCK_FRAMES

class Edits : public KsyTest {
protected:
    std::string patch_path, grid_a, grid_b;

    void SetUp() override {
        KsyTest::SetUp();
        patch_path = write("edits.ksy", PATCH);
        // Two pattern files: the loaded grid, and one a fifth higher and faster.
        GENERATOR g;
        load(g, patch_path);
        SEQUENCER* s = g.sequencers[0];
        grid_a = dir + "/a.PAR";
        ASSERT_EQ(s->save_partition(grid_a.c_str()), 1);
        for (int i = 0; i < 4; i++) s->note[i] = s->note[i] + 7;
        s->divider[0] = 24.0f;
        grid_b = dir + "/b.PAR";
        ASSERT_EQ(s->save_partition(grid_b.c_str()), 1);
    }

    /// Applies edit `kind` (one edit each) to g through its edit path, as the
    /// window does. undo holds what the last unlink found, for the kind that puts it back.
    void apply(GENERATOR& g, int kind, PORT_WORDS& undo) {
        MIXER* mixer = g.mixers[0];
        VCO* voice = g.get_VCO_by_name("VCO_VOICE");
        VCO* lfo = g.get_VCO_by_name("VCO_LFO");
        VCO* drone = g.get_VCO_by_name("VCO_DRONE");
        const INPUT_PORT channel = channel_port(mixer, 1);
        const INPUT_PORT vibrato = input_port(voice, "MOD_FREQ");
        switch (kind % 6) {
            case 0: {  // a cable from the drone to the mixer's second channel
                g.edit([&](GENERATOR&) { link_value_port_made(channel, drone, nullptr); });
                break;
            }
            case 1: {  // the vibrato cable, its INPUT made before the edit
                INPUT* made = g.new_link(lfo);
                g.edit([&](GENERATOR&) { link_value_port_made(vibrato, lfo, made); });
                break;
            }
            case 2:  // unplugged
                undo = port_words(channel);
                g.edit([&](GENERATOR&) { unlink_port(channel); });
                break;
            case 3:  // undone
                g.edit([&](GENERATOR&) { restore_port(channel, undo); });
                break;
            case 4:
                g.edit([&](GENERATOR&) { unlink_port(vibrato); });
                break;
            case 5: {
                const std::string& grid = (kind / 6) % 2 == 0 ? grid_b : grid_a;
                // The pattern file is read here; only the copy into the grid is an edit.
                g.sequencers[0]->load_partition(grid.c_str(), &g);
                break;
            }
        }
    }
};

// A thread edits while another renders as the audio callback does; the same
// edits applied offline before the same blocks give the same bits.
TEST_F(Edits, EditsWhilePlayingLandBetweenBlocksAsOffline) {
    GENERATOR live;
    load(live, patch_path);
    std::vector<float> heard(static_cast<size_t>(BLOCKS) * BLOCK_FRAMES);
    // landed[b]: how many edits had landed when block b was computed (render
    // applies them only before a block, and is given one block at a time).
    std::vector<unsigned> landed(BLOCKS);
    std::atomic<int> blocks{0};
    std::atomic<bool> stop{false};

    std::thread audio([&] {
        for (int b = 0; b < BLOCKS; b++) {
            {
                std::lock_guard<std::mutex> hold(live.audio_lock);
                live.edit_path.audio_thread_alive();
                live.render(&heard[static_cast<size_t>(b) * BLOCK_FRAMES], BLOCK_FRAMES);
                landed[static_cast<size_t>(b)] = live.edit_path.queue.applied();
            }
            blocks.store(b + 1, std::memory_order_release);
            // A little slower than the edits come, so that they spread over the whole render.
            if (b % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        live.edit_path.audio_thread_gone();
        while (!stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });

    std::vector<int> script;
    PORT_WORDS undo;
    for (int k = 0; blocks.load(std::memory_order_acquire) < BLOCKS - 300 && k < 400; k++) {
        apply(live, k, undo);
        script.push_back(k);
        std::this_thread::sleep_for(std::chrono::milliseconds(k % 5));
    }
    stop.store(true);
    audio.join();
    ASSERT_GE(script.size(), 30u);
    ASSERT_EQ(landed.back(), script.size());

    GENERATOR offline;
    load(offline, patch_path);
    std::vector<float> replayed(heard.size());
    PORT_WORDS offline_undo;
    size_t next = 0;
    for (int b = 0; b < BLOCKS; b++) {
        for (; next < landed[static_cast<size_t>(b)]; next++) apply(offline, script[next], offline_undo);
        offline.render(&replayed[static_cast<size_t>(b) * BLOCK_FRAMES], BLOCK_FRAMES);
    }
    EXPECT_EQ(0, std::memcmp(heard.data(), replayed.data(), heard.size() * sizeof(float)));
    EXPECT_TRUE(live.rendered_by_blocks());
}

// Without a thread serving the patch, an edit lands at once under its lock;
// a sub-patch's edits go to the patch that steps it.
TEST_F(Edits, WithoutAudioThreadEditsApplyAtOnce) {
    GENERATOR g;
    load(g, patch_path);
    const unsigned before = g.version();
    int runs = 0;
    g.edit([&](GENERATOR& edited) {
        EXPECT_EQ(&edited, &g);
        runs++;
    });
    EXPECT_EQ(runs, 1);
    EXPECT_NE(g.version(), before);

    auto* sub = new GENERATOR();
    g.add(sub);
    GENERATOR* seen = nullptr;
    sub->edit([&](GENERATOR& edited) { seen = &edited; });
    EXPECT_EQ(seen, &g);

    // Queued without waiting: freed once applied, in order.
    std::vector<int> order;
    for (int i = 0; i < 3; i++) g.edit_later([&order, i](GENERATOR&) { order.push_back(i); });
    g.edit([](GENERATOR&) {});
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

}  // namespace
