// Control-value modules: constant, sample-and-hold variable, display value,
// arithmetic operation, and the sound output and input of a patch.
#pragma once

#include "synth/ports.h"
#include "synth/shared_word.h"

/// A fixed value.
class CONSTANTE : public OUTPUT {
public:
    SHARED<float> VALUE; ///< the constant
    char name[800];  ///< module name, holds "CONSTANTE"

    explicit CONSTANTE(float v);
    int evolue() override;
};

/// Sample-and-hold: takes IN while IN_ASSIGN reads exactly 1.0, holds otherwise.
class VARIABLE : public OUTPUT, public INPUT {
public:
    INPUT* IN_ASSIGN = nullptr;  ///< the assign signal; allocated by the links loader
    float stored;                ///< the held value
    char name[800];              ///< module name, holds "VARIABLE"

    explicit VARIABLE(float v);
    int evolue() override;
};

/// A value shown on its panel: copies IN.
class VALEUR : public INPUT, public OUTPUT {
public:
    SHARED<float> shown = 0.0f;  ///< copy of the output, for the panel
    char name[800];      ///< module name, holds "AFFICHAGE"

    VALEUR();
    int evolue() override;
};

/// An operation on two operands and a condition; the bare operation outputs 0.
class OPERATION : public OUTPUT {
public:
    INPUT* IN1 = nullptr;    ///< first operand
    INPUT* IN2 = nullptr;    ///< second operand
    INPUT* IN_IF = nullptr;  ///< condition of the switch
    char name[800];          ///< module name, holds "BASIC_OPERATION"

    OPERATION();
    int evolue() override;
};

/// Operation numbers of BASIC_OPERATION (its TYPE); 0 and above 17 hold the output.
enum {
    OP_NONE = 0, OP_ADD = 1, OP_SUB = 2, OP_DIV = 3, OP_MUL = 4,
    OP_AND = 5, OP_NAND = 6, OP_OR = 7, OP_NOR = 8, OP_NOT = 9, OP_XOR = 10,
    OP_EQ = 11, OP_NE = 12, OP_GT = 13, OP_LT = 14, OP_GE = 15, OP_LE = 16,
    OP_SWITCH = 17,
};

/// Arithmetic, logic, comparison and switch of IN1 and IN2 (and IN_IF).
class BASIC_OPERATION : public OPERATION {
public:
    SHARED<int> operation = OP_ADD;  ///< operation number, 0..17

    BASIC_OPERATION();
    int evolue() override;
    /// The output for operands a, b and condition c; `held` is the output so far
    /// (kept by operation 0 and unknown numbers).
    static float apply(int operation, float a, float b, float c, float held);
    /// n samples at once, as n evolue() would give them: in1, in2 and in_if
    /// hold the inputs at each sample (null: not linked).
    void operate_block(const float* in1, const float* in2, const float* in_if, float* out, int n);
};

/// What a patch sends out: copies IN. The first one of a patch is its sound.
class SOUND_OUTPUT : public OUTPUT {
public:
    INPUT* IN = nullptr;  ///< the sound; allocated by the links loader
    char name[800];       ///< module name, holds "SOUND_OUT"

    SOUND_OUTPUT();
    int evolue() override;
};

/// Where a sub-patch's external inputs come in. The parent hands its own value,
/// gate and sync inputs to the first sound input of the sub-patch at each sample;
/// the sound input outputs the value and repeats the gate and the sync pulse on
/// its own gate and sync outputs, so modules inside the sub-patch can link to them.
class SOUND_INPUT : public OUTPUT, public OUTPUT_GATE, public OUTPUT_SYNC,
                    public INPUT, public INPUT_GATE, public INPUT_SYNC {
public:
    char name[800];  ///< module name

    SOUND_INPUT();
    int evolue() override;
};

/// An effect slot stepped late in the patch order. No effect of this kind is
/// defined yet: it passes its input through unchanged.
class SFX_DELAY : public INPUT, public OUTPUT {
public:
    char name[800];  ///< module name

    SFX_DELAY();
    int evolue() override;
};
