#pragma once

#include "linestore.h"

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace trapline {
class Component;
}

/// Undo and redo of the code of the components open in the environment, one
/// history per module. A step is what one user action did to one module: a
/// run of typing, a paste, an add-in's run over it. The code window says
/// when it changes a module; what others (add-ins) change is noticed at the
/// next checkpoint and becomes one step of each module it changed.
///
/// Steps are states of the module's code (see LineStore::State), so undoing
/// brings back every byte, hidden attribute lines included, and a module
/// undone to the version last saved is no longer modified.
class CodeHistory {
public:
    /// Steps kept per module; the oldest go first. A large module keeps
    /// fewer, as each step is a copy of its line references: no module's
    /// history holds more than kMaxBytes, nor fewer than kMinSteps steps.
    static constexpr size_t kMaxSteps = 500;
    static constexpr size_t kMinSteps = 20;
    static constexpr size_t kMaxBytes = size_t(64) << 20;

    /// Before the code window changes `component`. With `newStep` false the
    /// change joins the step before it (more typing on the same line).
    void beforeEdit(trapline::Component& component, bool newStep);
    /// After the code window changed `component`.
    void afterEdit(const trapline::Component& component);
    /// Takes what was changed in `components` since the last look as one
    /// step of each module, and forgets modules no longer among them.
    void checkpoint(const std::vector<trapline::Component*>& components);

    bool canUndo(const trapline::Component& component) const;
    bool canRedo(const trapline::Component& component) const;
    /// Brings `component` back to before its last step; false when there is none.
    bool undo(trapline::Component& component);
    /// Does again the step undone last; false when there is none.
    bool redo(trapline::Component& component);

    /// Forgets every history (other projects were opened).
    void clear() {
        m_tracks.clear();
        m_components.clear();
    }

private:
    struct Track {
        uint64_t identity = 0;            ///< of the reading of the file the states belong to
        uint64_t revision = 0;            ///< of `known`
        trapline::LineStore::State known; ///< the code as last seen
        std::deque<trapline::LineStore::State> undo;
        std::deque<trapline::LineStore::State> redo;
    };
    /// The history of `component`, made when first needed.
    Track& track(const trapline::Component& component);
    const Track* find(const trapline::Component& component) const;
    /// Takes a change made by others since the last look as a step; true when there was one.
    bool notice(const trapline::Component& component, Track& track);
    static void push(Track& track, trapline::LineStore::State state);
    /// Undoes (`back`) or redoes one step.
    bool step(trapline::Component& component, bool back);

    std::unordered_map<const trapline::Component*, Track> m_tracks;
    std::vector<trapline::Component*> m_components; ///< as the last checkpoint saw them
};
