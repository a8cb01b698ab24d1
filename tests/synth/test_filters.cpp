// Filters: each biquad type's response against the cookbook formulas, the
// coefficient cache, silence, bypass and wrapping; the formant filter; the phaser.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "synth/filters.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// |H(e^jw)| of the cookbook biquad, written out from its textbook formulas.
double cookbook_magnitude(int type, double f0, double q, double gain_db, double f) {
    const double w0 = kTwoPi * f0 / 44100.0, c = std::cos(w0), s = std::sin(w0), al = s / (2 * q);
    const double G = std::pow(10.0, gain_db / 20), A = std::pow(10.0, gain_db / 40);
    double b[3], a[3];
    switch (type) {
    case 0: b[0] = G; b[1] = 0; b[2] = 0; a[0] = 1; a[1] = 0; a[2] = 0; break;
    case 1: b[0] = G * (1 - c) / 2; b[1] = G * (1 - c); b[2] = b[0]; a[0] = 1 + al; a[1] = -2 * c; a[2] = 1 - al; break;
    case 2: b[0] = G * (1 + c) / 2; b[1] = -G * (1 + c); b[2] = b[0]; a[0] = 1 + al; a[1] = -2 * c; a[2] = 1 - al; break;
    case 3: b[0] = G * al; b[1] = 0; b[2] = -G * al; a[0] = 1 + al; a[1] = -2 * c; a[2] = 1 - al; break;
    case 4: b[0] = G; b[1] = -2 * c * G; b[2] = G; a[0] = 1 + al; a[1] = -2 * c; a[2] = 1 - al; break;
    case 5: {
        const double B = s * std::sqrt(2 * A);
        b[0] = A * ((A + 1) - (A - 1) * c + B); b[1] = 2 * A * ((A - 1) - (A + 1) * c);
        b[2] = A * ((A + 1) - (A - 1) * c - B); a[0] = (A + 1) + (A - 1) * c + B;
        a[1] = -2 * ((A - 1) + (A + 1) * c); a[2] = (A + 1) + (A - 1) * c - B;
        break;
    }
    case 6: {
        const double B = s * std::sqrt(2 * A);
        b[0] = A * ((A + 1) + (A - 1) * c + B); b[1] = -2 * A * ((A - 1) + (A + 1) * c);
        b[2] = A * ((A + 1) + (A - 1) * c - B); a[0] = (A + 1) - (A - 1) * c + B;
        a[1] = 2 * ((A - 1) - (A + 1) * c); a[2] = (A + 1) - (A - 1) * c - B;
        break;
    }
    default:
        b[0] = 1 + al * A; b[1] = -2 * c; b[2] = 1 - al * A; a[0] = 1 + al / A; a[1] = -2 * c; a[2] = 1 - al / A;
        break;
    }
    const std::complex<double> z1 = std::polar(1.0, -kTwoPi * f / 44100.0), z2 = z1 * z1;
    return std::abs((b[0] + b[1] * z1 + b[2] * z2) / (a[0] + a[1] * z1 + a[2] * z2));
}

// Amplitude of the steady-state response of FilterCell to a unit sine at f.
double measured_magnitude(int type, double f0, double q, double g, double f) {
    PCF p;
    const int settle = 44100 / 4, span = 44100;  // span holds whole periods of every test frequency
    double sc = 0, cc = 0;
    for (int n = 0; n < settle + span; n++) {
        const double ph = kTwoPi * f * n / 44100.0;
        const double y = p.FilterCell(0, std::sin(ph), f0, q, g, static_cast<unsigned long>(type));
        if (n >= settle) {
            sc += y * std::sin(ph);
            cc += y * std::cos(ph);
        }
    }
    return 2 * std::hypot(sc, cc) / span;
}

}  // namespace

class BiquadResponse : public ::testing::TestWithParam<int> {};

TEST_P(BiquadResponse, MatchesTheCookbookAtSeveralFrequencies) {
    const int type = GetParam();
    for (double gain : {0.0, 6.0}) {
        for (double f : {100.0, 700.0, 1000.0, 1400.0, 6000.0}) {
            const double expected = cookbook_magnitude(type, 1000.0, 0.707, gain, f);
            const double got = measured_magnitude(type, 1000.0, 0.707, gain, f);
            EXPECT_NEAR(got, expected, 0.01 * expected + 1e-4) << "type " << type << " gain " << gain << " f " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, BiquadResponse, ::testing::Range(0, 8));

TEST(BiquadResponse, ShapesAreWhatTheirNamesSay) {
    EXPECT_LT(measured_magnitude(LOWPASS, 1000, 0.707, 0, 6000), 0.05);
    EXPECT_GT(measured_magnitude(LOWPASS, 1000, 0.707, 0, 100), 0.99);
    EXPECT_LT(measured_magnitude(HIGHPASS, 1000, 0.707, 0, 100), 0.02);
    EXPECT_NEAR(measured_magnitude(BANDPASS, 1000, 2, 0, 1000), 1.0, 0.01);  // 0 dB peak
    EXPECT_LT(measured_magnitude(NOTCH, 1000, 2, 0, 1000), 0.01);
    EXPECT_NEAR(measured_magnitude(LOWSHELF, 1000, 1, 6, 50), std::pow(10.0, 6 / 20.0), 0.02);
    EXPECT_NEAR(measured_magnitude(HIGHSHELF, 1000, 1, 6, 15000), std::pow(10.0, 6 / 20.0), 0.03);
    EXPECT_NEAR(measured_magnitude(PEAKING, 1000, 1, 6, 1000), std::pow(10.0, 6 / 20.0), 0.01);
}

TEST(BiquadCoefficients, RecomputedOnlyWhenTheSettingChanges) {
    PCF p;
    p.FilterCell(0, 0.5, 1000, 1, 0, LOWPASS);
    const double b0 = p.b0;
    p.b0 = 123.0;  // a marker: survives as long as nothing is recomputed
    p.FilterCell(0, 0.5, 1000, 1, 0, LOWPASS);
    EXPECT_EQ(p.b0, 123.0);
    p.FilterCell(0, 0.5, 1000, 1.5, 0, LOWPASS);  // Q changed
    EXPECT_NE(p.b0, 123.0);
    p.b0 = 123.0;
    p.FilterCell(0, 0.5, 1000, 1.5, 0, HIGHPASS);  // type changed
    EXPECT_NE(p.b0, 123.0);
    p.FilterCell(0, 0.5, 1000, 1, 0, LOWPASS);
    EXPECT_EQ(p.b0, b0);
    // The first sample of a new filter computes its coefficients even at 0 Hz, Q 0, 0 dB, type 0.
    PCF fresh;
    EXPECT_EQ(fresh.FilterCell(0, 0.5, 0, 0, 0, 0), 0.5);
}

TEST(PcfModule, NewFilterIsBypassedAndThenABandpassAt300Hz) {
    float in = 0.3f;
    PCF p;
    p.source = &in;
    p.evolue();
    EXPECT_EQ(p.value, 0.3f);
    // Unbypassed defaults: bandpass at 300 Hz, Q 1, gain 1 dB, level factor 2, fully wet.
    PCF q;
    q.BYPASS = 0;
    const double gain = std::pow(10.0, 1 / 20.0) * 2.0;
    float x = 0;
    q.source = &x;
    const int settle = 44100 / 2, span = 44100;
    double sc = 0, cc = 0;
    for (int n = 0; n < settle + span; n++) {
        const double ph = kTwoPi * 300 * n / 44100.0;
        x = static_cast<float>(0.2 * std::sin(ph));
        if (x == 0.0f) x = 1e-9f;  // exact zeros would hold the filter still
        q.evolue();
        if (n >= settle) {
            sc += q.value * std::sin(ph);
            cc += q.value * std::cos(ph);
        }
    }
    EXPECT_NEAR(2 * std::hypot(sc, cc) / span, 0.2 * gain, 0.01);
}

TEST(PcfModule, TypeZeroWithNoGainPassesTheInput) {
    float in = 0;
    PCF p;
    p.source = &in;
    p.BYPASS = 0;
    p.TYPE = 0;
    p.GAIN = 0;
    p.LEVEL = 0;
    for (float v : {0.5f, -0.25f, 0.9f}) {
        in = v;
        p.evolue();
        EXPECT_FLOAT_EQ(p.value, v);
    }
}

TEST(PcfModule, TypesWrapAroundTheTable) {
    float in = 0.25f;
    PCF high, low;
    for (PCF* p : {&high, &low}) {
        p->source = &in;
        p->BYPASS = 0;
        p->LEVEL = 0;
    }
    high.TYPE = 8;
    high.evolue();
    EXPECT_EQ(high.TYPE, 0);
    EXPECT_FLOAT_EQ(high.value, static_cast<float>(0.25 * std::pow(10.0, 1 / 20.0)));
    low.TYPE = -1;
    low.evolue();
    EXPECT_EQ(low.TYPE, 7);
}

TEST(PcfModule, ExactSilenceGivesZeroAndLeavesTheHistory) {
    float in = 0.5f;
    PCF p;
    p.source = &in;
    p.BYPASS = 0;
    p.TYPE = LOWPASS;
    for (int i = 0; i < 50; i++) p.evolue();
    const double y1 = p.y1, x1 = p.x1;
    in = 0.0f;
    p.evolue();
    EXPECT_EQ(p.value, 0.0f);  // although the filter would still ring
    EXPECT_EQ(p.y1, y1);
    EXPECT_EQ(p.x1, x1);
}

TEST(PcfModule, OutputStaysWithinUnitAndModulationApplies) {
    float in = 0.9f;
    OUTPUT mod;
    INPUT link(&mod);
    PCF p;
    p.source = &in;
    p.BYPASS = 0;
    p.TYPE = PEAKING;
    p.GAIN = 24;
    p.HICUT = 100;
    p.MOD_FREQ = &link;
    for (int i = 0; i < 4410; i++) {
        in = i % 2 ? 0.9f : -0.9f;
        mod.value = static_cast<float>(i) / 4410;
        p.evolue();
        ASSERT_LE(p.value, 1.0f);
        ASSERT_GE(p.value, -1.0f);
    }
    EXPECT_NEAR(p.key_f, 100 + 100 * (4409.0f / 4410), 1e-3);  // cut-off swept by MOD_FREQ
    // MOD_AMP -1 brings the mix to 0: the dry input passes.
    mod.value = -1.0f;
    PCF dry;
    dry.source = &in;
    dry.BYPASS = 0;
    dry.MOD_AMP = &link;
    in = 0.3f;
    dry.evolue();
    EXPECT_FLOAT_EQ(dry.value, 0.3f);
    // Switched off (POWER 0): silent while off, whatever it played before; unlinked: silent.
    dry.enabled = 0;
    in = -0.6f;
    dry.evolue();
    EXPECT_EQ(dry.value, 0.0f);
    dry.enabled = 1;
    dry.evolue();
    EXPECT_FLOAT_EQ(dry.value, -0.6f);
    PCF unlinked;
    unlinked.value = 0.5f;
    unlinked.evolue();
    EXPECT_EQ(unlinked.value, 0.0f);
}

TEST(PcfModule, AnUnusableSettingDoesNotKillTheFilterForGood) {
    float in = 0.5f;
    PCF p;
    p.source = &in;
    p.BYPASS = 0;
    p.TYPE = LOWPASS;
    p.Q = 0.0f;  // the remote control lowers Q by 0.5 steps: 1.0, 0.5, 0.0 ...
    for (int i = 0; i < 100; i++) {
        in = i % 2 ? 0.5f : -0.5f;
        p.evolue();
        ASSERT_FALSE(std::isnan(p.value));
    }
    p.Q = 1.0f;
    for (int i = 0; i < 2000; i++) {
        in = 0.5f;
        p.evolue();
    }
    EXPECT_GT(p.value, 0.5f);  // filtering again (DC through a lowpass, x2 level)
}

TEST(FormantFilter, ImpulseResponseStartsWithTheFirstCoefficient) {
    FORMANT_PCF f;
    float one = 1.0f, zero = 0.0f;
    EXPECT_FLOAT_EQ(static_cast<float>(f.formant_filter(&one, 0)), 3.11044e-06f);
    // The next output is k[1] x the first output.
    EXPECT_FLOAT_EQ(static_cast<float>(f.formant_filter(&zero, 0)),
                    static_cast<float>(8.943665402 * static_cast<float>(3.11044e-06)));
    FORMANT_PCF u;
    EXPECT_FLOAT_EQ(static_cast<float>(u.formant_filter(&one, 4)), 4.09431e-07f);
}

TEST(FormantFilter, VowelIsClampedAndOutputClipped) {
    for (float vowel : {-3.0f, 0.0f, 2.7f, 4.0f, 11.0f, NAN}) {
        FORMANT_PCF f;
        float in = 0;
        f.source = &in;
        f.vowel = vowel;
        for (int i = 0; i < 44100; i++) {
            in = static_cast<float>(0.5 * std::sin(kTwoPi * 110 * i / 44100.0) + 0.01);
            f.evolue();
            ASSERT_LE(f.value, 1.0f);
            ASSERT_GE(f.value, -1.0f);
            ASSERT_FALSE(std::isnan(f.value));
        }
    }
    // Bypass passes, silence gives silence, disabled freezes.
    FORMANT_PCF g;
    float x = 0.4f;
    g.source = &x;
    g.BYPASS = 1;
    g.evolue();
    EXPECT_EQ(g.value, 0.4f);
    g.BYPASS = 0;
    x = 0.0f;
    g.evolue();
    EXPECT_EQ(g.value, 0.0f);
    g.enabled = 0;
    x = 0.3f;
    g.evolue();
    EXPECT_EQ(g.value, 0.0f);
}

TEST(Phaser, AllpassStagesAndTheSweep) {
    PHASER::AllpassDelay st;
    st.Delay(0.5f);
    EXPECT_FLOAT_EQ(st.a1, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(st.Update(1.0f), -1.0f / 3.0f);
    EXPECT_FLOAT_EQ(st.zm1, -1.0f / 9.0f + 1.0f);

    // The default sweep is a fraction of a hertz: the delay parameter runs once
    // through its range within a few seconds.
    PHASER p;
    EXPECT_GT(p.lfo_increment, 0.0f);
    const double sweep_hz = p.lfo_increment * 44100 / kTwoPi;
    EXPECT_GT(sweep_hz, 0.05);
    EXPECT_LT(sweep_hz, 1.0);
    EXPECT_LT(p.dmin, p.dmax);

    // A steady 1 kHz tone comes out louder and softer as the notches sweep past.
    float in = 0;
    p.source = &in;
    double lo = 1e9, hi = 0, block = 0;
    for (int n = 1; n <= 44100 * 4; n++) {
        in = static_cast<float>(0.4 * std::sin(kTwoPi * 1000 * n / 44100.0));
        p.evolue();
        block = std::fmax(block, std::fabs(p.value));
        if (n % 2205 == 0) {
            lo = std::fmin(lo, block);
            hi = std::fmax(hi, block);
            block = 0;
        }
    }
    EXPECT_GT(hi, 2 * lo);
    EXPECT_GT(hi, 0.4);  // not clipped to 1: dry plus wet may exceed the input
}

TEST(Phaser, BypassAndUnlinked) {
    PHASER p;
    p.value = 0.5f;
    p.evolue();
    EXPECT_EQ(p.value, 0.0f);
    float in = 0.7f;
    p.source = &in;
    p.BYPASS = 1;
    p.evolue();
    EXPECT_EQ(p.value, 0.7f);
}
