// The patch: owns every module of one patch, one list per type, and steps
// them all once per sample in a fixed order of types.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include "synth/edits.h"
#include "synth/filters.h"
#include "synth/mixer.h"
#include "synth/ports.h"
#include "synth/sampler.h"
#include "synth/sequencer.h"
#include "synth/values.h"
#include "synth/vca.h"
#include "synth/vco.h"

class GENERATOR;
class BLOCK_PLAN;

/// A patch. As a module of another patch (a sub-patch) its value, gate and
/// sync inputs are handed to its first sound input.
class GENERATOR final : public OUTPUT, public INPUT, public INPUT_GATE, public INPUT_SYNC {
public:
    char file_name[800];  ///< the patch file last loaded; empty until then
    char name[80];        ///< name in the parent patch, holds "GENERATOR"

    // The modules, one list per type, newest first. The lists own them.
    std::vector<SEQUENCER*> sequencers;
    std::vector<KEYBOARD*> keyboards;
    std::vector<VCO*> vcos;
    std::vector<MIXER*> mixers;
    std::vector<SAMPLER*> samplers;
    std::vector<VCA*> vcas;
    std::vector<PCF*> pcfs;
    std::vector<FORMANT_PCF*> formant_pcfs;
    std::vector<CONSTANTE*> constantes;
    std::vector<BASIC_OPERATION*> operations;
    std::vector<VALEUR*> values;
    std::vector<VARIABLE*> variables;
    std::vector<SOUND_OUTPUT*> sound_outputs;
    std::vector<SOUND_INPUT*> sound_inputs;
    std::vector<PHASER*> phasers;
    std::vector<SFX_DELAY*> sfx_delays;
    std::vector<GENERATOR*> generators;

    // How many modules of each list the step visits.
    int nb_sequencers = 0;
    int nb_keyboards = 0;
    int nb_vcos = 0;
    int nb_mixers = 0;
    int nb_samplers = 0;
    int nb_vcas = 0;
    int nb_pcfs = 0;
    int nb_formant_pcfs = 0;
    int nb_constantes = 0;
    int nb_operations = 0;
    int nb_values = 0;
    int nb_variables = 0;
    int nb_sound_outputs = 0;
    int nb_sound_inputs = 0;
    int nb_phasers = 0;
    int nb_sfx_delays = 0;
    int nb_generators = 0;

    /// The extra inputs (MOD_*, ALT_*, IN1, IN_ASSIGN, ...) that the links loader
    /// allocated for the modules of this patch. The modules only point at them;
    /// the patch owns them and clear_KSY releases them with the modules.
    std::vector<std::unique_ptr<INPUT>> owned_inputs;

    /// The structural edits waiting for this patch (see synth/edits.h).
    EDIT_PATH edit_path;

    /// Runs f(*this) between two blocks, where nothing steps the patch, and
    /// returns once it has run: on the audio thread at its next block when one
    /// serves the patch, else on this thread under audio_lock. f may write
    /// pointers the steps follow, but never allocates, frees, prints or waits.
    /// Only the window's thread (or a test standing for it) calls this.
    /// A sub-patch is stepped by the patch that holds it: its edits go there.
    template <class F>
    void edit(F&& f) {
        using FN = std::remove_reference_t<F>;
        edit_detail::STACK_EDIT<FN> e(&f);
        GENERATOR& t = top();
        t.edit_path.run(t, e);
    }
    /// As edit, without waiting: f is kept (by value) until it has run.
    template <class F>
    void edit_later(F f) {
        GENERATOR& t = top();
        t.edit_path.later(t, new edit_detail::HEAP_EDIT<F>(std::move(f)));
    }
    /// The outermost patch holding this one (itself when it is not a sub-patch).
    GENERATOR& top() {
        GENERATOR* g = this;
        while (g->parent_ != nullptr) g = g->parent_;
        return *g;
    }
    /// Counts an applied edit: the block plan is made again before the next block.
    void edited() { version_++; }
    /// Changes with every applied edit and every load.
    unsigned version() const { return version_; }

    /// Held by the audio callback around each buffer it computes (taken with
    /// try_lock, so the callback never waits) and by any code that empties or
    /// refills the patch, which therefore waits until the callback has left it.
    std::mutex audio_lock;

    /// An empty patch.
    GENERATOR();
    /// A patch loaded from a file (null: empty). Defined with the patch loader.
    explicit GENERATOR(char* file_name);
    /// Destroys the modules too (a sub-patch takes its modules with it).
    ~GENERATOR();
    GENERATOR(const GENERATOR&) = delete;
    GENERATOR& operator=(const GENERATOR&) = delete;

    /// One sample of the whole patch. Returns 1.
    int evolue() override;

    /// Computes `frames` samples: out[i] is the patch's value after sample i,
    /// bit for bit what `frames` calls of evolue() give. Where the patch allows
    /// it, each module is computed a block of samples at a time (see
    /// synth/block.h); parameter writes from other threads then take effect at
    /// the next block boundary (at most BLOCK_FRAMES samples later). Never
    /// allocates once the patch has been rendered a first time after a load.
    void render(float* out, int frames);

    /// False: render() steps sample by sample (benchmarks and tests compare the two).
    bool blocks_enabled = true;

    /// True when the last block render() computed went by blocks (not sample by sample).
    bool rendered_by_blocks() const { return rendered_by_blocks_; }

    /// Makes room for computing this patch by blocks (allocates): the loader
    /// calls it once the patch is built, so that render() never allocates.
    void prepare_blocks();
    /// A block plan with room for this patch as it stands and as many modules
    /// again (allocates): made before an edit that adds modules, swapped in by
    /// swap_block_plan inside the edit.
    std::unique_ptr<BLOCK_PLAN> new_block_plan() const;
    /// Exchanges the patch's block plan with p (never allocates: inside an
    /// edit); the plan swapped out is freed by the caller after the edit.
    void swap_block_plan(std::unique_ptr<BLOCK_PLAN>& p) { block_plan_.swap(p); }
    /// Makes this patch a sub-patch of parent (null: a top patch); the
    /// window's thread, before the patch is put into parent's list.
    void set_parent(GENERATOR* parent) { parent_ = parent; }

    /// Destroys every module, empties every list, zeroes every count.
    void clear_KSY();

    /// A new input fed by source's value, owned by this patch (see owned_inputs).
    INPUT* new_link(OUTPUT* source);

    /// Adds a module at the front of its list and counts it (the patch owns it).
    void add(SEQUENCER* m) { add_front(sequencers, nb_sequencers, m); }
    void add(KEYBOARD* m) { add_front(keyboards, nb_keyboards, m); }
    void add(VCO* m) { add_front(vcos, nb_vcos, m); }
    void add(MIXER* m) { add_front(mixers, nb_mixers, m); }
    void add(SAMPLER* m) { add_front(samplers, nb_samplers, m); }
    void add(VCA* m) { add_front(vcas, nb_vcas, m); }
    void add(PCF* m) { add_front(pcfs, nb_pcfs, m); }
    void add(FORMANT_PCF* m) { add_front(formant_pcfs, nb_formant_pcfs, m); }
    void add(CONSTANTE* m) { add_front(constantes, nb_constantes, m); }
    void add(BASIC_OPERATION* m) { add_front(operations, nb_operations, m); }
    void add(VALEUR* m) { add_front(values, nb_values, m); }
    void add(VARIABLE* m) { add_front(variables, nb_variables, m); }
    void add(SOUND_OUTPUT* m) { add_front(sound_outputs, nb_sound_outputs, m); }
    void add(SOUND_INPUT* m) { add_front(sound_inputs, nb_sound_inputs, m); }
    void add(PHASER* m) { add_front(phasers, nb_phasers, m); }
    void add(SFX_DELAY* m) { add_front(sfx_delays, nb_sfx_delays, m); }
    void add(GENERATOR* m) {
        m->parent_ = this;
        add_front(generators, nb_generators, m);
    }

    // Lookups by exact name. Those marked "lone" return the only module of
    // their list whatever the name asked for; the others always compare.
    SEQUENCER* get_SEQUENCER_by_name(const char* n);
    KEYBOARD* get_KEYBOARD_by_name(const char* n);              ///< lone
    VCO* get_VCO_by_name(const char* n);
    MIXER* get_MIXER_by_name(const char* n);
    SAMPLER* get_SAMPLER_by_name(const char* n);
    VCA* get_VCA_by_name(const char* n);
    PCF* get_PCF_by_name(const char* n);
    CONSTANTE* get_CONSTANTE_by_name(const char* n);            ///< lone
    BASIC_OPERATION* get_BASIC_OPERATION_by_name(const char* n);///< lone
    VALEUR* get_VALEUR_by_name(const char* n);                  ///< lone
    VARIABLE* get_VARIABLE_by_name(const char* n);              ///< lone
    SOUND_OUTPUT* get_SOUND_OUTPUT_by_name(const char* n);      ///< lone
    GENERATOR* get_GENERATOR_by_name(const char* n);            ///< lone

    // Defined with the patch files.
    int load_KSY(char* path);
    int load_KSY_link(char* path);
    /// Writes the objects section of this patch to file (sequencers whose grid
    /// no pattern file holds get a new one first). 1, or 0 after a message.
    int save_KSY(std::FILE* file);

private:
    GENERATOR* parent_ = nullptr;  ///< the patch this one is a sub-patch of; null at the top
    unsigned version_ = 0;  ///< changed by the stepping thread (or under audio_lock) only
    std::unique_ptr<BLOCK_PLAN> block_plan_;  ///< null until prepared; dropped by clear_KSY
    bool rendered_by_blocks_ = false;

    template <class T>
    static void add_front(std::vector<T*>& list, int& count, T* m) {
        list.insert(list.begin(), m);
        count++;
    }
};
