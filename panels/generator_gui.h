// The panel of a whole patch or sub-patch, the building of every panel of a
// patch in columns by module type, and the look-ups that map panels to
// modules and ports (for saving and cables).
#pragma once

#include <vector>

#include "engine/objet.h"
#include "synth/generator.h"

class SEQ_GUI;

/// The panel of a patch; `objets` holds the panels of its modules.
class GENERATOR_GUI : public OBJET {
public:
    GENERATOR* module;           ///< the patch; not owned
    std::vector<OBJET*> objets;  ///< panels of the patch's modules; owned (destroy_panels)

    GENERATOR_GUI(GENERATOR* module, int x, int y, const char* name);
    /// A click on the display asks for the patch to be reloaded from
    /// "KSY/brio3.ksy" (the reload runs between frames). Returns 0.
    int evolue() override;

    /// Name of the module behind a panel; null for a patch panel, another
    /// object or null.
    const char* get_name_by_OBJET(OBJET* panel) const;
    /// The panel in objets whose module's value output feeds the input, the
    /// one nearest the end of the list; null when none.
    OBJET* get_OBJECT_by_OUTPUT(INPUT* input) const;
    /// Likewise for a gate input (keyboard or sequencer panels).
    OBJET* get_OBJECT_by_OUTPUT_GATE(INPUT_GATE* input) const;
    /// Likewise for a sync input, searching from the first panel.
    OBJET* get_OBJECT_by_OUTPUT_SYNC(INPUT_SYNC* input) const;
    /// The output a panel's module offers (its value word); null for panels
    /// that are never a source.
    static OUTPUT* output_of(OBJET* panel);

    // Saving (panels/generator_save.cpp): the links section, one line per
    // module panel, each input's source named through the panels of objets.
    /// Writes the link lines of the panels of objets, from the last to the first.
    void write_links_section(std::FILE* file);
    /// The link line of one panel's module (nothing when no input is linked). Return 1.
    int treat_link_VCO(class VCO_GUI* panel, std::FILE* file);
    int treat_link_VCA(class VCA_GUI* panel, std::FILE* file);
    int treat_link_VCF(class VCF_GUI* panel, std::FILE* file);
    int treat_link_MIXER(class MIXER_GUI* panel, std::FILE* file);
    int treat_link_SAMPLER(class SAMPLER_GUI* panel, std::FILE* file);
    int treat_link_BASIC_OPERATION(class BASIC_OPERATION_GUI* panel, std::FILE* file);
    int treat_link_VARIABLE(class VARIABLE_GUI* panel, std::FILE* file);
    int treat_link_VALEUR(class VALEUR_GUI* panel, std::FILE* file);
    int treat_link_SOUND_OUTPUT_GUI(class SOUND_OUTPUT_GUI* panel, std::FILE* file);
    int treat_link_SEQUENCER(class SEQ_GUI* panel, std::FILE* file);
};

/// The patch a reload was asked for, and from which file; target is null
/// when none is pending.
struct PATCH_RELOAD {
    GENERATOR* target = nullptr;
    char path[800] = {0};
};
/// Taken (and cleared) by the frame loop between frames.
PATCH_RELOAD take_patch_reload();

/// Builds the panels of the patch `current_patch()` into list, one column per
/// module type, and the panels of every sub-patch into its patch panel's
/// objets. Returns 1.
int initialise_gui_from_current(std::vector<OBJET*>* list);
/// The patch the builder works on ("gen" while building).
GENERATOR*& current_patch();
/// Deletes every panel of the list with its elements (a patch panel with its
/// own panels), empties the list, and forgets deleted sequencer panels.
void destroy_panels(std::vector<OBJET*>& list);
/// The sequencer panel of a sequencer, searching the newest last; null when none.
SEQ_GUI* get_sequencer_gui_by_its_parent(SEQUENCER* sequencer);
/// Switches between the panels' fronts and backs: on the way to the backs,
/// every panel of the list shows its back (view mode 4).
void toggle_FILS_view(std::vector<OBJET*>* list);
