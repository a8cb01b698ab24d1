// Value modules: constant, sample-and-hold, display value, sound output, and
// every operation of BASIC_OPERATION.
#include <gtest/gtest.h>

#include <cmath>

#include "synth/values.h"

namespace {

struct OpCase {
    int type;
    float a, b, c;
    bool if_linked;
    float expected;
};

float run_op(const OpCase& k, float start = -7.0f) {
    OUTPUT a, b, c;
    a.value = k.a;
    b.value = k.b;
    c.value = k.c;
    INPUT in1(&a), in2(&b), in_if(&c);
    BASIC_OPERATION op;
    op.value = start;
    op.operation = k.type;
    op.IN1 = &in1;
    op.IN2 = &in2;
    if (k.if_linked) op.IN_IF = &in_if;
    op.evolue();
    return op.value;
}

}  // namespace

class BasicOperationRows : public ::testing::TestWithParam<OpCase> {};

TEST_P(BasicOperationRows, GivesTheRowsResult) {
    const OpCase& k = GetParam();
    EXPECT_EQ(run_op(k), k.expected) << "type " << k.type << " a " << k.a << " b " << k.b;
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, BasicOperationRows,
    ::testing::Values(
        OpCase{1, 1.5f, 2.25f, 0, false, 3.75f}, OpCase{2, 1.5f, 2.25f, 0, false, -0.75f},
        OpCase{3, 3.0f, 4.0f, 0, false, 0.75f}, OpCase{4, 1.5f, -2.0f, 0, false, -3.0f},
        OpCase{5, 3.9f, 2.2f, 0, false, 2.0f},       // 3 & 2
        OpCase{5, -3.9f, 7.0f, 0, false, 5.0f},      // -3 & 7 (two's complement)
        OpCase{6, 3.0f, 0.0f, 0, false, 1.0f}, OpCase{6, 3.0f, 1.0f, 0, false, 0.0f},
        OpCase{6, 2.0f, 0.0f, 0, false, 0.0f},
        OpCase{7, 4.7f, 1.2f, 0, false, 5.0f},       // 4 | 1
        OpCase{8, 4.0f, 0.0f, 0, false, 5.0f}, OpCase{8, 4.0f, 2.0f, 0, false, 4.0f},
        OpCase{9, 0.0f, 9.0f, 0, false, 1.0f}, OpCase{9, 0.5f, 9.0f, 0, false, 0.0f},
        // xor: exactly one of int(a), int(b) non-zero
        OpCase{10, 1.0f, 1.0f, 0, false, 0.0f}, OpCase{10, 0.0f, 2.0f, 0, false, 1.0f},
        OpCase{10, -3.0f, 0.7f, 0, false, 1.0f},     // 0.7 truncates to 0
        OpCase{10, 0.4f, -0.9f, 0, false, 0.0f},     // both truncate to 0
        OpCase{11, 2.0f, 2.0f, 0, false, 1.0f}, OpCase{11, 2.0f, 2.5f, 0, false, 0.0f},
        OpCase{12, 2.0f, 2.5f, 0, false, 1.0f}, OpCase{12, 2.0f, 2.0f, 0, false, 0.0f},
        OpCase{13, 3.0f, 2.0f, 0, false, 1.0f}, OpCase{13, 2.0f, 2.0f, 0, false, 0.0f},
        OpCase{14, 1.0f, 2.0f, 0, false, 1.0f}, OpCase{14, 2.0f, 2.0f, 0, false, 0.0f},
        OpCase{15, 2.0f, 2.0f, 0, false, 1.0f}, OpCase{15, 1.0f, 2.0f, 0, false, 0.0f},
        OpCase{16, 2.0f, 2.0f, 0, false, 1.0f}, OpCase{16, 3.0f, 2.0f, 0, false, 0.0f},
        OpCase{17, 0.25f, 0.75f, 1.0f, true, 0.25f},
        OpCase{17, 0.25f, 0.75f, 0.0f, true, 0.75f},
        OpCase{17, 0.25f, 0.75f, 1.0f, false, 0.75f},  // IN_IF unlinked counts as 0
        OpCase{0, 1.0f, 2.0f, 0, false, -7.0f},        // holds its output
        OpCase{18, 1.0f, 2.0f, 0, false, -7.0f}, OpCase{-1, 1.0f, 2.0f, 0, false, -7.0f}));

TEST(BasicOperation, NeedsBothOperandsAndDefaultsToAddition) {
    OUTPUT a;
    a.value = 2.0f;
    INPUT in1(&a);
    BASIC_OPERATION op;
    EXPECT_EQ(op.operation, 1);
    op.IN1 = &in1;
    op.value = 5.0f;
    for (int type : {1, 9, 17}) {
        op.operation = type;
        op.evolue();
        EXPECT_EQ(op.value, 0.0f) << type;
    }
    INPUT dangling;  // allocated but never pointed anywhere
    op.IN2 = &dangling;
    op.evolue();
    EXPECT_EQ(op.value, 0.0f);
}

TEST(BasicOperation, DivisionByZeroAndHugeLogicOperandsAreSafe) {
    EXPECT_TRUE(std::isinf(run_op({3, 1.0f, 0.0f, 0, false, 0})));
    EXPECT_TRUE(std::isnan(run_op({3, 0.0f, 0.0f, 0, false, 0})));
    // Beyond the int range the operand stops at its end instead of being undefined.
    EXPECT_EQ(run_op({5, 1e20f, 1.0f, 0, false, 0}), 1.0f);
    EXPECT_EQ(run_op({7, NAN, 2.0f, 0, false, 0}), 2.0f);
}

TEST(ValueModules, ConstantVariableDisplayAndOutput) {
    CONSTANTE k(4.0f);
    EXPECT_EQ(k.value, 4.0f);  // computed at construction
    k.VALUE = -1.5f;
    k.evolue();
    EXPECT_EQ(k.value, -1.5f);

    OUTPUT in, assign;
    INPUT assign_link(&assign);
    VARIABLE v(0.25f);
    EXPECT_EQ(v.value, 0.25f);
    v.source = &in.value;
    v.IN_ASSIGN = &assign_link;
    in.value = 0.8f;
    assign.value = 0.999f;
    v.evolue();
    EXPECT_EQ(v.value, 0.25f);  // holds unless the assign is exactly 1.0
    assign.value = 1.0f;
    v.evolue();
    EXPECT_EQ(v.value, 0.8f);
    assign.value = 0.0f;
    in.value = -0.3f;
    v.evolue();
    EXPECT_EQ(v.value, 0.8f);

    VALEUR shown;
    shown.evolue();
    EXPECT_EQ(shown.value, 0.0f);
    shown.source = &in.value;
    shown.evolue();
    EXPECT_EQ(shown.value, -0.3f);
    EXPECT_EQ(shown.shown, -0.3f);

    SOUND_OUTPUT out;
    out.evolue();
    EXPECT_EQ(out.value, 0.0f);
    INPUT dangling;
    out.IN = &dangling;
    out.evolue();
    EXPECT_EQ(out.value, 0.0f);
    INPUT link(&in);
    out.IN = &link;
    out.evolue();
    EXPECT_EQ(out.value, -0.3f);

    OPERATION bare;
    bare.value = 3.0f;
    bare.evolue();
    EXPECT_EQ(bare.value, 0.0f);
}
