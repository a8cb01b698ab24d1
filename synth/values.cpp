#include "synth/values.h"

#include "synth/names.h"
#include "synth/signal.h"

// ---------------------------------------------------------------- constant

CONSTANTE::CONSTANTE(float v) : VALUE(v) {
    copy_name(name, "Emptynamed_CONSTANTE");
    evolue();
}

int CONSTANTE::evolue() {
    value = VALUE;
    return 1;
}

// ---------------------------------------------------------------- variable

VARIABLE::VARIABLE(float v) : stored(v) {
    source = nullptr;
    copy_name(name, "Emptynamed_VARIABLE");
    evolue();
}

int VARIABLE::evolue() {
    if (linked(IN_ASSIGN) && read(IN_ASSIGN) == 1.0f && source != nullptr) stored = *source;
    value = stored;
    return 1;
}

// ---------------------------------------------------------------- display value

VALEUR::VALEUR() {
    source = nullptr;
    copy_name(name, "Emptynamed_AFFICHAGE");
    evolue();
}

int VALEUR::evolue() {
    value = source != nullptr ? *source : 0.0f;
    shown = value;
    return 1;
}

// ---------------------------------------------------------------- operations

OPERATION::OPERATION() {
    copy_name(name, "Emptynamed_BASIC_OPERATION");
    value = 0.0f;
}

int OPERATION::evolue() {
    value = 0.0f;
    return 1;
}

BASIC_OPERATION::BASIC_OPERATION() { evolue(); }

namespace {
// Results of the logic and comparison rows, as the float the output holds.
float logic(bool b) { return b ? 1.0f : 0.0f; }
}  // namespace

float BASIC_OPERATION::apply(int operation, float a, float b, float c, float held) {
    const int ia = truncate_to_int(a);
    const int ib = truncate_to_int(b);
    switch (operation) {
    case OP_ADD: return a + b;
    case OP_SUB: return a - b;
    case OP_DIV: return a / b;  // IEEE rules: x/0 is an infinity or NaN
    case OP_MUL: return a * b;
    case OP_AND: return static_cast<float>(ia & ib);
    case OP_NAND: return b == 0.0f ? static_cast<float>(ia & 1) : 0.0f;
    case OP_OR: return static_cast<float>(ia | ib);
    case OP_NOR: return b == 0.0f ? static_cast<float>(ia | 1) : static_cast<float>(ia);
    case OP_NOT: return logic(a == 0.0f);
    case OP_XOR: return logic((ia != 0) != (ib != 0));  // exactly one operand non-zero
    case OP_EQ: return logic(a == b);
    case OP_NE: return logic(a != b);
    case OP_GT: return logic(a > b);
    case OP_LT: return logic(a < b);
    case OP_GE: return logic(a >= b);
    case OP_LE: return logic(a <= b);
    case OP_SWITCH: return c != 0.0f ? a : b;
    default: return held;  // 0 and unknown numbers hold the output
    }
}

int BASIC_OPERATION::evolue() {
    if (!linked(IN1) || !linked(IN2)) {
        value = 0.0f;
        return 1;
    }
    value = apply(operation, read(IN1), read(IN2), linked(IN_IF) ? read(IN_IF) : 0.0f, value);
    return 1;
}

void BASIC_OPERATION::operate_block(const float* in1, const float* in2, const float* in_if, float* out, int n) {
    if (in1 == nullptr || in2 == nullptr) {
        for (int t = 0; t < n; t++) out[t] = 0.0f;
    } else {
        const int op = operation;
        float held = value;
        for (int t = 0; t < n; t++) out[t] = held = apply(op, in1[t], in2[t], in_if != nullptr ? in_if[t] : 0.0f, held);
    }
    value = out[n - 1];
}

// ---------------------------------------------------------------- sound output and input

SOUND_OUTPUT::SOUND_OUTPUT() {
    copy_name(name, "Emptynamed_SOUND_OUT");
    evolue();
}

int SOUND_OUTPUT::evolue() {
    value = linked(IN) ? read(IN) : 0.0f;
    return 1;
}

SOUND_INPUT::SOUND_INPUT() : OUTPUT_GATE(0), OUTPUT_SYNC(0) {
    INPUT::source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
    copy_name(name, "Emptynamed_SOUND_INPUT");
}

int SOUND_INPUT::evolue() {
    value = source != nullptr ? *source : 0.0f;
    gate = gate_source != nullptr ? *gate_source : 0;
    pulse = sync_source != nullptr ? *sync_source : 0;
    return 1;
}

SFX_DELAY::SFX_DELAY() {
    source = nullptr;
    copy_name(name, "Emptynamed_SFX_DELAY");
}

int SFX_DELAY::evolue() {
    value = source != nullptr ? *source : 0.0f;
    return 1;
}
