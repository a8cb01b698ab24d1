// Oscillator: each waveform's first samples and period, clipping, the MOD and
// ALT inputs, the pitch input, sync, power, the chaos sources and the note table.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "synth/notes.h"
#include "synth/random.h"
#include "synth/vco.h"

namespace {

// The phase accumulator as the oscillator advances it: a double sum rounded to
// float, reset to -1 (not wrapped) on the first sample beyond 1.
struct Cycle {
    float c = 0.0f;
    float F;
    explicit Cycle(float f) : F(f) {}
    float next() {
        c = static_cast<float>(c + F / 44100.0);
        if (c > 1.0f) c = -1.0f;
        return c;
    }
};

std::vector<float> run(VCO& v, int n) {
    std::vector<float> out;
    for (int i = 0; i < n; i++) {
        v.evolue();
        out.push_back(v.value);
    }
    return out;
}

// Samples between the first two resets of the cycle.
int period_of(VCO& v, int limit) {
    int first = -1;
    for (int i = 0; i < limit; i++) {
        v.evolue();
        if (v.cycle == -1.0f) {
            if (first >= 0) return i - first;
            first = i;
        }
    }
    return -1;
}

}  // namespace

TEST(VcoWaveforms, SawtoothFollowsTheCycleAndResetsAboveOne) {
    VCO v(1.0f, 441.0f, SAW);
    Cycle ref(441.0f);
    for (int i = 0; i < 450; i++) {
        v.evolue();
        float c = ref.next();
        ASSERT_EQ(v.cycle, c) << "sample " << i;
        ASSERT_EQ(v.value, c <= -1.0f ? -1.0f : (c >= 1.0f ? 1.0f : c)) << "sample " << i;
    }
    // 0.01 per sample: 0 -> 1.0 takes 100 samples, the reset comes on the 101st
    // (or one later if rounding keeps the sum at 1.0), then -1 -> 1 takes 200.
    VCO w(1.0f, 441.0f, SAW);
    int p = period_of(w, 2000);
    EXPECT_GE(p, 200);
    EXPECT_LE(p, 202);
}

TEST(VcoWaveforms, SineStartsAtTheFirstStepAndRepeatsAtF) {
    VCO v(1.0f, 441.0f, SIN);
    v.evolue();
    EXPECT_FLOAT_EQ(v.value, static_cast<float>(std::sin(6.283185307179586 * (441.0 / 44100.0))));
    VCO p(1.0f, 441.0f, SIN);
    p.PHASE = 0.5f;
    Cycle ref(441.0f);
    for (int i = 0; i < 300; i++) {
        p.evolue();
        float c = ref.next();
        ASSERT_FLOAT_EQ(p.value, static_cast<float>(std::sin(6.283185307179586 * c + 0.5))) << i;
    }
    // One cycle of -1..1 holds two sine periods: 441 Hz sine, 220.5 Hz cycle.
    VCO q(1.0f, 441.0f, SIN);
    std::vector<float> s = run(q, 400);
    // The reset drops the overshoot, so compare within cycles: c = 0.01 and
    // -0.99 one period apart, -0.49 and 0.51 one period apart.
    EXPECT_NEAR(s[0], s[101], 1e-4);
    EXPECT_NEAR(s[151], s[251], 1e-4);
    EXPECT_GT(s[126], 0.99f);  // c = -0.74: a quarter period after -0.99
}

TEST(VcoWaveforms, TriangleSpansTwiceItsAmountAndClips) {
    VCO v(0.25f, 441.0f, TRI);
    Cycle ref(441.0f);
    float lo = 1, hi = -1;
    for (int i = 0; i < 400; i++) {
        v.evolue();
        float c = ref.next();
        float t = 2 * 0.25f * std::fabs(c);
        ASSERT_FLOAT_EQ(v.value, 2 * (t - 0.25f)) << i;
        lo = std::fmin(lo, v.value);
        hi = std::fmax(hi, v.value);
    }
    EXPECT_NEAR(lo, -0.5f, 1e-5);
    EXPECT_NEAR(hi, 0.5f, 1e-6);
    // Amount 1.0: -2..2 before clipping, flattened to -1..1.
    VCO loud(1.0f, 441.0f, TRI);
    for (float s : run(loud, 400)) {
        ASSERT_LE(s, 1.0f);
        ASSERT_GE(s, -1.0f);
    }
}

TEST(VcoWaveforms, PulseIsHighWhileCycleIsBelowWidth) {
    VCO v(0.5f, 441.0f, PULSE);  // PWM 0.1 by default
    Cycle ref(441.0f);
    int high = 0;
    // Skip the first rise from 0; then one full cycle -1..1 of 200 samples.
    for (int i = 0; i < 101; i++) { v.evolue(); ref.next(); }
    for (int i = 0; i < 200; i++) {
        v.evolue();
        float c = ref.next();
        ASSERT_EQ(v.value, 0.1f >= c ? 0.5f : -0.5f) << i;
        if (v.value > 0) high++;
    }
    EXPECT_NEAR(high / 200.0, 0.55, 0.011);
    VCO w(1.0f, 441.0f, PULSE);
    int p = period_of(w, 2000);
    EXPECT_GE(p, 200);
    EXPECT_LE(p, 202);
}

TEST(VcoWaveforms, SquareIsThePulseAtWidthZero) {
    VCO v(0.5f, 441.0f, SQR);
    v.PHASE = 0.25f;
    Cycle ref(441.0f);
    int high = 0;
    for (int i = 0; i < 101; i++) { v.evolue(); ref.next(); }
    for (int i = 0; i < 200; i++) {
        v.evolue();
        float c = ref.next();
        ASSERT_EQ(v.value, 0.0f >= c + 0.25f ? 0.5f : -0.5f) << i;
        if (v.value > 0) high++;
    }
    EXPECT_NEAR(high / 200.0, 0.375, 0.011);
}

TEST(VcoWaveforms, UnknownTypeAndPowerOffAreSilent) {
    for (int type : {0, 10, -3}) {
        VCO v(1.0f, 441.0f, type);
        for (float s : run(v, 50)) ASSERT_EQ(s, 0.0f) << type;
    }
    for (int type = 1; type <= 9; type++) {
        VCO v(1.0f, 441.0f, type);
        run(v, 10);
        v.POWER = 0;
        v.evolue();
        EXPECT_EQ(v.value, 0.0f) << type;
    }
}

TEST(VcoAmplitude, AboveOneIsOneAndNegativeInverts) {
    VCO loud(2.0f, 441.0f, SAW), ref(1.0f, 441.0f, SAW), inv(-0.5f, 441.0f, SAW);
    for (int i = 0; i < 300; i++) {
        loud.evolue();
        ref.evolue();
        inv.evolue();
        ASSERT_EQ(loud.value, ref.value);
        ASSERT_FLOAT_EQ(inv.value, -0.5f * ref.value);
    }
}

TEST(VcoInputs, ModulationScalesAndAlternativesReplace) {
    OUTPUT mod;
    INPUT link(&mod);

    // MOD_FREQ -1: F = 0, the cycle stands still.
    VCO frozen(1.0f, 441.0f, SAW);
    frozen.MOD_FREQ = &link;
    mod.value = -1.0f;
    run(frozen, 20);
    EXPECT_EQ(frozen.cycle, 0.0f);

    // MOD_FREQ 1: twice the speed.
    mod.value = 1.0f;
    VCO fast(1.0f, 441.0f, SAW);
    fast.MOD_FREQ = &link;
    fast.evolue();
    EXPECT_FLOAT_EQ(fast.cycle, 0.02f);

    // MOD_AMP -0.5 halves, ALT_AMP replaces, both then clipped to at most 1.
    mod.value = -0.5f;
    VCO half(1.0f, 441.0f, SAW);
    half.MOD_AMP = &link;
    half.evolue();
    EXPECT_FLOAT_EQ(half.value, 0.5f * 0.01f);
    mod.value = 0.3f;
    VCO alt(1.0f, 441.0f, SAW);
    alt.ALT_AMP = &link;
    alt.evolue();
    EXPECT_FLOAT_EQ(alt.value, 0.3f * 0.01f);

    // ALT_PWM replaces the width; MOD_PWM scales it (0.1 x (1 + 4) = 0.5).
    mod.value = 4.0f;
    VCO pw(1.0f, 441.0f * 50, PULSE);  // cycle 0.5 after one sample
    pw.MOD_PWM = &link;
    pw.evolue();
    EXPECT_EQ(pw.value, 1.0f);  // 0.5 >= 0.5
    mod.value = 0.4f;
    VCO pw2(1.0f, 441.0f * 50, PULSE);
    pw2.ALT_PWM = &link;
    pw2.evolue();
    EXPECT_EQ(pw2.value, -1.0f);  // 0.4 < 0.5

    // ALT_PHASE and MOD_PHASE on the sine.
    mod.value = 1.0f;
    VCO ph(1.0f, 441.0f, SIN);
    ph.PHASE = 0.25f;
    ph.MOD_PHASE = &link;  // 0.25 x 2 = 0.5
    ph.evolue();
    EXPECT_FLOAT_EQ(ph.value, static_cast<float>(std::sin(6.283185307179586 * 0.01f + 0.5)));
    // ALT_FREQ in Hz replaces FREQ.
    mod.value = 882.0f;
    VCO af(1.0f, 441.0f, SAW);
    af.ALT_FREQ = &link;
    af.evolue();
    EXPECT_FLOAT_EQ(af.cycle, 0.02f);
}

TEST(VcoInputs, PitchInputIsTransposedByFreq) {
    OUTPUT pitch;
    pitch.value = 440.0f;
    INPUT in(&pitch);
    VCO v(1.0f, 44.0f, SAW);
    v.source = in.source;
    v.evolue();
    EXPECT_FLOAT_EQ(v.driven_frequency, 440.0f);
    EXPECT_FLOAT_EQ(v.cycle, static_cast<float>(440.0 / 44100.0));
    VCO down(1.0f, 22.0f, SAW);
    down.source = in.source;
    down.evolue();
    EXPECT_FLOAT_EQ(down.driven_frequency, 220.0f);
    // With ALT_FREQ linked too, F is ALT_FREQ / 44.
    OUTPUT alt;
    alt.value = 880.0f;
    INPUT alt_in(&alt);
    VCO both(1.0f, 44.0f, SAW);
    both.source = in.source;
    both.ALT_FREQ = &alt_in;
    both.evolue();
    EXPECT_FLOAT_EQ(both.driven_frequency, 20.0f);
}

TEST(VcoSync, PulseRestartsAtZeroWithoutANewCycle) {
    OUTPUT_SYNC sync(0);
    kel_srand(7);
    VCO noise(1.0f, 441.0f, NOISE_WHITE);
    noise.sync_source = &sync.pulse;
    run(noise, 150);  // past the first reset: a level is held
    const float held = noise.random_hold;
    sync.request = 1;
    sync.evolue();
    noise.evolue();
    EXPECT_FLOAT_EQ(noise.cycle, 0.01f);  // restarted at 0, then advanced
    EXPECT_EQ(noise.random_hold, held);   // a sync is not a new cycle
    sync.evolue();
    noise.evolue();
    EXPECT_FLOAT_EQ(noise.cycle, 0.02f);
}

TEST(VcoNoise, WhiteNoiseHoldsOneLevelPerCycleWithinRange) {
    kel_srand(1234);
    VCO v(1.0f, 4410.0f, NOISE_WHITE);
    std::vector<float> s = run(v, 44100);
    int changes = 0, resets = 0;
    Cycle ref(4410.0f);
    for (size_t i = 0; i < s.size(); i++) {
        ASSERT_GE(s[i], -1.0f);
        ASSERT_LE(s[i], 1.0f);
        bool reset = ref.next() == -1.0f;
        if (reset) resets++;
        if (i > 0 && s[i] != s[i - 1]) {
            changes++;
            ASSERT_TRUE(reset) << "level changed outside a new cycle at " << i;
        }
    }
    EXPECT_GT(changes, resets * 9 / 10);
    // The level follows the formula from the held value.
    const float h = v.random_hold;
    EXPECT_FLOAT_EQ(v.value, static_cast<float>(((h * 10923 + h * 10923 + h * 10923) * 2 - 32766) * 3.0518509e-05));
    VCO silent(0.0f, 4410.0f, NOISE_WHITE);
    for (float x : run(silent, 100)) ASSERT_EQ(x, 0.0f);
}

TEST(VcoNoise, RandomSignNoiseKeepsItsMagnitudeBetweenCycles) {
    kel_srand(99);
    VCO v(0.5f, 4410.0f, NOISE_KEL);
    std::vector<float> s = run(v, 4000);
    int flips = 0;
    for (size_t i = 1; i < s.size(); i++) {
        ASSERT_LE(std::fabs(s[i]), 0.5f * 32767 / 32676.0f + 1e-6);
        if (v.cycle != -1.0f && s[i] == -s[i - 1] && s[i] != 0) flips++;
    }
    EXPECT_GT(flips, 100);  // the sign is tossed at every sample
    // Amplitudes giving fewer than one value are silent instead of undefined.
    for (float a : {1e-9f, -0.5f, -1e12f}) {
        VCO z(a, 4410.0f, NOISE_KEL);
        for (float x : run(z, 200)) ASSERT_EQ(x, 0.0f) << a;
    }
}

TEST(VcoChaos, SourcesFollowTheirEulerStepsAndStayBounded) {
    VCO v(1.0f, 220.0f, NOISE_LORENZ);
    // Reference integration, one step per sample at 220 Hz (set by the constructor).
    float x = 1, y = 1, z = 1;
    const float h = 220.0f / 44100.0f;
    for (int i = 0; i < 2000; i++) {
        float dx = (y - x) * 10.0f, dy = x * (28.0f - z) - y, dz = x * y - z * 2.666f;
        x = x + h * dx;
        y = y + h * dy;
        z = z + h * dz;
        v.evolue();
        ASSERT_FLOAT_EQ(v.value, std::fmax(-1.0f, std::fmin(1.0f, x * LORENZ_SCALE))) << i;
    }
    VCO r(1.0f, 220.0f, NOISE_ROSSLER);
    float min = 1, max = -1;
    for (float s : run(r, 44100 * 2)) {
        min = std::fmin(min, s);
        max = std::fmax(max, s);
    }
    EXPECT_LT(min, -0.2f);  // it wanders: a sound, not a constant
    EXPECT_GT(max, 0.2f);
    // The other source is not stepped; the state is never reset.
    EXPECT_EQ(r.lorenz.x, 1.0f);
    EXPECT_EQ(v.rossler.x, 1.0f);
    EXPECT_NE(r.rossler.x, 1.0f);
}

TEST(VcoChaos, NewCycleRetunesTheStepOnly) {
    VCO v(1.0f, 441.0f, NOISE_ROSSLER);
    run(v, 150);  // one reset at sample ~101
    EXPECT_FLOAT_EQ(v.rossler.freq, 441.0f);
    EXPECT_FLOAT_EQ(v.rossler.step, 441.0f * 2.91f / 44100.0f);
    BLorenzOsc l;
    EXPECT_FLOAT_EQ(l.step, 440.0f / 44100.0f);
}

TEST(NoteTable, EqualTemperedFromEntryZero) {
    fill_NOTE2FREQ();
    EXPECT_NEAR(NOTE2FREQ[58], 440.0, 1e-3);
    EXPECT_NEAR(NOTE2FREQ[46], 220.0, 1e-3);
    EXPECT_NEAR(NOTE2FREQ[49], 261.63, 1e-2);
    EXPECT_NEAR(NOTE2FREQ[37], 130.81, 1e-2);
    EXPECT_NEAR(NOTE2FREQ[0], 15.434, 1e-3);
    EXPECT_EQ(NOTE2FREQ[0], 8.1757989 * static_cast<double>(powf(2.0f, 11.0f / 12.0f)));
    for (int i = 1; i < 1525; i++) ASSERT_GT(NOTE2FREQ[i], NOTE2FREQ[i - 1]);
    EXPECT_TRUE(std::isinf(NOTE2FREQ[1525]));
    EXPECT_TRUE(std::isfinite(NOTE2FREQ[1524]));
}
