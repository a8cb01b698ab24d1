// The live path: one stream buffer (3072 frames, 69.7 ms of sound) filled by
// the render callback from a whole patch, the recorder's share of it, and the
// remote control's per-frame and per-line work.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/data_folder.h"
#include "shell/audio.h"
#include "shell/globals.h"
#include "shell/recorder.h"
#include "shell/remote.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

std::unique_ptr<GENERATOR> load(const char* path) {
    enter_data_folder();
    fill_NOTE2FREQ();
    std::vector<char> name(path, path + std::string(path).size() + 1);
    // The loader talks; the benchmark's table should not drown in it.
    std::fflush(stdout);
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    auto patch = std::make_unique<GENERATOR>(name.data());
    std::fflush(stdout);
    if (saved >= 0) dup2(saved, 1);
    if (null >= 0) close(null);
    if (saved >= 0) close(saved);
    return patch;
}

// Time to fill one stream buffer; "load" is that time over the buffer's 69.7 ms.
void fill_buffers(benchmark::State& state, const char* path) {
    auto patch = load(path);
    main_gen = patch.get();
    CALLBACK_READY = 1;
    std::vector<char> buffer(BufferSize);
    for (auto _ : state) {
        instrument_callback(nullptr, buffer.data(), BufferSize, nullptr);
        benchmark::DoNotOptimize(buffer.data());
    }
    CALLBACK_READY = 0;
    main_gen = nullptr;
    state.SetItemsProcessed(state.iterations() * (BufferSize / 4));
}
void BM_StreamBuffer_ZZZ(benchmark::State& state) { fill_buffers(state, "KSY/ZZZ.ksy"); }
void BM_StreamBuffer_brio3(benchmark::State& state) { fill_buffers(state, "KSY/brio3.ksy"); }
BENCHMARK(BM_StreamBuffer_ZZZ)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StreamBuffer_brio3)->Unit(benchmark::kMicrosecond);

// The recorder's copy on the sound thread, plus the main loop's drain.
void BM_RecorderBuffer(benchmark::State& state) {
    OUTPUT_RECORDER rec(4 * 44100, 1L << 40);
    std::vector<short> buffer(BufferSize / 2, 1234);
    long n = 0;
    for (auto _ : state) {
        OUTPUT_RECORDER::monitor(buffer.data(), BufferSize, &rec);
        rec.drain();
        if (++n % 4096 == 0) {  // keep memory flat: start a new recording now and then
            state.PauseTiming();
            rec.take();
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * BufferSize);
}
BENCHMARK(BM_RecorderBuffer)->Unit(benchmark::kMicrosecond);

// One call of the main loop's remote step with a selector key held (no prints).
void BM_ExecRemoteOrder(benchmark::State& state) {
    auto patch = load("KSY/ZZZ.ksy");
    gen = patch.get();
    PORT_A = 16;
    for (auto _ : state) benchmark::DoNotOptimize(Exec_Remote_Order());
    PORT_A = 0;
    gen = nullptr;
}
BENCHMARK(BM_ExecRemoteOrder);

// Looking for the line end in a received chunk of the longest line allowed.
void BM_LineEndSearch_100kB(benchmark::State& state) {
    std::vector<char> chunk(REMOTE_LINE_MAX, 'x');
    unsigned char half = 0;
    for (auto _ : state) benchmark::DoNotOptimize(search_enter_in_string(chunk.data(), REMOTE_LINE_MAX, half));
    state.SetBytesProcessed(state.iterations() * REMOTE_LINE_MAX);
}
BENCHMARK(BM_LineEndSearch_100kB)->Unit(benchmark::kMicrosecond);

}  // namespace
