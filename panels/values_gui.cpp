#include "panels/values_gui.h"

#include <cstdio>
#include <limits>

#include "panels/panel_common.h"
#include "panels/vco_gui.h"

namespace {

// A negative constant steps by the band of its size, the frequency knob's
// bands mirrored, except that the finest band reaches down to 0: every
// negative value moves both ways, and raising one near 0 crosses to positive.
const KNOB_BAND NEGATIVE_SIZE_BANDS[] = {
    {50, true, std::numeric_limits<double>::infinity(), false, 1},
    {20, true, 50, false, 0.5},
    {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},
    {0.1, false, 1, false, 0.00625},
    {0, false, 0.1, false, 0.003125},
};

// Names of the operations 1..17 (the module's numbers).
const char* const OPERATION_NAMES[] = {
    "addition", "soustraction", "division", "multiplication", "and", "nand", "or", "nor", "not",
    "xor",      "==",           "!=",       ">",              "<",   ">=",   "<=", "Switch",
};
constexpr int OPERATIONS = 17;


}  // namespace

float step_constant_knob(float value, int direction) {
    if (value >= 0.0f) return step_frequency_knob(value, direction);
    // The size shrinks as the value rises.
    return -step_bands(-value, NEGATIVE_SIZE_BANDS, -direction);
}

// ------------------------------------------------------------- sound output

SOUND_OUTPUT_GUI::SOUND_OUTPUT_GUI(SOUND_OUTPUT* m, int px, int py, const char* name)
    : OBJET(px, py, name), module(m) {
    build_panel(this, "VARIABLE_%s", "RC/BACK_SOUND_OUTPUT.RC", "RC/SOUND_OUTPUT.RC");
}

int SOUND_OUTPUT_GUI::evolue() {
    OBJET::evolue();
    return 0;
}

// -------------------------------------------------------------------- value

VALEUR_GUI::VALEUR_GUI(VALEUR* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "VAL_%s", "RC/BACK_AFFICHAGE.RC", "RC/AFFICHAGE.RC");
    set_label(this, "label_NAME", "%s", module->name);
}

int VALEUR_GUI::evolue() {
    if (view_mode == 1) {
        set_label(this, "LABEL_CST_VALUE", "%6.3f", (double)module->shown);
        set_picture(this, "LAMPE", module->shown != 0.0f ? "CHK_1_ON" : "CHK_1_OFF");
    }
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}

// ----------------------------------------------------------------- constant

CONSTANTE_GUI::CONSTANTE_GUI(CONSTANTE* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "CONSTANTE_%s", "RC/BACK_CONSTANTE.RC", "RC/CONSTANTE.RC");
    set_label(this, "LABEL_CST_VALUE", "%6.3f", (double)module->VALUE);
}

void CONSTANTE_GUI::handle(const MESSAGE& m) {
    const int direction = knob_direction(m);
    if (direction != 0 && is_widget(this, m.target, "SLD_VALUE")) {
        module->VALUE = step_constant_knob(module->VALUE, direction);
        set_label(this, "LABEL_CST_VALUE", "%6.3f", (double)module->VALUE);
    }
    if (!is_click(m)) return;
    // The buttons move by whole units, with no limit.
    if (is_widget(this, m.target, "BUTTON_OCT_UP")) module->VALUE = module->VALUE + 1.0f;
    if (is_widget(this, m.target, "BUTTON_OCT_DOWN")) module->VALUE = module->VALUE - 1.0f;
    set_label(this, "LABEL_CST_VALUE", "%6.3f", (double)module->VALUE);
}

int CONSTANTE_GUI::evolue() {
    if (view_mode == 1)
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) handle(*it);
    OBJET::evolue();
    return 0;
}

// ----------------------------------------------------------------- variable

VARIABLE_GUI::VARIABLE_GUI(VARIABLE* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "VARIABLE_%s", "RC/BACK_VARIABLE.RC", "RC/VARIABLE.RC");
    set_label(this, "label_NAME", "%s", module->name);
}

int VARIABLE_GUI::evolue() {
    if (view_mode == 1) set_label(this, "LABEL_VAR_VALUE", "%6.3f", (double)module->stored);
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}

// ---------------------------------------------------------------- operation

BASIC_OPERATION_GUI::BASIC_OPERATION_GUI(BASIC_OPERATION* m, int px, int py, const char* name)
    : OBJET(px, py, name), module(m) {
    build_panel(this, "CONSTANTE_%s", "RC/BACK_OPERATION.RC", "RC/OPERATION.RC");
    set_label(this, "label_NAME", "%s", module->name);
    show_operation();
}

void BASIC_OPERATION_GUI::show_operation() {
    const int op = module->operation;
    if (op < 1 || op > OPERATIONS) {
        // No such operation (a patch file's number): the module holds its
        // output, and the panel shows nothing.
        show_or_blank(this, "TYPE", nullptr);
        set_label(this, "LABEL_OPERATION", "%s", "");
        return;
    }
    char picture[KEL_NAME_SIZE];
    std::snprintf(picture, sizeof picture, "DISP_OPERATION_%02d", op);
    show_or_blank(this, "TYPE", picture);
    set_label(this, "LABEL_OPERATION", "%s", OPERATION_NAMES[op - 1]);
}

int BASIC_OPERATION_GUI::evolue() {
    if (view_mode == 1) {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (!is_click(*it) || !is_widget(this, it->target, "TYPE")) continue;
            const int op = module->operation;
            const int button = it->sdl_event.button.button;
            if (button == SDL_BUTTON_LEFT || button == SDL_BUTTON_WHEELUP)
                module->operation = op > OPERATIONS - 1 ? 1 : op + 1;
            else if (button == SDL_BUTTON_WHEELDOWN)
                module->operation = op < 2 ? OPERATIONS : op - 1;
            show_operation();
        }
    }
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
