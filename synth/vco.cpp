#include "synth/vco.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "synth/fast_sin.h"
#include "synth/names.h"
#include "synth/random.h"
#include "synth/signal.h"

// ---------------------------------------------------------------- chaos sources

float BLorenzOsc::Iterate() {
    dx = (y - x) * a;
    dy = x * (b - z) - y;
    dz = x * y - z * c;
    x = x + step * dx;
    y = y + step * dy;
    z = z + step * dz;
    return x * LORENZ_SCALE;
}

float BRosslerOsc::Iterate() {
    dx = -y - z;
    dy = x + a * y;
    dz = b + z * (x - c);
    x = x + step * dx;
    y = y + step * dy;
    z = z + step * dz;
    return x * ROSSLER_SCALE;
}

// ---------------------------------------------------------------- oscillator

VCO::VCO(float amount, float freq, type_generateur type)
    : AMOUNT(amount), FREQ(freq), TYPE(type) {
    source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
    copy_name(name, "Emptynamed_VCO");
    // The list documents the inputs a patch may link; it ends up newest first.
    add_input("INPUT_INL", nullptr);
    add_input("INPUT_IN_GATE", nullptr);
    add_input("INPUT_MOD_PHASE", nullptr);
    add_input("INPUT_MOD_FREQ", nullptr);
    add_input("INPUT_MOD_AMP", nullptr);
    add_input("INPUT_MOD_PWM", nullptr);
    add_input("INPUT_ALT_PHASE", nullptr);
    add_input("INPUT_ALT_FREQ", nullptr);
    add_input("INPUT_ALT_AMP", nullptr);
    add_input("INPUT_ALT_PWM", nullptr);
    lorenz.SetFreq(220.0f);
    rossler.SetFreq(220.0f);
    period_out_ = std::make_unique<float[]>(2 * PERIOD_CAPACITY);
}

namespace {

// Stepped white noise: a new level once per cycle, spread over -1..1 when A is 1.
float white_noise(float A, bool new_cycle, float& hold) {
    if (A == 0.0f) return 0.0f;
    if (new_cycle) hold = static_cast<float>(kel_rand() / (A * 2147483648.0 + 1.0));
    float h = hold;
    float scaled = (h * 10923 + h * 10923 + h * 10923) * 2 - 32766;
    return static_cast<float>(scaled * 3.0518509e-05);
}

// Random-sign noise: a new magnitude once per cycle, a coin toss for the sign
// at every sample. Divided by 32676 (not 32767): full scale is clipped.
float kel_noise(float A, bool new_cycle, float& hold) {
    if (A == 0.0f) return 0.0f;
    if (new_cycle) {
        double span = static_cast<double>(A) * 32767.0 + 1.0;
        // Below 1 (tiny or negative amplitude) the modulo would be undefined.
        int n = span >= 1.0 ? static_cast<int>(span) : 1;
        hold = static_cast<float>(kel_rand() % n);
    }
    if (kel_rand() % 2 == 1) hold = -hold;
    return static_cast<float>(hold / 32676.0);
}

}  // namespace

[[gnu::always_inline]] inline VCO::Step VCO::advance() {
    // Stepped the general way (the increment may follow another F): the kept
    // period is dropped, and found again after the next reset.
    period_pos_ = -1;
    period_filled_ = 0;
    period_length_ = 0;
    if (sync_source != nullptr && *sync_source != 0) cycle = 0.0f;

    Step s;
    s.A = linked(ALT_AMP) ? read(ALT_AMP) : AMOUNT.load();
    float F = linked(ALT_FREQ) ? read(ALT_FREQ) : FREQ.load();
    s.P = linked(ALT_PHASE) ? read(ALT_PHASE) : PHASE.load();
    s.W = linked(ALT_PWM) ? read(ALT_PWM) : PWM.load();

    if (source != nullptr) {
        F = linked(ALT_FREQ) ? static_cast<float>(read(ALT_FREQ) / 44.0) : driven(*source, FREQ);
        driven_frequency = F;
    }

    if (linked(MOD_AMP)) s.A = s.A + s.A * read(MOD_AMP);
    if (linked(MOD_FREQ)) F = F + F * read(MOD_FREQ);
    if (linked(MOD_PHASE)) s.P = s.P + s.P * read(MOD_PHASE);
    if (linked(MOD_PWM)) s.W = s.W + s.W * read(MOD_PWM);
    if (s.A > 1.0f) s.A = 1.0f;
    s.F = F;

    s.new_cycle = advance_cycle(F);
    return s;
}

// After its first reset a free-running sine repeats exactly: the cycle
// restarts at exactly -1 and takes the same float steps, so while amplitude,
// phase and frequency keep their bits, the output `pos` samples after a reset
// is the same in every period. One period of outputs is kept and played back.
[[gnu::always_inline]] inline bool VCO::step_free_sine(double* x, double* amplitude, float** slot) {
    float A = AMOUNT;
    if (A > 1.0f) A = 1.0f;
    const float P = PHASE;
    const float F = FREQ;
    std::uint32_t a_bits, p_bits, f_bits;
    std::memcpy(&a_bits, &A, 4);
    std::memcpy(&p_bits, &P, 4);
    std::memcpy(&f_bits, &F, 4);
    std::uint32_t c_bits, kept_c_bits;
    std::memcpy(&c_bits, &cycle, 4);
    std::memcpy(&kept_c_bits, &period_cycle_, 4);
    if ((a_bits ^ period_key_[0]) | (p_bits ^ period_key_[1]) | (f_bits ^ increment_for_)) {
        period_key_[0] = a_bits;
        period_key_[1] = p_bits;
        period_filled_ = 0;
        period_length_ = 0;
        period_pos_ = -1;
    } else if (c_bits != kept_c_bits) {
        period_pos_ = -1;  // the cycle was set from outside: find the period again
    }
    const bool reset = advance_cycle(F);
    period_cycle_ = cycle;
    if (reset) {
        // A reset ends a period followed from its start: its length is known.
        if (period_pos_ >= 0 && period_pos_ < PERIOD_CAPACITY) period_length_ = period_pos_ + 1;
        period_pos_ = 0;
    } else if (period_pos_ >= 0 && period_pos_ < PERIOD_CAPACITY)
        period_pos_++;
    if (period_pos_ >= 0 && period_pos_ < period_filled_) {
        value = period_out_[period_pos_];
        return true;
    }
    *x = 6.283185307179586 * cycle + P;
    *amplitude = A;
    *slot = nullptr;
    if (period_pos_ == period_filled_ && period_pos_ < PERIOD_CAPACITY) {
        period_out_[PERIOD_CAPACITY + period_filled_] = cycle;
        *slot = &period_out_[period_filled_++];
    }
    return false;
}

namespace {

std::uint32_t bits_of(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// 2^e as a double, for e in the normal range.
double power_of_two(int e) {
    const std::uint64_t b = static_cast<std::uint64_t>(e + 1023) << 52;
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

// What a step adds to N on a binade of float step u (1 / inv_u): inc / u rounded
// to 2^-29 (the double sum), then to an integer (the float). NaN, which ends a
// run, when the step must be taken the plain way: a tie of the second rounding,
// or an increment too large (or NaN) for the first.
inline double integer_step(double inc, double inv_u) {
    const double r = inc * inv_u;  // exact: a power of two
    const double fine = (r + 0x1.8p23) - 0x1.8p23;
    const double q = (fine + 0x1.8p52) - 0x1.8p52;
    // Both tests always made (no branch), so that the steps of a block vectorise.
    const bool exact = (std::fabs(r) < 0x1p22) & (std::fabs(fine - q) != 0.5);
    return exact ? q : std::numeric_limits<double>::quiet_NaN();
}

// A run of steps of q from N while N stays strictly within (lo, hi): the cycles
// are N + j q, each exact. Returns the steps taken (at most n).
inline __attribute__((always_inline)) int constant_steps(double N, double q, double lo, double hi, double u, float* cyc,
                                                         int n) {
    if (q != q) return 0;
    auto inside = [&](int j) {
        const double v = N + j * q;
        return v > lo && v < hi;
    };
    int m = n;
    if (!inside(m)) {
        // N + j q is monotonic in j: the last j inside, from an estimate.
        const double estimate = q != 0 ? ((q > 0 ? hi : lo) - N) / q : 0.0;
        m = !(estimate > 0) ? 0 : estimate > n ? n : static_cast<int>(estimate);
        while (m > 0 && !inside(m)) m--;
        while (m < n && inside(m + 1)) m++;
    }
    for (int j = 1; j <= m; j++) cyc[j - 1] = static_cast<float>((N + j * q) * u);
    return m;
}

// The same with an increment per sample (and sync pulses, which end a run): the
// steps of eight samples are computed side by side, then summed in order.
int varying_steps(double N, const double* inc, int stride, const float* sync, double inv_u, double lo, double hi,
                  double u, float* cyc, int n) {
    int t = 0;
    while (t < n) {
        const int count = n - t < 8 ? n - t : 8;
        double q[8];
        for (int k = 0; k < count; k++) q[k] = integer_step(inc[(t + k) * stride], inv_u);
        if (sync != nullptr)
            for (int k = 0; k < count; k++)
                if (bits_of(sync[t + k]) != 0) q[k] = std::numeric_limits<double>::quiet_NaN();
        for (int k = 0; k < count; k++) {
            const double moved = N + q[k];
            if (!(moved > lo && moved < hi)) return t + k;
            N = moved;
            cyc[t + k] = static_cast<float>(N * u);
        }
        t += count;
    }
    return t;
}

// The cycle's float steps over a block, exactly as advance_cycle takes them:
// c = float(c + inc[t * stride]) (in double, then rounded), -1 past 1, after a
// non-zero sync[t] has zeroed it. Each cycle goes to cyc[t]. With
// stop_before_reset, stops before a step that would reset; returns the steps done.
//
// The recurrence is sequential, and each step rounds twice, so it is taken
// apart: while c stays within one binade of |c| < 1 (magnitudes [2^k, 2^(k+1)),
// where the floats are the multiples N u of u = 2^(k-23) and the doubles those
// of u 2^-29), c + inc rounds to the double c + u r', r' being inc / u rounded
// to 2^-29 (c itself is on that grid and even there), and then to the float
// c + u round(r'). So N advances by an integer computed from inc alone, and
// the chain is one exact addition. A step whose result would leave the binade
// (or touch its ends), or whose r' ends in exactly one half (the float rounding
// would then depend on N's parity), is taken the plain way, as are the steps
// from 0, from tiny magnitudes and from |c| >= 1.
inline __attribute__((always_inline)) int advance_cycles(float& c, const double* inc, int stride, const float* sync,
                                                         float* cyc, int n, bool stop_before_reset) {
    int t = 0;
    while (t < n) {
        if (sync != nullptr && bits_of(sync[t]) != 0) c = 0.0f;
        float next = static_cast<float>(c + inc[t * stride]);
        if (next > 1.0f) {
            if (stop_before_reset) return t;
            next = -1.0f;
        }
        c = next;
        cyc[t++] = c;
        const int e = static_cast<int>((bits_of(c) >> 23) & 0xff);  // |c| in [2^(e-127), 2^(e-126))
        if (e < 27 || e >= 127) continue;                             // below 2^-100 (or 0), or 1 and more
        const double u = power_of_two(e - 150), inv_u = power_of_two(150 - e);
        const double N = c * inv_u;  // an integer, |N| in [2^23, 2^24)
        const double lo = N > 0 ? 0x1p23 : -0x1p24, hi = N > 0 ? 0x1p24 : -0x1p23;
        if (stride == 0 && sync == nullptr)
            t += constant_steps(N, integer_step(inc[0], inv_u), lo, hi, u, cyc + t, n - t);
        else
            t += varying_steps(N, inc + t * stride, stride, sync != nullptr ? sync + t : nullptr, inv_u, lo, hi, u,
                               cyc + t, n - t);
        c = cyc[t - 1];
    }
    return t;
}

}  // namespace

[[gnu::always_inline]] inline void VCO::free_sine_body(float* out, int n) {
    int t = 0;
    constexpr int MOST = 256;
    double waiting_arg[MOST], waiting_amp[MOST];
    int waiting_at[MOST];
    int waiting = 0;
    if (n > MOST) {
        free_sine_block(out, MOST);
        free_sine_block(out + MOST, n - MOST);
        return;
    }
    while (t < n) {
        float A = AMOUNT;
        if (A > 1.0f) A = 1.0f;
        const float P = PHASE;
        const float F = FREQ;
        std::uint32_t key[3], c_bits, kept_c_bits;
        std::memcpy(&key[0], &A, 4);
        std::memcpy(&key[1], &P, 4);
        std::memcpy(&key[2], &F, 4);
        std::memcpy(&c_bits, &cycle, 4);
        std::memcpy(&kept_c_bits, &period_cycle_, 4);
        const bool whole_period = key[0] == period_key_[0] && key[1] == period_key_[1] &&
                                  key[2] == increment_for_ && c_bits == kept_c_bits && period_pos_ >= 0 &&
                                  period_length_ > 0 && period_filled_ >= period_length_;
        if (whole_period) {
            // Every sample of the period is known, and the cycle each one leaves.
            // Copied a run at a time: up to the period's end, then from its start.
            int pos = period_pos_ + 1;
            const float* kept = period_out_.get();
            while (t < n) {
                if (pos == period_length_) pos = 0;
                const int run = std::min(n - t, period_length_ - pos);
                std::memcpy(out + t, kept + pos, sizeof(float) * static_cast<size_t>(run));
                t += run;
                pos += run;
            }
            pos--;
            period_pos_ = pos;
            cycle = period_cycle_ = kept[PERIOD_CAPACITY + pos];
            break;
        }
        if (key[0] == period_key_[0] && key[1] == period_key_[1] && key[2] == increment_for_ &&
            c_bits == kept_c_bits && (period_pos_ < 0 || period_pos_ >= PERIOD_CAPACITY)) {
            // Until the next reset nothing is kept or played back (the period is
            // not known yet, or this one runs past what is kept): the cycles up
            // to the reset, then their sines with the others of the block.
            float cyc[MOST];
            float c = cycle;
            const int run = advance_cycles(c, &increment_, 0, nullptr, cyc, n - t, true);
            // Three loops of one store each: each vectorises.
            for (int k = 0; k < run; k++) waiting_arg[waiting + k] = 6.283185307179586 * cyc[k] + P;
            for (int k = 0; k < run; k++) waiting_amp[waiting + k] = A;
            for (int k = 0; k < run; k++) waiting_at[waiting + k] = t + k;
            waiting += run;
            if (run > 0) {
                cycle = period_cycle_ = c;
                t += run;
                continue;
            }
        }
        // Still learning the period (or it is too long to keep): one sample the
        // general way. A sine the period does not keep is computed with the
        // others of the block; one it keeps at once, as a later sample of this
        // block may play it back.
        double arg, amp;
        float* slot;
        if (!step_free_sine(&arg, &amp, &slot)) {
            if (slot != nullptr) {
                value = clip_unit(static_cast<float>(amp * kel_sin(arg)));
                *slot = value;
            } else {
                waiting_arg[waiting] = arg;
                waiting_amp[waiting] = amp;
                waiting_at[waiting++] = t;
            }
        }
        out[t++] = value;
    }
    if (waiting == n) {
        // Every sample waited (the usual case of a long period): in order, no scatter.
        kel_sin_n(waiting_arg, waiting_arg, n);
        for (int k = 0; k < n; k++) out[k] = clip_unit(static_cast<float>(waiting_amp[k] * waiting_arg[k]));
    } else if (waiting != 0) {
        kel_sin_n(waiting_arg, waiting_arg, waiting);
        for (int k = 0; k < waiting; k++)
            out[waiting_at[k]] = clip_unit(static_cast<float>(waiting_amp[k] * waiting_arg[k]));
    }
    value = out[n - 1];
}

namespace {
const bool kWide = kel_has_avx512();
}  // namespace

void VCO::free_sine_block(float* out, int n) {
    if (kWide)
        free_sine_avx512(out, n);
    else
        free_sine_plain(out, n);
}

// The same operations either way (no contraction), so the same bits.
__attribute__((target(KEL_AVX512_TARGET))) void VCO::free_sine_avx512(float* out, int n) {
    free_sine_body(out, n);
}

void VCO::free_sine_plain(float* out, int n) { free_sine_body(out, n); }

[[gnu::always_inline]] inline float VCO::shape(const Step& s) {
    const float A = s.A;
    const float c = cycle;
    switch (TYPE) {
    case SIN: return static_cast<float>(A * kel_sin(sine_argument(s)));
    case TRI: {
        float t = 2 * A * std::fabs(c);
        return 2 * (t - A);
    }
    case SAW: return A * c;
    // The square is the pulse at width 0: high for the first half of the cycle.
    case SQR: return (0.0f >= c + s.P) ? A : -A;
    case PULSE: return (s.W >= c + s.P) ? A : -A;
    case NOISE_WHITE: return white_noise(A, s.new_cycle, random_hold);
    case NOISE_ROSSLER:
        if (s.new_cycle) rossler.SetFreq(s.F);
        return A * rossler.Iterate();
    case NOISE_LORENZ:
        if (s.new_cycle) lorenz.SetFreq(s.F);
        return A * lorenz.Iterate();
    case NOISE_KEL: return kel_noise(A, s.new_cycle, signed_hold);
    default: return 0.0f;
    }
}

int VCO::evolue() {
    if (POWER == 0) {
        value = 0.0f;
        return 1;
    }
    const Step s = advance();
    value = clip_unit(shape(s));
    return 1;
}

// ---------------------------------------------------------------- stepping a list

namespace {

// Sines waiting to be computed together: their arguments, amplitudes and owners.
struct SineBatch {
    static constexpr int CAPACITY = 16;
    static constexpr int SLOTS = 64;  // a small hash set of the waiting outputs
    double x[CAPACITY];
    double amplitude[CAPACITY];
    VCO* owner[CAPACITY];
    float* keep[CAPACITY];  // where a free-running sine's period wants the output, or null
    const float* waiting[SLOTS] = {};
    int count = 0;

    static int slot(const float* p) { return static_cast<int>((reinterpret_cast<std::uintptr_t>(p) >> 6) % SLOTS); }

    void flush() {
        if (count == 0) return;
        if (count <= 2) {
            // A sine or two: one at a time is shorter than a vector (same bits either way).
            for (int i = 0; i < count; i++) x[i] = kel_sin(x[i]);
        } else {
            // Whole vectors only: the padding lanes cost less than a ragged end.
            const int lanes = (count + 3) & ~3;
            for (int i = count; i < lanes; i++) x[i] = 0.0;
            kel_sin_n(x, x, lanes);
        }
        for (int i = 0; i < count; i++) {
            const float out = clip_unit(static_cast<float>(amplitude[i] * x[i]));
            owner[i]->value = out;
            if (keep[i] != nullptr) *keep[i] = out;
            waiting[slot(&owner[i]->value)] = nullptr;
        }
        count = 0;
    }
    // Queues v's sine: its argument, amplitude and where its period keeps the output.
    void add(VCO& v, double arg, double amp, float* kept) {
        const int s = slot(&v.value);
        if (waiting[s] != nullptr && waiting[s] != &v.value) flush();  // two outputs, one slot: rare
        waiting[s] = &v.value;
        x[count] = arg;
        amplitude[count] = amp;
        keep[count] = kept;
        owner[count] = &v;
        if (++count == CAPACITY) flush();
    }
    // True when p is the output of a waiting oscillator (one stepped earlier in
    // this sample, whose new value the reader must see).
    bool holds(const float* p) const { return waiting[slot(p)] == p; }
    bool holds(const INPUT* in) const { return in != nullptr && in->source != nullptr && holds(in->source); }
};

// Whether v reads the output of a waiting oscillator through any of its inputs.
bool reads_waiting(const VCO& v, const SineBatch& b) {
    return (v.source != nullptr && b.holds(v.source)) || b.holds(v.MOD_PHASE) || b.holds(v.MOD_FREQ) ||
           b.holds(v.MOD_AMP) || b.holds(v.MOD_PWM) || b.holds(v.ALT_PHASE) || b.holds(v.ALT_FREQ) ||
           b.holds(v.ALT_AMP) || b.holds(v.ALT_PWM);
}

// From this many oscillators on, a list no longer stays in the first-level
// cache from one sample to the next: the step asks for the next ones ahead.
constexpr int PREFETCHED_LIST = 16;
// Below this many oscillators a list is stepped one by one (see step_short_list).
constexpr int SHORT_LIST = 8;

// A short list gains nothing from waiting sines: each is computed at once.
void step_short_list(VCO* const* list, int n) {
    for (int i = 0; i < n; i++) {
        VCO& v = *list[i];
        if (v.POWER == 0 || v.TYPE != SIN || !v.unlinked()) {
            v.VCO::evolue();
            continue;
        }
        double arg, amp;
        float* kept;
        if (v.step_free_sine(&arg, &amp, &kept)) continue;
        v.value = clip_unit(static_cast<float>(amp * kel_sin(arg)));
        if (kept != nullptr) *kept = v.value;
    }
}

}  // namespace

void step_vco_list(VCO* const* list, int n) {
    if (n < SHORT_LIST) {
        step_short_list(list, n);
        return;
    }
    // One batch per thread, kept between calls: it is always left empty, and
    // clearing its hash set at every call would cost more than its use.
    static thread_local SineBatch batch;
    for (int i = 0; i < n; i++) {
        VCO& v = *list[i];
        if (n >= PREFETCHED_LIST) {
            if (i + 6 < n) list[i + 6]->prefetch();
            if (i + 2 < n) list[i + 2]->prefetch_period();
        }
        if (v.POWER == 0) {
            v.value = 0.0f;
            continue;
        }
        const bool sine = v.TYPE == SIN;
        if (sine && v.unlinked()) {
            // Nothing to read but its own parameters: the common free-running sine.
            double arg, amp;
            float* kept;
            if (!v.step_free_sine(&arg, &amp, &kept)) batch.add(v, arg, amp, kept);
            continue;
        }
        if (!sine) {
            // The other waveforms cost little: the waiting sines are computed
            // first instead of searched for what this one reads.
            batch.flush();
            const VCO::Step s = v.advance();
            v.value = clip_unit(v.shape(s));
            continue;
        }
        if (batch.count != 0 && reads_waiting(v, batch)) batch.flush();
        const VCO::Step s = v.advance();
        batch.add(v, v.sine_argument(s), s.A, nullptr);
    }
    batch.flush();
}

namespace {

// One waveform over a block: the cycle's float steps, and the shape's
// expression exactly as VCO::shape has it (clipped after).
template <class Shape>
inline float run_wave(float cycle, double increment, float* out, int n, Shape shape) {
    float c = cycle;
    for (int t = 0; t < n; t++) {
        float next = static_cast<float>(c + increment);
        if (next > 1.0f) next = -1.0f;
        c = next;
        out[t] = clip_unit(shape(c, c == -1.0f));
    }
    return c;
}

}  // namespace

void VCO::free_block(float* out, int n) {
    if (TYPE == SIN) {
        free_sine_block(out, n);
        return;
    }
    // What advance() gives an oscillator with no input linked, read once a block.
    period_pos_ = -1;
    period_filled_ = 0;
    period_length_ = 0;
    float A = AMOUNT;
    if (A > 1.0f) A = 1.0f;
    const float F = FREQ;
    const float P = PHASE;
    const float W = PWM;
    std::uint32_t bits;
    std::memcpy(&bits, &F, sizeof bits);
    if (bits != increment_for_) {
        increment_for_ = bits;
        increment_ = F / 44100.0;
    }
    const double inc = increment_;
    switch (TYPE) {
    case TRI:
        cycle = run_wave(cycle, inc, out, n, [A](float c, bool) {
            float t = 2 * A * std::fabs(c);
            return 2 * (t - A);
        });
        break;
    case SAW: cycle = run_wave(cycle, inc, out, n, [A](float c, bool) { return A * c; }); break;
    case SQR: cycle = run_wave(cycle, inc, out, n, [A, P](float c, bool) { return (0.0f >= c + P) ? A : -A; }); break;
    case PULSE:
        cycle = run_wave(cycle, inc, out, n, [A, P, W](float c, bool) { return (W >= c + P) ? A : -A; });
        break;
    case NOISE_ROSSLER:
        cycle = run_wave(cycle, inc, out, n, [this, A, F](float, bool new_cycle) {
            if (new_cycle) rossler.SetFreq(F);
            return A * rossler.Iterate();
        });
        break;
    case NOISE_LORENZ:
        cycle = run_wave(cycle, inc, out, n, [this, A, F](float, bool new_cycle) {
            if (new_cycle) lorenz.SetFreq(F);
            return A * lorenz.Iterate();
        });
        break;
    default:
        // The noises are never given here; any other code is silence.
        cycle = run_wave(cycle, inc, out, n, [](float, bool) { return 0.0f; });
        break;
    }
    value = out[n - 1];
}

[[gnu::always_inline]] inline void VCO::linked_prepare(const float* const* in, LinkedWork& w, double* inc, int stride,
                                                       int n) {
    if (n <= 0 || n > LINKED_MOST) return;  // the work arrays' size
    // What advance() does at every sample, once: the kept period is dropped.
    period_pos_ = -1;
    period_filled_ = 0;
    period_length_ = 0;
    // The parameters, read once a block; the inputs, at every sample.
    const float amount = AMOUNT, freq = FREQ, phase = PHASE, pwm = PWM;
    const float* const pitch = in[IN_PITCH];
    const float* const alt_amp = in[IN_ALT_AMP];
    const float* const alt_freq = in[IN_ALT_FREQ];
    const float* const alt_phase = in[IN_ALT_PHASE];
    const float* const alt_pwm = in[IN_ALT_PWM];
    float* const A = w.A;
    float* const F = w.F;
    float* const P = w.P;
    float* const W = w.W;
    for (int t = 0; t < n; t++) {
        A[t] = alt_amp != nullptr ? alt_amp[t] : amount;
        F[t] = alt_freq != nullptr ? alt_freq[t] : freq;
        P[t] = alt_phase != nullptr ? alt_phase[t] : phase;
        W[t] = alt_pwm != nullptr ? alt_pwm[t] : pwm;
    }
    if (pitch != nullptr) {
        for (int t = 0; t < n; t++)
            F[t] = alt_freq != nullptr ? static_cast<float>(alt_freq[t] / 44.0) : driven(pitch[t], freq);
        // The last sample's F, as computed just above.
        driven_frequency = alt_freq != nullptr ? static_cast<float>(alt_freq[n - 1] / 44.0) : driven_;
    }
    // The modulations, each as advance() writes it (x + x m, in float).
    auto modulate = [n](float* x, const float* m) {
        if (m != nullptr)
            for (int t = 0; t < n; t++) x[t] = x[t] + x[t] * m[t];
    };
    modulate(A, in[IN_MOD_AMP]);
    modulate(F, in[IN_MOD_FREQ]);
    modulate(P, in[IN_MOD_PHASE]);
    modulate(W, in[IN_MOD_PWM]);
    for (int t = 0; t < n; t++) A[t] = A[t] > 1.0f ? 1.0f : A[t];  // (a select, so that it vectorises)

    // The increments (advance_cycle's quotient, kept for the last F).
    for (int t = 0; t < n; t++) inc[t * stride] = F[t] / 44100.0;
    increment_for_ = bits_of(F[n - 1]);
    increment_ = inc[(n - 1) * stride];
}

[[gnu::always_inline]] inline void VCO::linked_finish(const LinkedWork& w, const float* cyc, int stride, float* out,
                                                      int n) {
    if (n <= 0 || n > LINKED_MOST) return;  // the work arrays' size
    if (TYPE == SIN) {
        // The cycles gathered first, so that the arithmetic runs on whole vectors.
        float c[LINKED_MOST];
        for (int t = 0; t < n; t++) c[t] = cyc[t * stride];
        double x[LINKED_MOST];
        for (int t = 0; t < n; t++) x[t] = 6.283185307179586 * c[t] + w.P[t];
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // x[0 .. n) is written just above
#endif

        kel_sin_n(x, x, n);
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
        for (int t = 0; t < n; t++) out[t] = clip_unit(static_cast<float>(w.A[t] * x[t]));
    } else {
        for (int t = 0; t < n; t++) {
            cycle = cyc[t * stride];
            const Step s{w.A[t], w.F[t], w.P[t], w.W[t], cycle == -1.0f};
            out[t] = clip_unit(shape(s));
        }
    }
    cycle = cyc[(n - 1) * stride];
    value = out[n - 1];
}

void VCO::linked_block(const float* const* in, float* out, int n) {
    while (n > LINKED_MOST) {
        const float* head[BLOCK_INPUTS];
        for (int k = 0; k < BLOCK_INPUTS; k++) head[k] = in[k];
        linked_block(head, out, LINKED_MOST);
        const float* rest[BLOCK_INPUTS];
        for (int k = 0; k < BLOCK_INPUTS; k++) rest[k] = in[k] != nullptr ? in[k] + LINKED_MOST : nullptr;
        linked_block(rest, out + LINKED_MOST, n - LINKED_MOST);
        return;
    }
    if (n <= 0) return;
    LinkedWork w;
    double inc[LINKED_MOST];
    linked_prepare(in, w, inc, 1, n);
    float cyc[LINKED_MOST];
    float c = cycle;
    advance_cycles(c, inc, 1, in[IN_SYNC], cyc, n, false);
    linked_finish(w, cyc, 1, out, n);
}

namespace {

// Eight oscillators a vector; the lanes are two vectors, stepped side by side.
constexpr int VECTOR = 8;
constexpr int VECTORS = VCO::LANES / VECTOR;
typedef float lanes_f __attribute__((vector_size(4 * VECTOR)));
typedef int lanes_i __attribute__((vector_size(4 * VECTOR)));
typedef double lanes_d __attribute__((vector_size(8 * VECTOR)));
typedef long long lanes_l __attribute__((vector_size(8 * VECTOR)));

// The cycles of LANES oscillators side by side, each step exactly advance_cycle's
// (after a sync pulse zeroes the cycle): c = float(c + inc) in double, -1 past 1.
// inc, sync (the pulses' int bits, or null) and cyc are laid out sample by
// sample, LANES values a sample. Each lane is a chain of dependent steps; the
// vectors' chains overlap. The cycle is carried as a double (a float's value),
// and the reset is read from the sum itself: a sum rounds to a float above 1
// exactly when it is above 1 + 2^-24 (at 1 + 2^-24 it ties to the even 1), so
// the test runs beside the rounding instead of after it.
// (Only ever inlined into functions built for AVX-512: no call passes these vectors.)
#pragma GCC diagnostic ignored "-Wpsabi"

// A float vector widened to doubles: one instruction where WIDE (AVX-512),
// which the generic conversion does not give.
template <bool WIDE>
inline __attribute__((always_inline)) lanes_d widen(lanes_f f) {
#if defined(__clang__)
    // (clang gives the one instruction from the plain conversion, and checks
    // a builtin's target where it is written.)
    return __builtin_convertvector(f, lanes_d);
#else
    if constexpr (WIDE) {
        const lanes_d none = {};
        return __builtin_ia32_cvtps2pd512_mask(f, none, static_cast<unsigned char>(-1), 4);
    } else {
        return __builtin_convertvector(f, lanes_d);
    }
#endif
}

template <bool SYNC, bool WIDE>
inline __attribute__((always_inline)) void lane_cycles(float* first, const double* inc, const int* sync,
                                                      float* cyc, int n) {
    constexpr double ROUNDS_ABOVE_ONE = 1.0000000596046448;  // 1 + 2^-24
    lanes_d c[VECTORS];
    for (int g = 0; g < VECTORS; g++) {
        lanes_f f;
        std::memcpy(&f, first + g * VECTOR, sizeof f);
        c[g] = __builtin_convertvector(f, lanes_d);
    }
    const lanes_d zero = {}, minus_one = zero - 1.0;
    for (int t = 0; t < n; t++) {
        for (int g = 0; g < VECTORS; g++) {
            const int at = t * VCO::LANES + g * VECTOR;
            if (SYNC) {
                lanes_i pulse;
                std::memcpy(&pulse, sync + at, sizeof pulse);
                c[g] = __builtin_convertvector(pulse != 0, lanes_l) ? zero : c[g];
            }
            lanes_d step;
            std::memcpy(&step, inc + at, sizeof step);
            const lanes_d sum = c[g] + step;
            const lanes_f rounded = __builtin_convertvector(sum, lanes_f);
            const lanes_l reset = sum > ROUNDS_ABOVE_ONE;
            c[g] = reset ? minus_one : widen<WIDE>(rounded);
            const lanes_f out = __builtin_convertvector(c[g], lanes_f);  // exact: a float's value
            std::memcpy(cyc + at, &out, sizeof out);
        }
    }
    for (int g = 0; g < VECTORS; g++) {
        const lanes_f f = __builtin_convertvector(c[g], lanes_f);
        std::memcpy(first + g * VECTOR, &f, sizeof f);
    }
}

}  // namespace

// The body of linked_blocks, built twice (see below).
#define LINKED_BLOCKS_BODY(WIDE)                                                                                   \
    LinkedWork work[LANES];                                                                                     \
    alignas(64) double inc[LINKED_MOST * LANES];                                                                \
    alignas(64) int sync[LINKED_MOST * LANES];                                                                  \
    alignas(64) float cyc[LINKED_MOST * LANES];                                                                 \
    float first[LANES] = {};                                                                                    \
    bool any_sync = false;                                                                                      \
    for (int j = 0; j < count; j++) {                                                                           \
        v[j]->linked_prepare(in[j], work[j], inc + j, LANES, n);                                                \
        first[j] = v[j]->cycle;                                                                                 \
        any_sync = any_sync || in[j][IN_SYNC] != nullptr;                                                       \
    }                                                                                                           \
    for (int j = count; j < LANES; j++) /* lanes left empty step from 0 by 0 */                                 \
        for (int t = 0; t < n; t++) inc[t * LANES + j] = 0.0;                                                   \
    if (any_sync) {                                                                                             \
        std::memset(sync, 0, sizeof(int) * LANES * static_cast<size_t>(n));                                     \
        for (int j = 0; j < count; j++)                                                                         \
            if (const float* pulse = in[j][IN_SYNC])                                                            \
                for (int t = 0; t < n; t++) std::memcpy(&sync[t * LANES + j], &pulse[t], sizeof(int));         \
        lane_cycles<true, WIDE>(first, inc, sync, cyc, n);                                                          \
    } else {                                                                                                    \
        lane_cycles<false, WIDE>(first, inc, nullptr, cyc, n);                                                      \
    }                                                                                                           \
    for (int j = 0; j < count; j++) v[j]->linked_finish(work[j], cyc + j, LANES, out[j], n);

// The same operations either way (no contraction), so the same bits.
__attribute__((target(KEL_AVX512_TARGET))) void VCO::linked_blocks_avx512(
    VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out, int count, int n) {
    LINKED_BLOCKS_BODY(true)
}

void VCO::linked_blocks_plain(VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out, int count,
                              int n) {
    LINKED_BLOCKS_BODY(false)
}

#undef LINKED_BLOCKS_BODY

void VCO::linked_blocks(VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out, int count, int n) {
    if (count == 1 || n > LINKED_MOST) {
        for (int j = 0; j < count; j++) v[j]->linked_block(in[j], out[j], n);
        return;
    }
    if (n <= 0) return;
    if (kWide)
        linked_blocks_avx512(v, in, out, count, n);
    else
        linked_blocks_plain(v, in, out, count, n);
}
