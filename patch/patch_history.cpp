#include "patch/patch_history.h"

#include <cstring>

#include "synth/generator.h"
#include "synth/names.h"

void PORTS_STEP::undo(GENERATOR& g) {
    g.edit([&](GENERATOR&) {
        for (auto it = ports.rbegin(); it != ports.rend(); ++it) restore_port(it->port, it->before);
    });
}

void PORTS_STEP::redo(GENERATOR& g) {
    g.edit([&](GENERATOR&) {
        for (const PORT_STATE& s : ports) restore_port(s.port, s.after);
    });
}

namespace {
constexpr int CELLS = SEQ_PATTERNS * SEQ_STEPS;
constexpr std::size_t GRID_SIZE = 5 * CELLS + SEQ_PATTERNS;
}  // namespace

std::vector<float> module_grid(MODULE_REF m) {
    std::vector<float> grid;
    if (m.type != TW_SEQUENCER || !m.valid()) return grid;
    const auto* s = static_cast<const SEQUENCER*>(m.module);
    grid.reserve(GRID_SIZE);
    for (int i = 0; i < CELLS; i++) grid.push_back((float)s->note[i]);
    for (int i = 0; i < CELLS; i++) grid.push_back((float)s->octave[i]);
    for (int i = 0; i < CELLS; i++) grid.push_back((float)s->bypass[i]);
    for (int i = 0; i < CELLS; i++) grid.push_back(s->volume[i]);
    for (int i = 0; i < CELLS; i++) grid.push_back(s->LENGHT[i]);
    for (int p = 0; p < SEQ_PATTERNS; p++) grid.push_back((float)s->NBR_STEP[p]);
    return grid;
}

void apply_module_grid(MODULE_REF m, const std::vector<float>& grid) {
    if (m.type != TW_SEQUENCER || !m.valid() || grid.size() != GRID_SIZE) return;
    auto* s = static_cast<SEQUENCER*>(m.module);
    const float* g = grid.data();
    for (int i = 0; i < CELLS; i++) s->note[i] = (int)*g++;
    for (int i = 0; i < CELLS; i++) s->octave[i] = (int)*g++;
    for (int i = 0; i < CELLS; i++) s->bypass[i] = (int)*g++;
    for (int i = 0; i < CELLS; i++) s->volume[i] = *g++;
    for (int i = 0; i < CELLS; i++) s->LENGHT[i] = *g++;
    for (int p = 0; p < SEQ_PATTERNS; p++) s->NBR_STEP[p] = (int)*g++;
}

MODULE_STEP::~MODULE_STEP() {
    if (out_) delete_module(removal_.module);
}

void MODULE_STEP::take_out(GENERATOR& g) {
    if (out_) return;
    const MODULE_REF m = removal_.module;
    out_ = remove_module(g, m, &removal_);
}

void MODULE_STEP::put_back(GENERATOR& g) {
    if (!out_) return;
    out_ = !restore_module(g, removal_);
}

void MODULE_STEP::undo(GENERATOR& g) {
    if (added_)
        take_out(g);
    else
        put_back(g);
}

void MODULE_STEP::redo(GENERATOR& g) {
    if (added_)
        put_back(g);
    else
        take_out(g);
}

void RENAME_STEP::undo(GENERATOR&) {
    char* name = module_name(module);
    if (name != nullptr) copy_name(name, module_name_size(module), before.c_str());
}

void RENAME_STEP::redo(GENERATOR&) {
    char* name = module_name(module);
    if (name != nullptr) copy_name(name, module_name_size(module), after.c_str());
}

void PATCH_HISTORY::push(std::unique_ptr<HISTORY_STEP> step) {
    if (!step) return;
    // Newest undone first: a step that owns a module is the only one that
    // touches it when it goes.
    while (!undone_.empty()) undone_.pop_back();
    step->state_after = ++next_;
    done_.push_back(std::move(step));
    while (done_.size() > CAPACITY) {
        base_ = done_.front()->state_after;
        done_.pop_front();
    }
}

const HISTORY_STEP* PATCH_HISTORY::undo(GENERATOR& g) {
    if (done_.empty()) return nullptr;
    std::unique_ptr<HISTORY_STEP> s = std::move(done_.back());
    done_.pop_back();
    s->undo(g);
    undone_.push_back(std::move(s));
    return undone_.back().get();
}

const HISTORY_STEP* PATCH_HISTORY::redo(GENERATOR& g) {
    if (undone_.empty()) return nullptr;
    std::unique_ptr<HISTORY_STEP> s = std::move(undone_.back());
    undone_.pop_back();
    s->redo(g);
    done_.push_back(std::move(s));
    return done_.back().get();
}

void PATCH_HISTORY::clear() {
    while (!undone_.empty()) undone_.pop_back();
    while (!done_.empty()) done_.pop_back();
    base_ = saved_ = ++next_;
}

PATCH_HISTORY& patch_history() {
    static PATCH_HISTORY h;
    return h;
}
