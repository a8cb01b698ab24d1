#include "synth/generator.h"

#include <cstring>

#include "synth/block.h"
#include "synth/names.h"

GENERATOR::GENERATOR() {
    file_name[0] = '\0';
    copy_name(name, "");
    source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
}

GENERATOR::~GENERATOR() { clear_KSY(); }

namespace {

// How many modules of a list the step visits: its count, never past its end.
template <class T>
inline int stepped(const std::vector<T*>& list, int count) {
    return count < static_cast<int>(list.size()) ? count : static_cast<int>(list.size());
}

// Steps the first `count` modules of a list. Each list holds its modules by
// their exact type (the loader builds them so), so the call names the type's
// own evolue and needs no virtual dispatch.
template <class T>
inline void step_list(const std::vector<T*>& list, int count) {
    const int n = stepped(list, count);
    for (int i = 0; i < n; i++) list[i]->T::evolue();
}

template <class T>
void destroy_all(std::vector<T*>& list, int& count) {
    // Each list holds its modules by their exact type (a SAMPLER is never kept
    // in the VCO list), so this delete runs the right destructor although no
    // module has a virtual one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
    for (T* m : list) delete m;
#pragma GCC diagnostic pop
    list.clear();
    count = 0;
}

template <class T>
T* find_by_name(const std::vector<T*>& list, const char* n, bool lone_matches_any) {
    if (lone_matches_any && list.size() == 1) return list[0];
    if (n == nullptr) return nullptr;
    for (T* m : list)
        if (std::strcmp(m->name, n) == 0) return m;
    return nullptr;
}

}  // namespace

// The fixed order: note sources first (so pitch and gate reach the oscillators
// in the same sample), then sound sources, shapers, values, sub-patches, and
// the sound outputs last (so the patch hears this sample's output).
int GENERATOR::evolue() {
    step_list(sound_inputs, nb_sound_inputs);
    step_list(keyboards, nb_keyboards);
    step_list(sequencers, nb_sequencers);
    step_vco_list(vcos.data(), stepped(vcos, nb_vcos));
    step_list(mixers, nb_mixers);
    step_list(samplers, nb_samplers);
    step_list(vcas, nb_vcas);
    step_list(pcfs, nb_pcfs);
    step_list(formant_pcfs, nb_formant_pcfs);
    step_list(constantes, nb_constantes);
    step_list(generators, nb_generators);
    step_list(variables, nb_variables);
    step_list(values, nb_values);
    step_list(operations, nb_operations);
    step_list(sfx_delays, nb_sfx_delays);
    step_list(phasers, nb_phasers);
    step_list(sound_outputs, nb_sound_outputs);

    value = (nb_sound_outputs != 0 && !sound_outputs.empty()) ? sound_outputs[0]->value : 0.0f;

    if (!sound_inputs.empty()) {
        SOUND_INPUT* in = sound_inputs[0];
        in->INPUT::source = source;
        in->gate_source = gate_source;
        in->sync_source = sync_source;
    }
    return 1;
}

void GENERATOR::prepare_blocks() { block_plan_ = std::make_unique<BLOCK_PLAN>(*this); }

std::unique_ptr<BLOCK_PLAN> GENERATOR::new_block_plan() const { return std::make_unique<BLOCK_PLAN>(*this); }

void GENERATOR::render(float* out, int frames) {
    int done = 0;
    while (done < frames) {
        const int n = frames - done < BLOCK_FRAMES ? frames - done : BLOCK_FRAMES;
        // Between two blocks: the queued edits land here.
        if (edit_path.queue.waiting()) edit_path.queue.apply_all(*this);
        if (blocks_enabled) {
            if (!block_plan_) prepare_blocks();
            rendered_by_blocks_ = block_plan_->run(*this, out + done, n);
            if (rendered_by_blocks_) {
                done += n;
                continue;
            }
        }
        rendered_by_blocks_ = false;
        for (int i = 0; i < n; i++) {
            evolue();
            out[done + i] = value;
        }
        done += n;
    }
}

void GENERATOR::clear_KSY() {
    // Edits still waiting point at the modules about to go: they land first.
    // The caller holds audio_lock, or nothing steps the patch.
    edit_path.queue.apply_all(*this);
    edit_path.collect();
    version_++;
    block_plan_.reset();
    destroy_all(sequencers, nb_sequencers);
    destroy_all(keyboards, nb_keyboards);
    destroy_all(vcos, nb_vcos);
    destroy_all(mixers, nb_mixers);
    destroy_all(samplers, nb_samplers);
    destroy_all(vcas, nb_vcas);
    destroy_all(pcfs, nb_pcfs);
    destroy_all(formant_pcfs, nb_formant_pcfs);
    destroy_all(constantes, nb_constantes);
    destroy_all(operations, nb_operations);
    destroy_all(values, nb_values);
    destroy_all(variables, nb_variables);
    destroy_all(sound_outputs, nb_sound_outputs);
    destroy_all(sound_inputs, nb_sound_inputs);
    destroy_all(phasers, nb_phasers);
    destroy_all(sfx_delays, nb_sfx_delays);
    destroy_all(generators, nb_generators);
    owned_inputs.clear();
}

INPUT* GENERATOR::new_link(OUTPUT* src) {
    owned_inputs.push_back(std::make_unique<INPUT>(src));
    return owned_inputs.back().get();
}

SEQUENCER* GENERATOR::get_SEQUENCER_by_name(const char* n) { return find_by_name(sequencers, n, false); }
KEYBOARD* GENERATOR::get_KEYBOARD_by_name(const char* n) { return find_by_name(keyboards, n, true); }
VCO* GENERATOR::get_VCO_by_name(const char* n) { return find_by_name(vcos, n, false); }
MIXER* GENERATOR::get_MIXER_by_name(const char* n) { return find_by_name(mixers, n, false); }
SAMPLER* GENERATOR::get_SAMPLER_by_name(const char* n) { return find_by_name(samplers, n, false); }
VCA* GENERATOR::get_VCA_by_name(const char* n) { return find_by_name(vcas, n, false); }
PCF* GENERATOR::get_PCF_by_name(const char* n) { return find_by_name(pcfs, n, false); }
CONSTANTE* GENERATOR::get_CONSTANTE_by_name(const char* n) { return find_by_name(constantes, n, true); }
BASIC_OPERATION* GENERATOR::get_BASIC_OPERATION_by_name(const char* n) {
    return find_by_name(operations, n, true);
}
VALEUR* GENERATOR::get_VALEUR_by_name(const char* n) { return find_by_name(values, n, true); }
VARIABLE* GENERATOR::get_VARIABLE_by_name(const char* n) { return find_by_name(variables, n, true); }
SOUND_OUTPUT* GENERATOR::get_SOUND_OUTPUT_by_name(const char* n) {
    return find_by_name(sound_outputs, n, true);
}
GENERATOR* GENERATOR::get_GENERATOR_by_name(const char* n) { return find_by_name(generators, n, true); }
