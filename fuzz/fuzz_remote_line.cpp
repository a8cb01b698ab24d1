// Remote line reader and commands: the input is a run of chunks as they could
// arrive from a socket. A length byte below 0xF0 is followed by that many bytes;
// from 0xF0 on it stands for (byte - 0xEF) x 20,000 copies of the next byte, so
// over-long lines are reached too. Every completed line is applied, then
// Exec_Remote_Order runs a few times on a small patch with the control word it
// set. A line never passes REMOTE_LINE_MAX, the split-line flag is clear after
// a completed line, and the oscillators' FREQ stays within 0 ... 22050 Hz.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/globals.h"
#include "shell/remote.h"
#include "synth/generator.h"

namespace {

/// Calls of Exec_Remote_Order after each line: enough for every repeat delay (12) to fire twice.
constexpr int CALLS_PER_LINE = 30;
/// Length bytes from here on stand for runs of one byte, in units of RUN_UNIT bytes.
constexpr uint8_t RUN_CODE = 0xF0;
constexpr size_t RUN_UNIT = 20000;

bool audible(const GENERATOR& g) {
    for (const VCO* o : g.vcos)
        if (!(o->FREQ >= 0.0f && o->FREQ <= 22050.0f)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;  // the orders and F1..F4 traces
    (void)quiet;

    GENERATOR patch;
    patch.add(new VCO(0.5f, 440.0f, 1));
    patch.add(new VCO(0.5f, 22000.0f, 3));
    patch.add(new VCA());
    patch.add(new SEQUENCER());
    patch.add(new PCF());
    gen = &patch;
    remote_state_reset();

    unsigned char half = 0;
    RemoteLine line;
    std::string run;
    size_t at = 0;
    while (at < size) {
        const uint8_t code = data[at];
        const char* chunk = reinterpret_cast<const char*>(data) + at + 1;
        size_t n;
        if (code >= RUN_CODE) {
            if (at + 1 >= size) break;
            run.assign(static_cast<size_t>(code - RUN_CODE + 1) * RUN_UNIT, *chunk);
            chunk = run.data();
            n = run.size();
            at += 2;
        } else {
            n = std::min<size_t>(code, size - at - 1);
            at += 1 + n;
        }
        if (n == 0) continue;
        const RemoteLine::Status status = line.feed(chunk, static_cast<int>(n), half);
        if (line.text.size() > static_cast<size_t>(REMOTE_LINE_MAX) || half > 1) __builtin_trap();
        if (status == RemoteLine::MORE) continue;
        if (status == RemoteLine::COMPLETE) {
            if (half != 0) __builtin_trap();  // a later chunk starting with LF would end a line at once
            char* text = line.copy();
            const int result = remote_apply_line(text);
            std::free(text);
            if (result != 0 && result != 1) __builtin_trap();
            for (int i = 0; i < CALLS_PER_LINE; i++) {
                Exec_Remote_Order();
                if (!audible(patch)) __builtin_trap();
            }
        }
        if (status == RemoteLine::TOO_LONG) half = 0;  // the connection ends; a new one starts clear
        line = RemoteLine();
    }
    gen = nullptr;
    return 0;
}
