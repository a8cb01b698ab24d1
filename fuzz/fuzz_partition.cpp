// Pattern files on arbitrary bytes: load_partition must load (clamping step
// counts) or refuse, and a loaded grid must then play without leaving it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "synth/notes.h"
#include "synth/sequencer.h"

namespace {
std::string path;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
    fill_NOTE2FREQ();
    path = "/tmp/fuzz_partition_" + std::to_string(getpid()) + ".PAR";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    // A fresh sequencer each run (82 KB: the stack holds it), so runs do not
    // depend on one another.
    SEQUENCER sequencer;
    SEQUENCER* q = &sequencer;
    if (q->load_partition(path.c_str()) == 1) {
        for (int p = 0; p < SEQ_PATTERNS; p++)
            if (q->NBR_STEP[p] < 1 || q->NBR_STEP[p] > SEQ_STEPS) std::abort();
        // A few thousand samples at whatever divider the file holds; the first
        // byte picks the pattern the panel would wish for.
        q->wished_pattern = size > 0 ? data[0] % SEQ_PATTERNS : 0;
        q->wished_divider = q->divider[0];
        for (int i = 0; i < 4000; i++) q->evolue();
    }
    std::remove(path.c_str());
    return 0;
}
