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

int BASIC_OPERATION::evolue() {
    if (!linked(IN1) || !linked(IN2)) {
        value = 0.0f;
        return 1;
    }
    const float a = read(IN1);
    const float b = read(IN2);
    const float c = linked(IN_IF) ? read(IN_IF) : 0.0f;
    const int ia = truncate_to_int(a);
    const int ib = truncate_to_int(b);
    switch (operation) {
    case OP_ADD: value = a + b; break;
    case OP_SUB: value = a - b; break;
    case OP_DIV: value = a / b; break;  // IEEE rules: x/0 is an infinity or NaN
    case OP_MUL: value = a * b; break;
    case OP_AND: value = static_cast<float>(ia & ib); break;
    case OP_NAND: value = b == 0.0f ? static_cast<float>(ia & 1) : 0.0f; break;
    case OP_OR: value = static_cast<float>(ia | ib); break;
    case OP_NOR: value = b == 0.0f ? static_cast<float>(ia | 1) : static_cast<float>(ia); break;
    case OP_NOT: value = logic(a == 0.0f); break;
    // Patches rely on this row as it always was: true when either operand is non-zero.
    case OP_XOR: value = logic(ia != 0 || ib != 0); break;
    case OP_EQ: value = logic(a == b); break;
    case OP_NE: value = logic(a != b); break;
    case OP_GT: value = logic(a > b); break;
    case OP_LT: value = logic(a < b); break;
    case OP_GE: value = logic(a >= b); break;
    case OP_LE: value = logic(a <= b); break;
    case OP_SWITCH: value = c != 0.0f ? a : b; break;
    default: break;  // 0 and unknown numbers hold the output
    }
    return 1;
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
