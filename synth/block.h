// Block computation of a patch: each module computed over a block of samples
// at a time, with exactly the values per-sample stepping gives.
//
// Per sample, the patch steps its modules in a fixed order of types; a module
// reading one stepped before it sees that module's value of the same sample, a
// module reading one stepped after it (or itself) sees the value of the sample
// before. Both are a history of the producer's output word, read at the same
// sample or one earlier. So when every module is computed after the modules it
// reads, any order of whole blocks gives the same values, and each producer's
// words are kept for the block. Modules that read one another round a loop, the
// noise oscillators (they share one random sequence) and a sampler with every
// module that reads the gate it closes are stepped together, sample by sample,
// in the patch order: such a group is one unit of the block order.
//
// Inputs of a module stepped alone are given their history by writing it into
// the producer's word before each of the module's steps (the producer's final
// value is put back after); inputs of the oscillators, mixers, filters,
// amplifiers and sound outputs are read from the histories directly. Words that
// no module's step writes (a keyboard's gate, set by the MIDI input and the
// panel) are read live. Oscillators with linked inputs wait, computed together
// once a later module reads one of them (their cycles step side by side).

#pragma once

#include <cstdint>
#include <vector>

class GENERATOR;

/// Samples computed per block: parameter writes from other threads take effect
/// at the next block boundary, at most this many samples (1.5 ms) later.
constexpr int BLOCK_FRAMES = 64;

/// The block order of one patch and the histories of its output words.
class BLOCK_PLAN {
public:
    /// Reserves room for the patch as it stands (allocates).
    explicit BLOCK_PLAN(const GENERATOR& g);

    /// Computes n <= BLOCK_FRAMES samples of g into out. False, and nothing
    /// computed, when the patch cannot be computed by blocks (then it is
    /// stepped sample by sample). Never allocates.
    bool run(GENERATOR& g, float* out, int n);

    /// The output word of a module: its address and what it held after each sample.
    struct Word {
        void* addr;                          ///< the module's value, gate or pulse word
        int owner;                           ///< node index
        /// [0]: before the block; [1 + t]: after sample t. Gate and pulse words keep
        /// their int bits here (copied, never computed with).
        float hist[BLOCK_FRAMES + 1];
    };
    /// A pointer a module reads through.
    struct Slot {
        void* const* field;   ///< the module's pointer field (float* or int*), or an INPUT's source
        const void* holder;   ///< for MOD_/ALT_ style inputs: the INPUT* field's value when planned
        const void* const* holder_field;  ///< the INPUT* field itself, or null
        void* target;         ///< the word pointed at when planned
        int word = -1;        ///< the producer's word index; -1: read live
        int lag = 0;          ///< 1: the producer is stepped earlier (same sample); 0: sample before
    };
    /// One module.
    struct Node {
        void* module;
        int type;            ///< which list it comes from
        int order;           ///< its place in the patch's step order
        int first_slot, slot_count;
        int first_word, word_count;
        int first_replay, replay_count;  ///< into replays_ (for a group: producers outside it)
        int first_record, record_count;  ///< into records_
        int noise = 0;       ///< 1: a noise oscillator when planned
        int unit = -1;       ///< the unit that computes it
        bool kernel = false; ///< computed from the histories directly
        bool batched = false;///< a linked oscillator whose kernel waits to run with others
    };
    /// A history written into a producer's word before a step: target = hist[t].
    struct Replay {
        void* target;        ///< the producer's word
        const float* hist;   ///< its history, already shifted by the slot's lag
        const float* whole;  ///< its history unshifted: whole[n] is its last value
    };
    /// A word recorded after each step: hist[t] = *addr.
    struct Record {
        const void* addr;
        float* hist;         ///< &Word::hist[1]
    };
    /// One step of the block order: a module alone, or a group stepped sample by sample.
    struct Unit {
        int first, count;    ///< into unit_nodes
    };

private:
    bool valid_ = false;
    int output_word_ = -1;   ///< the value word of the first sound output; -1: silence
    std::vector<Node> nodes_;
    std::vector<Slot> slots_;
    std::vector<Word> words_;
    std::vector<Unit> units_;
    unsigned planned_version_ = 0;  ///< the patch's version the plan was made for
    std::vector<int> noise_nodes_;  ///< the oscillators and sub-patches whose noise flag matters
    int list_sizes_[16] = {};       ///< how many modules of each list were stepped
    const void* list_data_[16] = {};///< where each list kept its modules
    std::vector<Replay> replays_;
    std::vector<Record> records_;
    std::vector<int> unit_nodes_;
    // Planning scratch, sized once.
    std::vector<int> edge_from_, edge_to_, adjacency_, adjacency_start_;
    std::vector<int> index_, low_, stack_, on_stack_, component_, component_order_;
    std::vector<int> words_by_addr_;
    std::vector<char> read_outside_;  ///< per word: read from another unit, or the patch's sound

    bool still_valid(const GENERATOR& g) const;
    bool plan(const GENERATOR& g);
    void run_unit(const Unit& u, int n);
    void run_node_alone(Node& node, int n);
    void run_group(const Unit& u, int n);
    bool run_kernel(Node& node, int n);
    struct OscillatorBatch;
    bool reads_batched(const Unit& u) const;
    bool batch_oscillator(Node& node, OscillatorBatch& batch, int n);
    void run_batch(OscillatorBatch& batch, int n);
};
