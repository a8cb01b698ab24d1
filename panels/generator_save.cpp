// The links section of a saved patch, written from the panels: each input's
// source is the module of the panel whose output the input reads.
#include <cstdio>

#include "panels/generator_gui.h"
#include "panels/mixer_gui.h"
#include "panels/sampler_gui.h"
#include "panels/seq_gui.h"
#include "panels/values_gui.h"
#include "panels/vca_gui.h"
#include "panels/vcf_gui.h"
#include "panels/vco_gui.h"
#include "patch/ksy_save.h"

namespace {

/// Sources named through the panels of one patch panel.
class PANEL_SOURCES : public KSY_SOURCES {
public:
    explicit PANEL_SOURCES(const GENERATOR_GUI& patch_panel) : gui(patch_panel) {}
    const char* value_source(INPUT* in) override { return name_of(gui.get_OBJECT_by_OUTPUT(in)); }
    const char* gate_source(INPUT_GATE* in) override { return name_of(gui.get_OBJECT_by_OUTPUT_GATE(in)); }
    const char* sync_source(INPUT_SYNC* in) override { return name_of(gui.get_OBJECT_by_OUTPUT_SYNC(in)); }

private:
    /// A sub-patch feeding an input is written under its own name, which
    /// get_name_by_OBJET does not give for a patch panel.
    const char* name_of(OBJET* panel) const {
        if (auto* sub = dynamic_cast<GENERATOR_GUI*>(panel)) return sub->module != nullptr ? sub->module->name : nullptr;
        return gui.get_name_by_OBJET(panel);
    }
    const GENERATOR_GUI& gui;
};

/// The link line of a panel's module, when the panel and its module exist.
template <class PANEL>
int link_line(GENERATOR_GUI& patch_panel, PANEL* panel, std::FILE* file) {
    if (panel == nullptr || panel->module == nullptr || file == nullptr) return 1;
    PANEL_SOURCES sources(patch_panel);
    write_links(file, *panel->module, sources);
    return 1;
}

}  // namespace

int GENERATOR_GUI::treat_link_VCO(VCO_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_VCA(VCA_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_VCF(VCF_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_MIXER(MIXER_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_SAMPLER(SAMPLER_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_BASIC_OPERATION(BASIC_OPERATION_GUI* panel, std::FILE* file) {
    return link_line(*this, panel, file);
}
int GENERATOR_GUI::treat_link_VARIABLE(VARIABLE_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_VALEUR(VALEUR_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }
int GENERATOR_GUI::treat_link_SOUND_OUTPUT_GUI(SOUND_OUTPUT_GUI* panel, std::FILE* file) {
    return link_line(*this, panel, file);
}
int GENERATOR_GUI::treat_link_SEQUENCER(SEQ_GUI* panel, std::FILE* file) { return link_line(*this, panel, file); }

void GENERATOR_GUI::write_links_section(std::FILE* file) {
    // Keyboards, constants and sub-patches have no input a file can link.
    for (auto it = objets.rbegin(); it != objets.rend(); ++it) {
        OBJET* p = *it;
        if (auto* q = dynamic_cast<VCO_GUI*>(p)) treat_link_VCO(q, file);
        if (auto* q = dynamic_cast<VCF_GUI*>(p)) treat_link_VCF(q, file);
        if (auto* q = dynamic_cast<VCA_GUI*>(p)) treat_link_VCA(q, file);
        if (auto* q = dynamic_cast<MIXER_GUI*>(p)) treat_link_MIXER(q, file);
        if (auto* q = dynamic_cast<SAMPLER_GUI*>(p)) treat_link_SAMPLER(q, file);
        if (auto* q = dynamic_cast<BASIC_OPERATION_GUI*>(p)) treat_link_BASIC_OPERATION(q, file);
        if (auto* q = dynamic_cast<VARIABLE_GUI*>(p)) treat_link_VARIABLE(q, file);
        if (auto* q = dynamic_cast<VALEUR_GUI*>(p)) treat_link_VALEUR(q, file);
        if (auto* q = dynamic_cast<SOUND_OUTPUT_GUI*>(p)) treat_link_SOUND_OUTPUT_GUI(q, file);
        if (auto* q = dynamic_cast<SEQ_GUI*>(p)) treat_link_SEQUENCER(q, file);
    }
}
