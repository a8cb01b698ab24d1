// The panels of the small modules: the sound output, the value display, the
// constant, the variable and the arithmetic operation.
#pragma once

#include "engine/objet.h"
#include "synth/generator.h"

class SOUND_OUTPUT_GUI : public OBJET {
public:
    SOUND_OUTPUT* module;  ///< not owned
    SOUND_OUTPUT_GUI(SOUND_OUTPUT* module, int x, int y, const char* name);
    int evolue() override;
};

class VALEUR_GUI : public OBJET {
public:
    VALEUR* module;  ///< not owned
    VALEUR_GUI(VALEUR* module, int x, int y, const char* name);
    int evolue() override;
};

class CONSTANTE_GUI : public OBJET {
public:
    CONSTANTE* module;  ///< not owned
    CONSTANTE_GUI(CONSTANTE* module, int x, int y, const char* name);
    int evolue() override;
};

class VARIABLE_GUI : public OBJET {
public:
    VARIABLE* module;  ///< not owned
    VARIABLE_GUI(VARIABLE* module, int x, int y, const char* name);
    int evolue() override;
};

class BASIC_OPERATION_GUI : public OBJET {
public:
    BASIC_OPERATION* module;  ///< not owned
    BASIC_OPERATION_GUI(BASIC_OPERATION* module, int x, int y, const char* name);
    int evolue() override;
};
