// Signal ports: the small bases every module inherits to exchange values.
//
// There is no signal buffer: an output holds one word, an input points at the
// word of the output that feeds it, and the patch steps every module once per
// sample. Every port word is a single aligned word written whole, so the
// interface thread can relink or retune while the audio thread runs.
#pragma once

#include <vector>

/// A module's current output value (a sample, or a control value such as Hz).
class OUTPUT {
public:
    /// The current output: sample in -1..1 or control value (Hz, level, ...).
    float value = 0.0f;

    OUTPUT() = default;
    /// One step of the owner; the bare port has nothing to compute.
    virtual int evolue() { return 1; }
};

/// A value input: points at the `value` of the output that feeds it.
class INPUT {
public:
    /// The fed output's value word; null while unconnected.
    float* source = nullptr;

    INPUT() = default;
    /// Linked to o: reads o's value as it is at the time of reading.
    explicit INPUT(OUTPUT* o) : source(o ? &o->value : nullptr) {}
};

/// A gate output: 1 open, 0 closed, plus the time since the last trigger.
class OUTPUT_GATE {
public:
    /// Samples counted since the last TRIG.
    float age = 0.0f;
    /// 1 = open, 0 = closed.
    int gate;

    explicit OUTPUT_GATE(int initial_gate) : gate(initial_gate) {}
    /// Opens the gate and restarts the age count.
    void TRIG() { gate = 1; age = 0.0f; }
    /// Closes the gate; the age keeps counting.
    void UNTRIG() { gate = 0; }
    /// Counts one sample of age.
    virtual int evolue() { age += 1.0f; return 1; }
};

/// A gate input: points at the `gate` word of the gate output that feeds it.
class INPUT_GATE {
public:
    /// The fed gate word (1 open); null while unconnected.
    int* gate_source = nullptr;

    INPUT_GATE() = default;
    explicit INPUT_GATE(OUTPUT_GATE* g) : gate_source(g ? &g->gate : nullptr) {}
    /// Every module with a gate input steps itself through this base too.
    virtual int evolue() = 0;
};

/// A sync output: a request becomes a pulse that lasts exactly one step.
class OUTPUT_SYNC {
public:
    /// Set to 1 by whoever wants a pulse (a keyboard panel, for instance).
    int request = 0;
    /// 1 during the one step that follows a request, else 0.
    int pulse = 0;

    /// The argument is ignored: a sync output always starts quiet.
    explicit OUTPUT_SYNC(int) {}
    virtual int evolue() {
        if (request == 1) {
            request = 0;
            pulse = 1;
        } else {
            pulse = 0;
        }
        return 1;
    }
};

/// A sync input: points at the `pulse` word of the sync output that feeds it.
class INPUT_SYNC {
public:
    /// The fed pulse word; null while unconnected. Fires while non-zero.
    int* sync_source = nullptr;

    INPUT_SYNC() = default;
    explicit INPUT_SYNC(OUTPUT_SYNC* s) : sync_source(s ? &s->pulse : nullptr) {}
};

/// A named list of value inputs, newest first. The names are literals (not owned).
class INPUTS {
public:
    /// The value words the inputs read; null while unconnected.
    std::vector<float*> sources;
    /// The inputs' names, parallel to `sources`.
    std::vector<const char*> names;

    /// Adds an input at the front of both lists.
    void add_input(const char* name, float* source) {
        sources.insert(sources.begin(), source);
        names.insert(names.begin(), name);
    }
};

/// True when an allocated extra input (MOD_*, ALT_*, IN1, ...) is connected to a source.
inline bool linked(const INPUT* in) { return in != nullptr && in->source != nullptr; }

/// The value an extra input reads; call only when `linked(in)`.
inline float read(const INPUT* in) { return *in->source; }
