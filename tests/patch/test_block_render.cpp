// Block rendering against sample-by-sample stepping. Random patch files mix
// every module type the loader makes, every waveform and play mode, sub-patches
// and links of every kind, feedback through modules stepped later, cycles,
// self-links and samplers that close their sequencer's gate. Each is loaded
// twice and rendered both ways from the same noise seed: the outputs must be
// the same floats, bit for bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "patch/link_ports.h"
#include "synth/random.h"
#include "tests/patch/ksy_fixture.h"

namespace {

constexpr int PATCHES = 40;
constexpr int FRAMES = 20000;
// Sizes of the successive render() calls: single frames, odd sizes on both
// sides of powers of two, a call of nothing, long stretches.
const int CHUNKS[] = {1, 7, 64, 300, 3072, 0, 2, 63, 65, 129, 1000, 4096, 5, 256, 17, 511, 33, 127, 2048, 640};

enum Kind { SEQ, KEY, OSC, LFO, SMP, AMP, FLT, CST, OP, VAL, VAR, SUB, MIX, OUT, KINDS };
const char* const PREFIX[KINDS] = {"SEQUENCER_", "KEY_", "VCO_", "VCO_LFO_", "SAMPLER_", "VCA_", "PCF_",
                                   "CONSTANTE_", "BASIC_OPERATION_", "AFFICHAGE_", "VARIABLE_",
                                   "GENERATOR_", "MIXER_", "SOUND_OUT_"};
const std::vector<Kind> AUDIO = {OSC, SMP, AMP, FLT, SUB};
const std::vector<Kind> VALUES = {SEQ, KEY, OSC, LFO, SMP, AMP, FLT, CST, OP, VAL, VAR, SUB, MIX};
const std::vector<Kind> NOTES = {SEQ, KEY};
const char* const SOUNDS[] = {"hihat", "kick", "snare", "voice", "phaser"};

/// Cables from sources of some kinds into one input of every module of a kind, each with probability p.
struct Cable {
    Kind target;
    double p;
    const char* key;
    std::vector<Kind> from;
};

/// A random patch file written to dir, with the sub-patch files it names.
/// Module names hold exactly one type word and never "IN", so that a file
/// without the keyed marker links exactly what the keyed one does.
class RandomPatch {
public:
    RandomPatch(std::uint32_t seed, const std::string& dir, int depth) : rng(seed) {
        path = dir + "/p" + std::to_string(depth) + "_" + std::to_string(seed) + ".ksy";
        declare_modules(dir, depth);
        link_modules();
        write(depth);
    }
    std::string path;
    std::string listing;                ///< this file and its sub-patches', to reproduce a failure
    std::vector<std::string> mods[KINDS];

private:
    std::mt19937 rng;
    std::vector<std::pair<std::string, std::string>> objects;  // name, fields
    std::vector<std::string> targets;                          // link lines in first-use order
    std::map<std::string, std::string> links;
    std::set<std::string> taken;

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    float real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }
    static std::string num(double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%.4g", v);
        return b;
    }
    static std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }
    std::string any(const std::vector<Kind>& kinds) {
        std::vector<const std::string*> all;
        for (Kind k : kinds)
            for (const std::string& n : mods[k]) all.push_back(&n);
        return all.empty() ? "" : *all[pick(0, static_cast<int>(all.size()) - 1)];
    }
    void add(Kind k, const std::string& fields) {
        mods[k].push_back(PREFIX[k] + std::to_string(mods[k].size()));
        objects.emplace_back(mods[k].back(), fields);
    }
    /// One cable; an input already linked keeps its first one (mixers add channels).
    void link(const std::string& target, const std::string& key, const std::string& source) {
        if (target.empty() || source.empty()) return;
        if (key != "ADD_CHANELL" && key != "EMPTY_CHANELL" && !taken.insert(target + "/" + key).second) return;
        if (!links.count(target)) targets.push_back(target);
        links[target] += key + "=" + source + ";";
    }

    std::string sequencer() {
        std::string f;
        if (chance(0.15)) f += std::string("PARTITION_FILE_NAME=PARTITIONS/") + (chance(0.5) ? "bass" : "melody") + ".PAR;";
        const int dividers[] = {6, 8, 10, 12, 20, 30, 40};
        const int steps = pick(2, 8);
        f += "DIVIDER=" + std::to_string(dividers[pick(0, 6)]) + ";NBR_STEP_000=" + std::to_string(steps) + ";";
        for (int s = 0; s < steps; s++) {
            f += "NOTE_000_" + two(s) + "=" + std::to_string(chance(0.1) ? 0 : pick(34, 76)) + ";";
            f += "LENGHT_000_" + two(s) + "=" + num(chance(0.3) ? 1.0 : real(0.15f, 0.95f)) + ";";
            if (chance(0.08)) f += "VOLUME_000_0" + two(s) + "=0.5;";
            if (chance(0.08)) f += "BYPASS_000_" + two(s) + "=1;";
        }
        if (chance(0.15)) f += "WISHED_DIV=" + std::to_string(pick(5, 25)) + ";";
        if (chance(0.05)) f += "POWER=0;";
        return f;
    }
    std::string oscillator(bool lfo) {
        const int type = lfo ? (chance(0.8) ? pick(1, 5) : pick(6, 9)) : chance(0.3) ? 1 : pick(1, 9);
        std::string f = "TYPE=" + std::to_string(type) + ";";
        // The chaotic sources diverge when their Euler step grows: kept low.
        const int mode = lfo ? 3 : type == 7 || type == 8 ? 4 : pick(0, 2);
        if (mode == 0) f += "FREQ=44;";  // follows its IN, linked below
        if (mode == 1) f += "NOTE=" + std::to_string(pick(30, 80)) + ";";
        if (mode == 2) f += "FREQ=" + num(real(40, 1500)) + ";";
        if (mode == 3) f += "FREQ=" + num(real(0.3f, 12)) + ";";
        if (mode == 4) f += "FREQ=" + num(real(30, 400)) + ";";
        f += "AMOUNT=" + num(lfo ? real(0.05f, 0.5f) : chance(0.05) ? 1.5 : chance(0.05) ? -0.6 : real(0.2f, 0.9f)) + ";";
        if (chance(0.3)) f += "PHASE=" + num(real(0, 3)) + ";";
        if (chance(0.3)) f += "PWM=" + num(real(-0.8f, 0.8f)) + ";";
        if (chance(0.05)) f += "POWER=0;";
        if (chance(0.03)) f += "WAVEFORM=12;";
        return f;
    }

    void declare_modules(const std::string& dir, int depth) {
        for (int i = pick(1, 3); i > 0; i--) add(SEQ, sequencer());
        if (chance(0.5)) add(KEY, "OCTAVE=" + std::to_string(pick(3, 5)) + ";NOTE=" + std::to_string(pick(0, 11)) + ";");
        // Eight oscillators and more are stepped as a list that batches sines.
        for (int i = depth == 0 && chance(0.3) ? pick(8, 18) : pick(2, 6); i > 0; i--) add(OSC, oscillator(false));
        for (int i = pick(0, 3); i > 0; i--) add(LFO, oscillator(true));
        for (int i = pick(0, 3); i > 0; i--)
            add(SMP, std::string("FILE=Sounds/") + SOUNDS[pick(0, 4)] + ".wav;MODE=" + std::to_string(pick(0, 3)) +
                         ";PITCH=" + num(chance(0.3) ? 1.0 : real(-1.5f, 2.5f)) + ";AMPLITUDE=" + num(real(0.3f, 1)) +
                         ";" + (chance(0.2) ? "PHASE=90;" : "") + (chance(0.05) ? "POWER=0;" : ""));
        for (int i = pick(0, 3); i > 0; i--)
            add(AMP, "ATTACK=" + num(real(1, 50)) + ";DECAY=" + num(real(10, 300)) + ";SUSTAIN=" +
                         num(chance(0.3) ? 0.0 : real(0.3f, 1)) + ";RELEASE=" + num(real(10, 300)) + ";" +
                         (chance(0.1) ? "INVERT=1;" : "") + (chance(0.05) ? "POWER=0;" : ""));
        for (int i = pick(0, 3); i > 0; i--)
            add(FLT, std::string(chance(0.85) ? "BYPASS=0;" : "") + "TYPE=" + std::to_string(pick(-1, 9)) +
                         ";HICUT=" + std::to_string(pick(100, 8000)) + ";Q=" + num(real(0.5f, 5)) + ";GAIN=" +
                         num(real(-6, 6)) + ";" + (chance(0.5) ? "AMOUNT=" + num(real(0, 0.5f)) + ";" : "") +
                         (chance(0.05) ? "POWER=0;" : ""));
        const double constants[] = {0, 1, 0.5, 2, 330};
        for (int i = pick(0, 2); i > 0; i--) add(CST, "VALUE=" + num(constants[pick(0, 4)]) + ";");
        for (int i = pick(1, 3); i > 0; i--) add(OP, "TYPE=" + std::to_string(pick(0, 18)) + ";");
        for (int i = pick(0, 2); i > 0; i--) add(VAL, "");
        for (int i = pick(0, 2); i > 0; i--) add(VAR, "");
        // Sub-patches, nested at most two deep; now and then one that names its
        // own file, which the loader leaves empty.
        for (int i = chance(depth == 0 ? 0.4 : depth == 1 ? 0.25 : 0) ? 1 + chance(0.15) : 0; i > 0; i--) {
            std::string file = path;
            if (!chance(0.05)) {
                RandomPatch sub(rng(), dir, depth + 1);
                file = sub.path;
                listing += sub.listing;
            }
            add(SUB, "FILE=" + file + ";");
        }
        for (int i = pick(1, 3); i > 0; i--) add(MIX, "");
        for (int i = pick(1, 2); i > 0; i--) add(OUT, "");
    }

    void link_modules() {
        for (const auto& o : objects)
            if (o.second.find("FREQ=44;") != std::string::npos) link(o.first, "IN", any(NOTES));
        // Several readers of one gate, which samplers in one-shot modes close;
        // an amplifier always has one (without, it outputs 1.0).
        const std::vector<Kind> sound = {OSC, LFO, SMP, AMP, FLT, SUB, MIX}, mod = {LFO, AMP};
        const Cable cables[] = {
            {SMP, 0.9, "GATE", NOTES}, {SMP, 0.4, "IN", NOTES}, {SMP, 0.1, "IN", VALUES}, {SMP, 0.2, "SYNC", NOTES},
            {AMP, 1, "GATE", NOTES}, {FLT, 0.1, "GATE", NOTES}, {FLT, 0.1, "SYNC", NOTES}, {OSC, 0.1, "GATE", NOTES},
            {OSC, 0.15, "SYNC", NOTES}, {SEQ, 0.15, "SYNC", NOTES}, {AMP, 1, "IN", AUDIO}, {FLT, 1, "IN", sound},
            {FLT, 0.4, "MOD_FREQ", {LFO}}, {FLT, 0.2, "MOD_AMP", mod}, {FLT, 0.1, "MOD_PHASE", {LFO}},
            {OSC, 0.2, "MOD_FREQ", mod}, {OSC, 0.2, "MOD_AMP", mod}, {OSC, 0.2, "MOD_PHASE", mod},
            {OSC, 0.2, "MOD_PWM", mod}, {SMP, 0.1, "MOD_FREQ", {LFO}}, {SMP, 0.1, "MOD_AMP", {LFO}},
            {OSC, 0.08, "ALT_FREQ", {CST, SEQ}}, {OSC, 0.08, "ALT_AMP", {AMP, LFO, CST}},
            {OSC, 0.05, "ALT_PHASE", VALUES}, {OSC, 0.05, "ALT_PWM", VALUES}, {OP, 1, "IN1", VALUES},
            {OP, 0.9, "IN2", VALUES}, {OP, 0.7, "IN_IF", VALUES}, {VAR, 1, "IN", VALUES},
            {VAR, 0.9, "IN_ASSIGN", {OP, CST, OSC}}, {VAL, 1, "IN", AUDIO}, {LFO, 0.2, "MOD_FREQ", {LFO, VAR}},
            // The loader reads no link line for a sub-patch: these change nothing.
            {SUB, 0.3, "IN", AUDIO}, {SUB, 0.3, "GATE", NOTES}};
        for (const Cable& c : cables)
            for (const std::string& m : mods[c.target])
                if (chance(c.p)) link(m, c.key, any(c.from));
        // Wild cables: itself and modules stepped later included (one sample
        // late), so cycles form. What is heard takes sound only, not pitches.
        const Cable wild[] = {
            {OSC, 1, "MOD_FREQ", VALUES}, {OSC, 1, "MOD_AMP", sound}, {OSC, 1, "MOD_PHASE", VALUES},
            {OSC, 1, "MOD_PWM", VALUES}, {OSC, 1, "ALT_PWM", VALUES}, {OSC, 1, "IN", VALUES}, {LFO, 1, "MOD_AMP", sound},
            {LFO, 1, "ALT_FREQ", {CST}}, {SMP, 1, "MOD_FREQ", sound}, {SMP, 1, "IN", VALUES}, {AMP, 1, "IN", sound},
            {FLT, 1, "IN", sound}, {FLT, 1, "MOD_FREQ", sound}, {OP, 1, "IN1", VALUES}, {OP, 1, "IN_IF", VALUES},
            {VAR, 1, "IN", VALUES}, {VAR, 1, "IN_ASSIGN", VALUES}, {VAL, 1, "IN", sound}, {MIX, 1, "ADD_CHANELL", sound}};
        for (int i = pick(2, 7); i > 0; i--) {
            const Cable& w = wild[pick(0, static_cast<int>(std::size(wild)) - 1)];
            link(any({w.target}), w.key, any(w.from));
        }
        if (!mods[OSC].empty() && chance(0.3)) link(mods[OSC][0], "MOD_PHASE", mods[OSC][0]);
        // Mixers: sub-mixers take a few sources, MIXER_0 the rest of the sound.
        for (std::size_t m = 1; m < mods[MIX].size(); m++)
            for (int i = pick(1, 4); i > 0; i--) link(mods[MIX][m], "ADD_CHANELL", any(AUDIO));
        for (Kind k : {AMP, FLT, SMP, SUB, VAL, MIX})
            for (const std::string& n : mods[k])
                if (k != MIX || n != mods[MIX][0]) link(mods[MIX][0], chance(0.05) ? "EMPTY_CHANELL" : "ADD_CHANELL", n);
        for (std::size_t i = 0; i < mods[OSC].size(); i += 3) link(mods[MIX][0], "ADD_CHANELL", mods[OSC][i]);
        // The sound output declared last is the one heard.
        for (const std::string& o : mods[OUT]) link(o, "IN", o == mods[OUT].back() ? mods[MIX][0] : any(VALUES));
    }

    void write(int depth) {
        std::string text = chance(0.5) ? "#KSY_FORMAT_2\n" : "";
        text += "#_random_patch_" + path.substr(path.rfind('/') + 1) + "\nBEGIN_OBJECTS_DECLARE\n";
        for (const auto& o : objects) {
            std::string fields = o.second;
            if (o.first.compare(0, 6, "MIXER_") == 0) {
                const std::string& l = links[o.first];
                const int channels = static_cast<int>(std::count(l.begin(), l.end(), '='));
                for (int c = 0; c < channels; c++) {
                    fields += "V_" + two(c) + "=" + num(real(0.3f, 1)) + ";";
                    if (chance(0.05)) fields += "MUTE_" + two(c) + "=1;";
                }
            }
            text += o.first + ";" + fields + (fields.empty() ? ";\n" : "\n");
        }
        text += "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n";
        for (const std::string& t : targets) text += t + ";" + links[t] + "\n";
        text += "END_LINKS_DECLARE\n";
        std::ofstream(path) << text;
        listing = "---- " + path + (depth ? " (sub-patch)" : "") + "\n" + text + listing;
    }
};

/// The modules no patch file can declare, added to a loaded patch: a formant
/// filter, a phaser and an effect slot on MIXER_0, and sound inputs that hand
/// the sub-patches a parent's signal, gate and sync. Same seed, same additions.
void add_unfiled_modules(GENERATOR& g, std::uint32_t seed) {
    std::mt19937 rng(seed);
    auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };
    auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    std::vector<OUTPUT*> sound(g.vcos.begin(), g.vcos.end());
    sound.insert(sound.end(), g.samplers.begin(), g.samplers.end());
    sound.insert(sound.end(), g.pcfs.begin(), g.pcfs.end());
    auto any = [&] { return &sound[std::uniform_int_distribution<std::size_t>(0, sound.size() - 1)(rng)]->value; };
    MIXER* mixer = g.get_MIXER_by_name("MIXER_0");
    auto heard = [&](OUTPUT* m) {
        if (mixer != nullptr && mixer->channel_count < MIXER_CHANNELS) mixer->ajoute_en_entree(m, -1);
    };
    if (sound.empty()) return;
    if (chance(0.5)) {
        auto* f = new FORMANT_PCF;
        f->source = any(), f->vowel = real(0, 4.5f), f->mix = real(0.3f, 1), f->BYPASS = chance(0.1);
        g.add(f), heard(f);
    }
    if (chance(0.4)) {
        auto* p = new PHASER;
        p->source = any(), p->Range(real(100, 500), real(800, 3000)), p->Rate(real(0.1f, 3)), p->depth = real(0.2f, 1);
        g.add(p), heard(p);
    }
    if (chance(0.3)) {
        auto* d = new SFX_DELAY;
        d->source = any(), g.add(d), heard(d);
    }
    for (GENERATOR* sub : g.generators) {
        if (!chance(0.6)) continue;
        auto* in = new SOUND_INPUT;
        sub->add(in);
        sub->source = any();
        if (!g.sequencers.empty()) sub->gate_source = &g.sequencers[0]->gate;
        if (!g.keyboards.empty()) sub->sync_source = &g.keyboards[0]->pulse;
        if (!sub->mixers.empty()) sub->mixers.back()->ajoute_en_entree(in, -1);
        if (!sub->vcas.empty()) sub->vcas[0]->gate_source = &in->gate;
        if (!sub->vcos.empty()) sub->vcos[0]->sync_source = &in->pulse;
    }
}

/// What the panels and the remote control change while a patch plays: a few
/// parameters or cables of the patch or of its first sub-patch, drawn from (seed, call).
void change_parameters(GENERATOR& top, std::uint32_t seed, int call) {
    std::mt19937 rng(seed * 1000003u + static_cast<std::uint32_t>(call));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    GENERATOR& g = !top.generators.empty() && pick(0, 3) == 0 ? *top.generators[0] : top;
    auto one = [&](auto& list) { return list.empty() ? nullptr : list[pick(0, static_cast<int>(list.size()) - 1)]; };
    for (int n = pick(1, 3); n > 0; n--) {
        switch (pick(0, 10)) {
        case 0: if (VCO* v = one(g.vcos)) {
            const int what = pick(0, 3);
            if (what == 0) v->FREQ *= real(0.7f, 1.4f);
            if (what == 1) v->AMOUNT = real(0, 1);
            if (what == 2) v->POWER = !v->POWER;
            if (what == 3) v->PHASE = real(0, 3), v->PWM = real(-0.5f, 0.5f);
        } break;
        case 1: if (PCF* f = one(g.pcfs)) {
            f->set_HiCutOff(pick(100, 6000));
            f->Q = real(0.5f, 4), f->TYPE = pick(0, 7), f->BYPASS = pick(0, 4) == 0;
        } break;
        case 2: if (MIXER* m = one(g.mixers)) {
            const int c = pick(0, MIXER_CHANNELS - 1);
            m->level[c] = real(0, 1), m->mute[c] = pick(0, 3) == 0 ? 1.0f : 0.0f;
        } break;
        case 3: if (SEQUENCER* s = one(g.sequencers)) s->running = pick(0, 2) != 0, s->wished_divider = pick(3, 20); break;
        case 4: if (VCA* a = one(g.vcas)) {
            a->ATTACK = real(1, 40), a->RELEASE = real(5, 200);
            a->INVERT = pick(0, 5) == 0, a->POWER = pick(0, 5) != 0;
        } break;
        case 5: if (SAMPLER* s = one(g.samplers)) {
            s->pitch = real(0.5f, 2), s->amplitude = real(0.2f, 1), s->mode = pick(0, 3);
        } break;
        case 6: if (CONSTANTE* c = one(g.constantes)) c->VALUE = real(0, 2);
                if (BASIC_OPERATION* o = one(g.operations)) o->operation = pick(0, 17);
                break;
        case 7: if (KEYBOARD* k = one(g.keyboards)) {
            const int what = pick(0, 2);
            if (what == 0) k->TRIG(), k->set_note(pick(0, 11));
            if (what == 1) k->UNTRIG();
            if (what == 2) k->request = 1;
        } break;
        case 8: if (FORMANT_PCF* f = one(g.formant_pcfs)) f->vowel = real(0, 4.5f);
                if (PHASER* p = one(g.phasers)) p->feedback = real(0, 0.9f);
                break;
        // The noise oscillators draw from one sequence: one more or one less reorders the draws.
        case 9: if (VCO* v = one(g.vcos)) v->TYPE = pick(0, 2) == 0 ? SIN : pick(0, 1) ? NOISE_WHITE : NOISE_KEL; break;
        case 10: if (VCO* v = one(g.vcos)) {
            MIXER* heard = g.mixers.empty() ? nullptr : g.mixers.back();
            const int what = pick(0, 3);
            if (what == 0) unlink_port(input_port(v, "MOD_AMP"));
            if (what == 1) link_value_port(g, input_port(v, pick(0, 1) ? "MOD_AMP" : "MOD_PHASE"), one(g.vcos));
            if (what == 2 && heard) link_value_port(g, channel_port(heard, heard->channel_count), v);
            if (what == 3 && heard) {
                auto* added = new VCO(real(0.1f, 0.5f), real(100, 1000), pick(1, 9));
                g.add(added);
                link_value_port(g, channel_port(heard, heard->channel_count), added);
            }
        } break;
        }
    }
}

using Changes = std::function<void(GENERATOR&, int call)>;

/// A render: the sound, and at the end of each call every module's output word
/// (sub-patches' too) with its name, so that a module nobody hears is checked as well.
struct Rendered {
    std::vector<float> out, words;
    std::vector<std::string> names;

    void add_words(const GENERATOR& g, const std::string& at) {
        auto add = [&](const auto& list) {
            for (const auto* m : list) words.push_back(m->value), names.push_back(at + m->name);
        };
        add(g.sequencers), add(g.keyboards), add(g.vcos), add(g.mixers), add(g.samplers), add(g.vcas);
        add(g.pcfs), add(g.formant_pcfs), add(g.constantes), add(g.generators), add(g.variables);
        add(g.values), add(g.operations), add(g.sfx_delays), add(g.phasers), add(g.sound_outputs);
        for (const SEQUENCER* q : g.sequencers)
            words.push_back(static_cast<float>(q->gate)), names.push_back(at + q->name + " gate");
        for (const GENERATOR* sub : g.generators) add_words(*sub, at + sub->name + "/");
    }
};

/// `frames` frames of g through render(), the noise generator started at noise.
Rendered render(GENERATOR& g, bool blocks, std::uint32_t noise, const Changes& changes = nullptr, int frames = FRAMES) {
    g.blocks_enabled = blocks;
    kel_srand(noise);
    Rendered r;
    for (int call = 0, done = 0; done < frames; call++) {
        const int n = std::min(CHUNKS[call % std::size(CHUNKS)], frames - done);
        // Between two calls, as the window changes a playing patch: through an edit.
        if (changes) g.edit([&](GENERATOR& edited) { changes(edited, call); });
        std::unique_ptr<float[]> buffer(new float[n]);  // exactly n: a write past it is caught
        g.render(buffer.get(), n);
        r.out.insert(r.out.end(), buffer.get(), buffer.get() + n);
        r.add_words(g, "after call " + std::to_string(call) + ", ");
        done += n;
    }
    return r;
}

/// The first place where two series differ in any bit (NaNs included), described; "" when none.
std::string first_difference(const std::vector<float>& x, const std::vector<float>& y,
                             const std::function<std::string(std::size_t)>& where) {
    if (x.size() != y.size()) return "the lengths differ";
    for (std::size_t i = 0; i < x.size(); i++) {
        std::uint32_t a, b;
        std::memcpy(&a, &x[i], 4);
        std::memcpy(&b, &y[i], 4);
        if (a == b) continue;
        char m[120];
        std::snprintf(m, sizeof m, ": %.9g (0x%08x) against %.9g (0x%08x)", x[i], a, y[i], b);
        return where(i) + m;
    }
    return "";
}

std::string difference(const Rendered& stepped, const Rendered& blocked) {
    std::string d = first_difference(stepped.out, blocked.out, [](std::size_t i) { return "frame " + std::to_string(i); });
    if (d.empty()) d = first_difference(stepped.words, blocked.words, [&](std::size_t i) { return stepped.names[i]; });
    return d;
}

class BlockRender : public KsyTest {
protected:
    /// Loads the patch file; null (after a failure) when the load ends the program.
    std::unique_ptr<GENERATOR> load_patch(const RandomPatch& p) {
        std::string path = p.path;
        testing::internal::CaptureStdout();
        std::unique_ptr<GENERATOR> g;
        try {
            g = std::make_unique<GENERATOR>(&path[0]);
        } catch (const ExitCalled& e) {
            ADD_FAILURE() << "the load ended the program with status " << e.status << "\n" << p.listing;
        }
        testing::internal::GetCapturedStdout();
        return g;
    }

    /// Renders patch `seed` per sample and in blocks, with `changes` made between
    /// calls on both; returns the per-sample sound (empty when the load failed).
    std::vector<float> compare(std::uint32_t seed, const Changes& changes = nullptr) {
        const RandomPatch patch(seed, dir, 0);
        std::unique_ptr<GENERATOR> stepped = load_patch(patch), blocked = load_patch(patch);
        if (!stepped || !blocked) return {};
        EXPECT_EQ(std::make_tuple(stepped->vcos.size(), stepped->samplers.size(), stepped->generators.size()),
                  std::make_tuple(patch.mods[OSC].size() + patch.mods[LFO].size(), patch.mods[SMP].size(),
                                  patch.mods[SUB].size())) << "modules lost\n" << patch.listing;
        add_unfiled_modules(*stepped, seed);
        add_unfiled_modules(*blocked, seed);
        // One after the other: the noise oscillators share one generator.
        const Rendered a = render(*stepped, false, seed + 1, changes);
        const Rendered b = render(*blocked, true, seed + 1, changes);
        const std::string diff = difference(a, b);
        EXPECT_TRUE(diff.empty()) << "seed " << seed << ", per sample against in blocks: " << diff << "\n" << patch.listing;
        return a.out;
    }
};

TEST_F(BlockRender, RandomPatchesRenderTheSameInBlocks) {
    int sounding = 0;
    for (std::uint32_t seed = 1; seed <= PATCHES; seed++) {
        const std::vector<float> out = compare(seed);
        const auto heard = std::count_if(out.begin(), out.end(), [](float v) { return v != 0.0f && std::isfinite(v); });
        const auto clipped = std::count_if(out.begin(), out.end(), [](float v) { return std::fabs(v) >= 1.0f; });
        sounding += heard > FRAMES / 10 && clipped < FRAMES / 2;
    }
    // Silent or saturated patches would prove little.
    EXPECT_GE(sounding, PATCHES * 9 / 10);
}

TEST_F(BlockRender, ParametersAndCablesChangedBetweenCallsApplyAlike) {
    for (std::uint32_t seed = 101; seed <= 106; seed++)
        compare(seed, [seed](GENERATOR& g, int call) { change_parameters(g, seed, call); });
}

TEST_F(BlockRender, SampleBySampleRenderIsEvolueThenValue) {
    const RandomPatch patch(9, dir, 0);  // a sub-patch, samplers, a noise oscillator
    std::unique_ptr<GENERATOR> rendered = load_patch(patch), stepped = load_patch(patch);
    ASSERT_TRUE(rendered && stepped);
    const std::vector<float> a = render(*rendered, false, 5, nullptr, FRAMES / 4).out;
    kel_srand(5);
    std::vector<float> b(FRAMES / 4);
    for (float& v : b) stepped->evolue(), v = stepped->value;
    EXPECT_EQ(first_difference(b, a, [](std::size_t i) { return "frame " + std::to_string(i); }), "")
        << "evolue() against render() per sample\n" << patch.listing;
}

}  // namespace
