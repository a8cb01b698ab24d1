// The panels of the small modules: the sound output, the value display, the
// constant, the variable and the arithmetic operation.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

/// The sound output's panel: a face without controls.
class SOUND_OUTPUT_GUI : public OBJET {
public:
    SOUND_OUTPUT* module;  ///< not owned
    SOUND_OUTPUT_GUI(SOUND_OUTPUT* module, int x, int y, const char* name);
    int evolue() override;
};

/// Shows a value and a lamp lit while it is not 0.
class VALEUR_GUI : public OBJET {
public:
    VALEUR* module;  ///< not owned, never null
    VALEUR_GUI(VALEUR* module, int x, int y, const char* name);
    int evolue() override;
};

/// Edits a constant: a knob for fine steps, two buttons for whole ones.
class CONSTANTE_GUI : public OBJET {
public:
    CONSTANTE* module;  ///< not owned, never null
    CONSTANTE_GUI(CONSTANTE* module, int x, int y, const char* name);
    int evolue() override;

private:
    void handle(const MESSAGE& m);
};

/// Shows the value a variable holds.
class VARIABLE_GUI : public OBJET {
public:
    VARIABLE* module;  ///< not owned, never null
    VARIABLE_GUI(VARIABLE* module, int x, int y, const char* name);
    int evolue() override;
};

/// Chooses the operation by clicks and wheel turns on its display.
class BASIC_OPERATION_GUI : public OBJET {
public:
    BASIC_OPERATION* module;  ///< not owned, never null
    BASIC_OPERATION_GUI(BASIC_OPERATION* module, int x, int y, const char* name);
    int evolue() override;

private:
    /// Shows the operation's picture and name, or a blank display and no name.
    void show_operation();
};

/// One message of the constant's knob: direction +1 ("SLD_DOWN") raises,
/// -1 lowers, by the frequency knob's bands. A value that was not negative
/// stays at least 0.001; a negative one steps by the band of its size, so the
/// knob moves every value and can carry a negative one up across zero.
float step_constant_knob(float value, int direction);
