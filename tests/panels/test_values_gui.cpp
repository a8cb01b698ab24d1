// The constant, value, variable and operation panels without a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "panels/panel_common.h"
#include "panels/values_gui.h"
#include "tests/panels/panel_messages.h"

namespace {

struct ValuePanels : ::testing::Test {
    std::vector<OBJET*> made;
    template <class P, class M>
    P* panel(M* module) {
        made.push_back(new P(module, 0, 0, "3"));
        return static_cast<P*>(made.back());
    }
    void TearDown() override {
        for (OBJET* p : made) destroy_panel(p);
    }
};
}  // namespace

TEST_F(ValuePanels, ConstantKnobBands) {
    struct { float start; int direction; float expected; } rows[] = {
        {4, DOWN, 4.0125f}, {4, UP, 3.9875f}, {0.0005f, UP, 0.001f}, {0, DOWN, 0.001f},  // floor 0.001
        {22050, DOWN, 22051}, {22050, UP, 22049},
        {-1.5f, DOWN, -1.4875f}, {-1.5f, UP, -1.5125f}, {-50, DOWN, -48.5f},  // by the band of its size
        {-0.002f, DOWN, 0.001125f},                                          // across zero
    };
    CONSTANTE c(4.0f);
    auto* p = panel<CONSTANTE_GUI>(&c);
    EXPECT_EQ(caption(p, "LABEL_CST_VALUE"), " 4.000");
    for (const auto& r : rows) {
        c.VALUE = r.start;
        post(p, "SLD_VALUE", r.direction);
        EXPECT_FLOAT_EQ(c.VALUE, r.expected) << r.start << " " << r.direction;
    }
    EXPECT_EQ(caption(p, "LABEL_CST_VALUE"), " 0.001");
}

TEST_F(ValuePanels, ConstantButtonsStepByOneAndNegativesStayReachable) {
    CONSTANTE c(0.5f);
    auto* p = panel<CONSTANTE_GUI>(&c);
    click(p, "BUTTON_OCT_DOWN");
    click(p, "BUTTON_OCT_DOWN");
    EXPECT_EQ(c.VALUE, -1.5f);
    EXPECT_EQ(caption(p, "LABEL_CST_VALUE"), "-1.500");
    post(p, "SLD_VALUE", DOWN);  // the knob keeps it negative
    EXPECT_FLOAT_EQ(c.VALUE, -1.4875f);
    click(p, "BUTTON_OCT_UP");
    EXPECT_FLOAT_EQ(c.VALUE, -0.4875f);

    p->toggle_view_mode(2);  // outside the normal view the knob does nothing
    post(p, "SLD_VALUE", DOWN);
    EXPECT_FLOAT_EQ(c.VALUE, -0.4875f);
}

TEST_F(ValuePanels, OperationCyclesWithItsNameAndPicture) {
    BASIC_OPERATION op, none;
    op.operation = OP_MUL;
    none.operation = OP_NONE;
    auto* p = panel<BASIC_OPERATION_GUI>(&op);
    EXPECT_EQ(caption(p, "LABEL_OPERATION"), "multiplication");
    EXPECT_EQ(picture(p, "TYPE"), "DISP_OPERATION_04");
    auto* blank = panel<BASIC_OPERATION_GUI>(&none);
    EXPECT_EQ(caption(blank, "LABEL_OPERATION"), "");
    EXPECT_EQ(picture(blank, "TYPE"), "");

    struct { int start, button, expected; const char *name, *picture; } rows[] = {
        {17, SDL_BUTTON_LEFT, 1, "addition", "DISP_OPERATION_01"},
        {1, SDL_BUTTON_WHEELDOWN, 17, "Switch", "DISP_OPERATION_17"},
        {9, SDL_BUTTON_WHEELUP, 10, "xor", "DISP_OPERATION_10"},
        {5, SDL_BUTTON_MIDDLE, 5, "and", "DISP_OPERATION_05"},  // unchanged, shown again
        {0, SDL_BUTTON_WHEELDOWN, 17, "Switch", "DISP_OPERATION_17"},
        {30, SDL_BUTTON_WHEELDOWN, 29, "", ""},  // no such operation: blank
    };
    for (const auto& r : rows) {
        op.operation = r.start;
        click(p, "TYPE", r.button);
        EXPECT_EQ(op.operation, r.expected) << r.start << " button " << r.button;
        EXPECT_EQ(caption(p, "LABEL_OPERATION"), r.name);
        EXPECT_EQ(picture(p, "TYPE"), r.picture);
    }
}

TEST_F(ValuePanels, DisplaysFollowTheirModules) {
    VALEUR v;
    std::snprintf(v.name, sizeof v.name, "%s", "AFFICHAGE_7");
    auto* vp = panel<VALEUR_GUI>(&v);
    vp->evolue();
    EXPECT_EQ(picture(vp, "LAMPE"), "CHK_1_OFF");
    EXPECT_EQ(caption(vp, "label_NAME"), "AFFICHAGE_7");
    v.value = v.shown = 0.0001f;
    vp->evolue();
    EXPECT_EQ(picture(vp, "LAMPE"), "CHK_1_ON");  // lit although the text rounds to 0
    EXPECT_EQ(caption(vp, "LABEL_CST_VALUE"), " 0.000");

    VARIABLE var(2.5f);
    auto* wp = panel<VARIABLE_GUI>(&var);
    wp->evolue();
    EXPECT_EQ(caption(wp, "LABEL_VAR_VALUE"), " 2.500");
    wp->toggle_view_mode(2);  // the reduced view leaves the text alone
    var.stored = -7.25f;
    wp->evolue();
    EXPECT_EQ(caption(wp, "LABEL_VAR_VALUE"), " 2.500");
}
