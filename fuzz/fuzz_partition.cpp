// Pattern files on arbitrary bytes, read from memory: the reader must load
// (clamping step counts) or refuse, a loaded grid must then play without
// leaving it, and what the writer makes of it must load again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "synth/notes.h"
#include "synth/sequencer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
    fill_NOTE2FREQ();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A fresh sequencer each run (82 KB: the stack holds it), so runs do not
    // depend on one another.
    SEQUENCER sequencer;
    SEQUENCER* q = &sequencer;
    if (q->load_partition_bytes(data, size, "fuzz.PAR") == 1) {
        for (int p = 0; p < SEQ_PATTERNS; p++)
            if (q->NBR_STEP[p] < 1 || q->NBR_STEP[p] > SEQ_STEPS) std::abort();
        // A few thousand samples at whatever divider the file holds; the first
        // byte picks the pattern the panel would wish for.
        q->wished_pattern = size > 0 ? data[0] % SEQ_PATTERNS : 0;
        q->wished_divider = q->divider[0];
        for (int i = 0; i < 4000; i++) q->evolue();
        const std::vector<unsigned char> file = q->partition_bytes();
        SEQUENCER again;
        if (again.load_partition_bytes(file.data(), file.size(), "saved.PAR") != 1) std::abort();
    }
    return 0;
}
