#include "synth/sequencer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/generator.h"
#include "synth/names.h"
#include "synth/notes.h"
#include "synth/random.h"

namespace {
// Frequency of a note number; numbers outside the table give nothing (false).
inline bool note_frequency(int n, float& hz) {
    if (n < 0 || n >= NOTE2FREQ_SIZE) return false;
    hz = static_cast<float>(NOTE2FREQ[n]);
    return true;
}
}  // namespace

// ---------------------------------------------------------------- keyboard

KEYBOARD::KEYBOARD() : OUTPUT_GATE(0), OUTPUT_SYNC(0) {
    copy_name(name, "Emptynamed_KEY");
    set_note(10);
    set_octave(4);
    note = 1;
    octave = 4;
}

int KEYBOARD::evolue() {
    OUTPUT_SYNC::evolue();
    shown_gate = gate;
    float hz;
    if (note_frequency(octave * 12 + note, hz)) value = hz;
    return 1;
}

// ---------------------------------------------------------------- sequencer

SEQUENCER::SEQUENCER() : OUTPUT_GATE(0), OUTPUT_SYNC(0) {
    sync_source = nullptr;
    for (int p = 0; p < SEQ_PATTERNS; p++) {
        divider[p] = 2.0f;
        NBR_STEP[p] = 32;
    }
    for (int i = 0; i < SEQ_PATTERNS * SEQ_STEPS; i++) {
        LENGHT[i] = 1.0f;
        bypass[i] = 0;
        note[i] = 10;
        octave[i] = 3;
        volume[i] = 1.0f;
    }
    copy_name(name, "Emptynamed_SEQUENCER");
    partition_file_name[0] = '\0';
    // New pattern files are named with the shared generator: seed it from the clock.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    kel_srand(static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

int SEQUENCER::evolue() {
    int p = current_pattern;
    int s = current_step;
    // Playing wraps to pattern 0 above 31 (the grid holds 64 for the files).
    if (p < 0 || p >= SEQ_PATTERNS) p = 0;
    if (s >= NBR_STEP[p] || s >= SEQ_STEPS || s < 0) {
        if (wished_pattern != p) p = wished_pattern;
        if (p >= 0 && p < SEQ_PATTERNS && wished_divider != divider[p]) divider[p] = wished_divider;
        if (p > 31 || p < 0) p = 0;
        s = 0;
    }
    sample_counter += 1.0f;
    if (sync_source != nullptr && *sync_source != 0) {
        sample_counter = 0.0f;
        s = 0;
    }
    const int at = p * SEQ_STEPS + s;
    const float period = step_period(divider[p]);
    float x = gate_samples(LENGHT[at], divider[p]);
    if (x < 0.0625f) x = 0.0f;
    // A bypassed following step keeps the gate open (tied notes); past the
    // end of the grid there is no following step.
    const bool next_bypassed = at + 1 < SEQ_PATTERNS * SEQ_STEPS && bypass[at + 1] != 0;
    if (gate_open == 1 && sample_counter >= x - 1 && !next_bypassed) {
        gate_open = 0;
        UNTRIG();
    }
    float T = period;
    if (x > 44100.0f) T += x;
    if (sample_counter >= T) {
        sample_counter = 0.0f;
        const int n = octave[at] * 12 + note[at];
        float hz = 0.0f;
        if (n == 0 || !note_frequency(n, hz)) {
            value = 0.0f;  // a rest
        } else {
            gate_open = 1;
            if (volume[at] == 1.0f) {
                if (running == 0) {
                    value = 0.0f;
                } else if (bypass[at] == 0) {
                    TRIG();
                    value = hz;
                }
            }
        }
        s++;
    }
    current_pattern = p;
    current_step = s;
    return 1;
}

// The same tests as evolue() for the step as it stands, the counter counted
// exactly as evolue() counts it; stops before the first sample that would act.
int SEQUENCER::steady_steps(int n, const float* sync) {
    if (sync_source != nullptr) {
        if (sync == nullptr) return 0;
        // The stretch ends before the first pulse (a zero word is no pulse).
        int quiet = 0;
        while (quiet < n) {
            int word;
            std::memcpy(&word, &sync[quiet], sizeof word);
            if (word != 0) break;
            quiet++;
        }
        n = quiet;
    }
    const int p = current_pattern, s = current_step;
    if (p < 0 || p >= SEQ_PATTERNS || s >= NBR_STEP[p] || s >= SEQ_STEPS || s < 0) return 0;
    const int at = p * SEQ_STEPS + s;
    const float period = step_period(divider[p]);
    float x = gate_samples(LENGHT[at], divider[p]);
    if (x < 0.0625f) x = 0.0f;
    const bool next_bypassed = at + 1 < SEQ_PATTERNS * SEQ_STEPS && bypass[at + 1] != 0;
    const bool closing = gate_open == 1 && !next_bypassed;
    float T = period;
    if (x > 44100.0f) T += x;
    float counter = sample_counter;
    if (counter >= 0.0f && counter == std::floor(counter) && counter + static_cast<float>(n) < 16777216.0f) {
        // The counter is a whole number and stays one: every counter + j is
        // exact, so the first j that would act is found by arithmetic, each
        // comparison made on the same values as the loop below (NaN never acts).
        const float x1 = x - 1;
        double k = n;
        const double t_at = std::ceil(static_cast<double>(T) - counter);
        if (t_at - 1 < k) k = t_at - 1;
        if (closing) {
            const double x_at = std::ceil(static_cast<double>(x1) - counter);
            if (x_at - 1 < k) k = x_at - 1;
        }
        const int steps = k > 0 ? static_cast<int>(k) : 0;
        sample_counter = counter + static_cast<float>(steps);
        return steps;
    }
    int k = 0;
    for (; k < n; k++) {
        const float next = counter + 1.0f;
        if (next >= T || (closing && next >= x - 1)) break;
        counter = next;
    }
    sample_counter = counter;
    return k;
}

// ---------------------------------------------------------------- pattern files

namespace {

constexpr int GRID = SEQ_PATTERNS * SEQ_STEPS;

// A pattern file holds the grid's words little-endian: on a little-endian
// host (x86-64, which the program is built for) that is their memory image,
// copied whole rather than byte by byte (the fuzzing build traces every test
// a loop makes, and a grid is 20,608 words).
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pattern files hold little-endian words");
static_assert(sizeof(int) == 4 && sizeof(float) == 4, "pattern files hold 4-byte words");

template <typename T>
void put_words(unsigned char*& at, const T* v, int n) {
    std::memcpy(at, v, 4 * static_cast<std::size_t>(n));
    at += 4 * n;
}
// The grid's own words are read one whole word at a time: the audio thread
// may write a divider meanwhile.
template <typename T>
void put_words(unsigned char*& at, const SHARED<T>* v, int n) {
    for (int i = 0; i < n; i++, at += 4) {
        const T w = v[i];
        std::memcpy(at, &w, 4);
    }
}
template <typename T>
void get_words(const unsigned char*& at, T* v, int n) {
    std::memcpy(v, at, 4 * static_cast<std::size_t>(n));
    at += 4 * n;
}

// The grid in file order, as one block of PARTITION_FILE_BYTES.
struct GridImage {
    float divider[SEQ_PATTERNS];
    int steps[SEQ_PATTERNS];
    float length[GRID];
    int bypass[GRID];
    int note[GRID];
    int octave[GRID];
    float volume[GRID];
};

// The grid as the bytes of a pattern file.
std::vector<unsigned char> encode_grid(const SEQUENCER& q) {
    std::vector<unsigned char> bytes(PARTITION_FILE_BYTES);
    unsigned char* at = bytes.data();
    put_words(at, q.divider, SEQ_PATTERNS);
    put_words(at, q.NBR_STEP, SEQ_PATTERNS);
    put_words(at, q.LENGHT, GRID);
    put_words(at, q.bypass, GRID);
    put_words(at, q.note, GRID);
    put_words(at, q.octave, GRID);
    put_words(at, q.volume, GRID);
    return bytes;
}

}  // namespace

// The reader refuses a step whose note number lies outside the note table and
// clamps a step count outside 1..64; the sequencer plays such a step as a rest
// and such a count as the nearest in range. The file gets exactly that, so a
// saved patch reloads as it played.
std::vector<unsigned char> SEQUENCER::partition_bytes() const {
    std::vector<unsigned char> bytes = encode_grid(*this);
    int steps[SEQ_PATTERNS];
    for (int p = 0; p < SEQ_PATTERNS; p++) steps[p] = std::clamp(NBR_STEP[p].load(), 1, SEQ_STEPS);
    unsigned char* at = bytes.data() + 4 * SEQ_PATTERNS;
    put_words(at, steps, SEQ_PATTERNS);
    unsigned char* const notes = bytes.data() + 4 * (2 * SEQ_PATTERNS + 2 * GRID);
    unsigned char* const octaves = notes + 4 * GRID;
    for (int i = 0; i < GRID; i++) {
        const long long n = static_cast<long long>(octave[i]) * 12 + note[i];
        if (n >= 0 && n < NOTE2FREQ_SIZE) continue;
        std::memset(notes + 4 * i, 0, 4);  // a rest: note 0 of octave 0
        std::memset(octaves + 4 * i, 0, 4);
    }
    return bytes;
}

int SEQUENCER::save_partition(const char* path) {
    const std::vector<unsigned char> bytes = partition_bytes();
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool closed = std::fclose(f) == 0;
    if (written != bytes.size() || !closed) {
        std::printf("Cannot write the pattern file [%s]\n", path);
        return 0;
    }
    copy_name(partition_file_name, path);
    partition_signature = grid_signature();
    return 1;
}

int SEQUENCER::load_partition(const char* path, GENERATOR* playing) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return 0;
    std::printf("Partitions Loading [%s]\n", path);
    // Not zeroed: only the bytes read are used.
    const std::unique_ptr<unsigned char[]> file(new unsigned char[PARTITION_FILE_BYTES]);
    const std::size_t got = std::fread(file.get(), 1, PARTITION_FILE_BYTES, f);
    std::fclose(f);
    return load_partition_bytes(file.get(), got, path, playing);
}

int SEQUENCER::load_partition_bytes(const unsigned char* data, std::size_t size, const char* path,
                                    GENERATOR* playing) {
    // A short file is read as far as it goes: the rest keeps the current grid.
    std::vector<unsigned char> bytes;
    if (size < static_cast<std::size_t>(PARTITION_FILE_BYTES)) {
        bytes = encode_grid(*this);
        if (size > 0) std::memcpy(bytes.data(), data, size);
    }

    // Default-initialised (not zeroed): every word is read into it below.
    const std::unique_ptr<GridImage> image(new GridImage);
    const unsigned char* at = bytes.empty() ? data : bytes.data();
    get_words(at, image->divider, SEQ_PATTERNS);
    get_words(at, image->steps, SEQ_PATTERNS);
    get_words(at, image->length, GRID);
    get_words(at, image->bypass, GRID);
    get_words(at, image->note, GRID);
    get_words(at, image->octave, GRID);
    get_words(at, image->volume, GRID);

    for (int i = 0; i < GRID; i++) {
        const long long n = static_cast<long long>(image->octave[i]) * 12 + image->note[i];
        if (n < 0 || n >= NOTE2FREQ_SIZE) {
            std::printf("Pattern file [%s]: pattern %d step %d has note number %lld, beyond the note table; file not loaded\n",
                        path, i / SEQ_STEPS, i % SEQ_STEPS, n);
            return 0;
        }
    }
    for (int p = 0; p < SEQ_PATTERNS; p++) {
        int& steps = image->steps[p];
        if (steps < 1 || steps > SEQ_STEPS) {
            const int clamped = steps < 1 ? 1 : SEQ_STEPS;
            std::printf("Pattern file [%s]: pattern %d has %d steps, using %d\n", path, p, steps, clamped);
            steps = clamped;
        }
    }
    auto take = [&] {
        std::memcpy(static_cast<void*>(divider), image->divider, sizeof divider);
        std::memcpy(static_cast<void*>(NBR_STEP), image->steps, sizeof NBR_STEP);
        std::memcpy(static_cast<void*>(LENGHT), image->length, sizeof LENGHT);
        std::memcpy(static_cast<void*>(bypass), image->bypass, sizeof bypass);
        std::memcpy(static_cast<void*>(note), image->note, sizeof note);
        std::memcpy(static_cast<void*>(octave), image->octave, sizeof octave);
        std::memcpy(static_cast<void*>(volume), image->volume, sizeof volume);
        copy_name(partition_file_name, path);
    };
    // A playing sequencer takes its whole new grid between two blocks, never
    // half of it while it reads.
    if (playing != nullptr)
        playing->edit([&](GENERATOR&) { take(); });
    else
        take();
    partition_signature = grid_signature();
    return 1;
}

namespace {
// FNV-1a over the bytes of each array, in the order of the pattern file.
constexpr std::uint64_t FNV_OFFSET = 14695981039346656037ull, FNV_PRIME = 1099511628211ull;

// Each word is read whole (the audio thread may write it meanwhile), then
// digested byte by byte as it lies in memory.
template <class T, std::size_t N>
void digest(std::uint64_t& h, const SHARED<T> (&words)[N]) {
    for (const SHARED<T>& w : words) {
        const T v = w;
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (unsigned char b : bytes) h = (h ^ b) * FNV_PRIME;
    }
}
}  // namespace

std::uint64_t SEQUENCER::grid_signature() const {
    std::uint64_t h = FNV_OFFSET;
    digest(h, divider);
    digest(h, NBR_STEP);
    digest(h, LENGHT);
    digest(h, bypass);
    digest(h, note);
    digest(h, octave);
    digest(h, volume);
    return h;
}
