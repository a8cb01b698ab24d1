// The demonstration panel: one knob, one button and a read-out, from
// "RC/DEMO.RC". It shows the widgets at work before any module has a panel,
// and reports what it receives on standard output.
#pragma once

#include "engine/objet.h"

class DEMO_PANEL : public OBJET {
public:
    DEMO_PANEL(int x, int y);
    /// Reports hover notices, the knob's angle and the button's state when
    /// they change, and shows the angle in the read-out. Returns 0.
    int evolue() override;

private:
    int reported_angle = 0;
    int reported_state = 0;
};
