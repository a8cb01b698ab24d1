// The one undo history of the edits made to a patch by hand: cables made,
// moved and removed, modules added, removed, renamed and duplicated, and
// settings changed (a knob drag, a button, a display step, a sequencer step).
// Each step knows how to take itself back and make itself again; the steps
// that take a module out of the patch own it until they are forgotten.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "patch/module_edit.h"

class GENERATOR;

/// One edit that can be taken back.
class HISTORY_STEP {
public:
    virtual ~HISTORY_STEP() = default;
    virtual void undo(GENERATOR& g) = 0;
    virtual void redo(GENERATOR& g) = 0;
    /// True when the step adds or removes modules or renames one (the panels are built again).
    virtual bool structural() const { return false; }
    std::string what;  ///< for the status line: "cable plugged: VCO_1 OUT -> SOUND_OUT IN"
    long state_after = 0;  ///< names the patch as this step leaves it (set by the history)
};

/// Cables: ports put back to what they held before (undo) or after (redo).
class PORTS_STEP : public HISTORY_STEP {
public:
    std::vector<PORT_STATE> ports;  ///< in the order they were changed
    void undo(GENERATOR& g) override;
    void redo(GENERATOR& g) override;
};

/// A module added (added = true) or removed. The module is owned by the step
/// while it is out of the patch.
class MODULE_STEP : public HISTORY_STEP {
public:
    MODULE_STEP(MODULE_REMOVAL r, bool added) : removal_(std::move(r)), added_(added), out_(!added) {}
    ~MODULE_STEP() override;
    void undo(GENERATOR& g) override;
    void redo(GENERATOR& g) override;
    bool structural() const override { return true; }

private:
    void take_out(GENERATOR& g);
    void put_back(GENERATOR& g);
    MODULE_REMOVAL removal_;
    bool added_;
    bool out_;  ///< the module is out of the patch (the step owns it)
};

/// A sequencer's grid (notes, octaves, bypasses, volumes, lengths, step
/// counts) as numbers; empty for other modules.
std::vector<float> module_grid(MODULE_REF m);
/// Puts back a grid module_grid gave (the words the panel writes, written the same way).
void apply_module_grid(MODULE_REF m, const std::vector<float>& grid);

/// A module's settings: its objects-section line (and a sequencer's grid) before and after.
class SETTINGS_STEP : public HISTORY_STEP {
public:
    MODULE_REF module;
    std::string before, after;
    std::vector<float> grid_before, grid_after;
    void undo(GENERATOR&) override {
        apply_module_line(module, before.c_str());
        apply_module_grid(module, grid_before);
    }
    void redo(GENERATOR&) override {
        apply_module_line(module, after.c_str());
        apply_module_grid(module, grid_after);
    }
};

/// A module's new name.
class RENAME_STEP : public HISTORY_STEP {
public:
    MODULE_REF module;
    std::string before, after;
    void undo(GENERATOR&) override;
    void redo(GENERATOR&) override;
    bool structural() const override { return true; }
};

class PATCH_HISTORY {
public:
    /// How many steps are kept; the oldest go first.
    static constexpr std::size_t CAPACITY = 512;

    /// Records a step already made (the steps that could be redone are forgotten).
    void push(std::unique_ptr<HISTORY_STEP> step);
    /// Takes the newest step back; null when there is none.
    const HISTORY_STEP* undo(GENERATOR& g);
    /// Makes the newest step taken back again; null when there is none.
    const HISTORY_STEP* redo(GENERATOR& g);
    /// Forgets every step (a patch loaded): the modules they own are deleted.
    void clear();
    std::size_t undo_count() const { return done_.size(); }
    std::size_t redo_count() const { return undone_.size(); }

    /// The patch was saved (or loaded) as it is now.
    void mark_saved() { saved_ = state(); }
    /// The patch differs from what was last saved or loaded (undoing back to
    /// it counts as no difference).
    bool unsaved() const { return saved_ != state(); }
    /// The patch holds edits no file has (restored from an autosave): unsaved
    /// until the next save, whatever is undone.
    void mark_unsaved() { saved_ = -1; }
    /// Names the patch as the steps done leave it: equal ids, equal patches.
    long state_id() const { return state(); }

private:
    long state() const { return done_.empty() ? base_ : done_.back()->state_after; }
    std::deque<std::unique_ptr<HISTORY_STEP>> done_;    ///< oldest first
    std::vector<std::unique_ptr<HISTORY_STEP>> undone_; ///< newest undone last
    long base_ = 0;   ///< the state before the oldest step kept
    long next_ = 0;   ///< the last state number given
    long saved_ = 0;
};

/// The history of the patch the window shows.
PATCH_HISTORY& patch_history();
