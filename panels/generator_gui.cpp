#include "panels/generator_gui.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "panels/keyboard_gui.h"
#include "panels/mixer_gui.h"
#include "panels/panel_common.h"
#include "panels/panel_globals.h"
#include "panels/sampler_gui.h"
#include "panels/seq_gui.h"
#include "panels/values_gui.h"
#include "panels/vca_gui.h"
#include "panels/vcf_gui.h"
#include "panels/vco_gui.h"
#include "synth/names.h"

namespace {
PATCH_RELOAD pending_reload;
const char* const RELOAD_PATCH = "KSY/brio3.ksy";
}  // namespace

PATCH_RELOAD take_patch_reload() {
    PATCH_RELOAD r = pending_reload;
    pending_reload = PATCH_RELOAD{};
    return r;
}

GENERATOR*& current_patch() {
    static GENERATOR* patch = nullptr;
    return patch;
}

// ------------------------------------------------------------- the panel

GENERATOR_GUI::GENERATOR_GUI(GENERATOR* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "GENERATOR_%s", "RC/BACK_GENERATOR.RC", "RC/GENERATOR.RC");
    // The top-level patch has no name of its own.
    set_label(this, "label_NAME", "%s", module != nullptr && module->name[0] != '\0' ? module->name : "PATCH");
    if (module != nullptr && module->file_name[0] != '\0') set_label(this, "label_KSY_NAME", "%s", module->file_name);
    toggle_all_draw_flag(1);
}

int GENERATOR_GUI::evolue() {
    if (view_mode == 1) {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (!is_click(*it) || !widget_has(this, it->target, "AFFICHAGE_TYPE_ONDE")) continue;
            // The reload itself runs between frames: it rebuilds every panel,
            // this one included.
            pending_reload.target = module;
            copy_name(pending_reload.path, RELOAD_PATCH);
            set_label(this, "label_KSY_NAME", "%s", RELOAD_PATCH);
        }
    }
    return OBJET::evolue();
}

const char* GENERATOR_GUI::get_name_by_OBJET(OBJET* panel) const {
    if (panel == nullptr) return nullptr;
    if (auto* p = dynamic_cast<SOUND_OUTPUT_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<VCO_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<VCF_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<SAMPLER_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<MIXER_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<VCA_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<CONSTANTE_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<BASIC_OPERATION_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<VARIABLE_GUI*>(panel)) return p->module->name;
    if (auto* p = dynamic_cast<VALEUR_GUI*>(panel)) return p->module->name;
    return nullptr;
}

OUTPUT* GENERATOR_GUI::output_of(OBJET* panel) {
    if (auto* p = dynamic_cast<GENERATOR_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<VARIABLE_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<VALEUR_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<BASIC_OPERATION_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<CONSTANTE_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SAMPLER_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<VCA_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<VCF_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<VCO_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<MIXER_GUI*>(panel)) return p->module;
    return nullptr;  // a sound output is never a source
}

namespace {
// The gate and sync outputs of keyboard and sequencer panels.
OUTPUT_GATE* gate_of(OBJET* panel) {
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module;
    return nullptr;
}
OUTPUT_SYNC* sync_of(OBJET* panel) {
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return p->module;
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return p->module;
    return nullptr;
}
}  // namespace

OBJET* GENERATOR_GUI::get_OBJECT_by_OUTPUT(INPUT* input) const {
    if (input == nullptr || input->source == nullptr) return nullptr;
    for (auto it = objets.rbegin(); it != objets.rend(); ++it) {
        OUTPUT* out = output_of(*it);
        if (out != nullptr && &out->value == input->source) return *it;
    }
    return nullptr;
}

OBJET* GENERATOR_GUI::get_OBJECT_by_OUTPUT_GATE(INPUT_GATE* input) const {
    if (input == nullptr || input->gate_source == nullptr) return nullptr;
    for (auto it = objets.rbegin(); it != objets.rend(); ++it) {
        OUTPUT_GATE* out = gate_of(*it);
        if (out != nullptr && &out->gate == input->gate_source) return *it;
    }
    return nullptr;
}

OBJET* GENERATOR_GUI::get_OBJECT_by_OUTPUT_SYNC(INPUT_SYNC* input) const {
    if (input == nullptr || input->sync_source == nullptr) return nullptr;
    for (OBJET* panel : objets) {
        OUTPUT_SYNC* out = sync_of(panel);
        if (out != nullptr && &out->pulse == input->sync_source) return panel;
    }
    return nullptr;
}

// -------------------------------------------------------------- building

namespace {
// One column of panels: every module of one type, top to bottom.
struct COLUMN {
    const char* line;   ///< what is printed when the column is built
    int top;            ///< y of the first panel
    int step;           ///< distance between panels, before the 1.5 spacing
    int width;          ///< how far the next column starts, when this one has panels
    bool own_numbers;   ///< oscillators and samplers count their panels from 0
};

// The back shows the module's name as the front does.
void name_the_back(OBJET* panel, const char* name) {
    std::vector<SPRITE*>* shown = panel->current_list;
    panel->current_list = &panel->alt_elements;
    set_label(panel, "label_NAME", "%s", name);
    panel->current_list = shown;
}

struct BUILDER {
    std::vector<OBJET*>* list;
    int column_x = 0;
    int running = 0;

    template <class MODULE, class PANEL>
    void column(const COLUMN& c, const std::vector<MODULE*>& modules, int count) {
        std::printf("%s", c.line);
        const int n = std::min<int>(count, (int)modules.size());
        for (int i = 0; i < n; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "%d", c.own_numbers ? i : running + i);
            PANEL* panel = new PANEL(modules[i], 0, 0, name);
            name_the_back(panel, modules[i]->name);
            panel->x = (float)column_x;
            panel->y = (float)(c.top + i * c.step * 1.5f);
            list->insert(list->begin(), panel);
            after_insert(panel);
            if (c.own_numbers) running = i;
        }
        if (n > 0) column_x += c.width;
        running += n;
    }

    template <class PANEL>
    void after_insert(PANEL*) {}
};

template <>
void BUILDER::after_insert<GENERATOR_GUI>(GENERATOR_GUI* panel) {
    // The sub-patch's own panels, laid out by the same rules in its panel's list.
    GENERATOR* parent = current_patch();
    current_patch() = panel->module;
    initialise_gui_from_current(&panel->objets);
    current_patch() = parent;
}
}  // namespace

int initialise_gui_from_current(std::vector<OBJET*>* list) {
    std::printf("Init Gui From Current()\n");
    GENERATOR* g = current_patch();
    list->clear();
    if (g == nullptr) return 1;
    BUILDER b{list};
    b.column<KEYBOARD, KEYBOARD_GUI>({"Keyboards\n", 50, 64, 120, false}, g->keyboards, g->nb_keyboards);
    b.column<SEQUENCER, SEQ_GUI>({"Sequencers\n", 50, 75, 440, false}, g->sequencers, g->nb_sequencers);
    b.column<VCO, VCO_GUI>({"Vcos\n", 25, 95, 210, true}, g->vcos, g->nb_vcos);
    b.column<SAMPLER, SAMPLER_GUI>({"Samplers\n", 25, 70, 420, true}, g->samplers, g->nb_samplers);
    b.column<VCA, VCA_GUI>({"Vcas\n", 50, 56, 150, false}, g->vcas, g->nb_vcas);
    b.column<PCF, VCF_GUI>({"Pcfs\n", 50, 84, 240, false}, g->pcfs, g->nb_pcfs);
    b.column<MIXER, MIXER_GUI>({"Mixers\n", 50, 166, 300, false}, g->mixers, g->nb_mixers);
    b.column<SOUND_OUTPUT, SOUND_OUTPUT_GUI>({"Sound Out\n", 50, 40, 120, false}, g->sound_outputs,
                                             g->nb_sound_outputs);
    b.column<VARIABLE, VARIABLE_GUI>({"variables\n", 50, 40, 120, false}, g->variables, g->nb_variables);
    b.column<BASIC_OPERATION, BASIC_OPERATION_GUI>({"Operation\n", 50, 40, 120, false}, g->operations,
                                                    g->nb_operations);
    b.column<CONSTANTE, CONSTANTE_GUI>({"constantes\n", 50, 40, 120, false}, g->constantes, g->nb_constantes);
    b.column<VALEUR, VALEUR_GUI>({"Values\n", 50, 166, 120, false}, g->values, g->nb_values);
    b.column<GENERATOR, GENERATOR_GUI>({"Genrators\n", 50, 166, 120, false}, g->generators, g->nb_generators);
    return 1;
}

void destroy_panels(std::vector<OBJET*>& list) {
    for (OBJET* panel : list) {
        if (auto* patch_panel = dynamic_cast<GENERATOR_GUI*>(panel)) destroy_panels(patch_panel->objets);
        if (auto* seq = dynamic_cast<SEQ_GUI*>(panel))
            sequenceurs_gui.erase(std::remove(sequenceurs_gui.begin(), sequenceurs_gui.end(), seq),
                                  sequenceurs_gui.end());
        destroy_panel(panel);
    }
    list.clear();
}

SEQ_GUI* get_sequencer_gui_by_its_parent(SEQUENCER* sequencer) {
    for (auto it = sequenceurs_gui.rbegin(); it != sequenceurs_gui.rend(); ++it)
        if ((*it)->module == sequencer) return *it;
    return nullptr;
}

void toggle_FILS_view(std::vector<OBJET*>* list) {
    BACK_VIEW_TOGGLE = std::abs(BACK_VIEW_TOGGLE - 1);
    if (BACK_VIEW_TOGGLE == 1)
        for (OBJET* panel : *list) panel->toggle_view_mode(4);
}
