#include "codehistory.h"

#include "component.h"

#include <algorithm>
#include <unordered_set>

using trapline::Component;
using trapline::LineStore;

CodeHistory::Track& CodeHistory::track(const Component& component) {
    const trapline::CodeModule& code = component.CodeModule();
    auto it = m_tracks.find(&component);
    // A module read again (or a new component at a freed address) has a
    // history of its own: states of the old reading mean nothing to it.
    if (it != m_tracks.end() && it->second.identity == code.identity())
        return it->second;
    Track t;
    t.identity = code.identity();
    // Never seen before: what it was before any change is the file as read.
    t.known = code.revision() == 0 ? code.state() : code.originalState();
    t.revision = t.known.revision();
    return m_tracks.insert_or_assign(&component, std::move(t)).first->second;
}

const CodeHistory::Track* CodeHistory::find(const Component& component) const {
    auto it = m_tracks.find(&component);
    return it != m_tracks.end() && it->second.identity == component.CodeModule().identity()
               ? &it->second
               : nullptr;
}

void CodeHistory::push(Track& track, LineStore::State state) {
    const size_t cap = std::clamp(kMaxBytes / state.bytes(), kMinSteps, kMaxSteps);
    track.undo.push_back(std::move(state));
    while (track.undo.size() > cap)
        track.undo.pop_front();
    track.redo.clear();
}

bool CodeHistory::notice(const Component& component, Track& track) {
    const trapline::CodeModule& code = component.CodeModule();
    if (code.revision() == track.revision)
        return false;
    push(track, std::move(track.known));
    track.known = code.state();
    track.revision = code.revision();
    return true;
}

void CodeHistory::beforeEdit(Component& component, bool newStep) {
    Track& t = track(component);
    // Typing never joins what an add-in did in between.
    if (notice(component, t) || newStep || t.undo.empty())
        push(t, t.known);
    t.redo.clear();
}

void CodeHistory::afterEdit(const Component& component) {
    Track& t = track(component);
    t.known = component.CodeModule().state();
    t.revision = t.known.revision();
}

void CodeHistory::checkpoint(const std::vector<Component*>& components) {
    // Looked at on every key and click: the list of components is the same
    // nearly always, and only a new one is worth the pruning.
    if (components != m_components) {
        std::unordered_set<const Component*> present(components.begin(), components.end());
        std::erase_if(m_tracks, [&](const auto& entry) { return !present.count(entry.first); });
        m_components = components;
    }
    for (const Component* c : components) {
        // A module unchanged since it was read needs no history yet; this
        // keeps a look over thousands of modules down to a comparison each.
        if (!c->isLoaded() || (c->CodeModule().revision() == 0 && !m_tracks.count(c)))
            continue;
        notice(*c, track(*c));
    }
}

bool CodeHistory::canUndo(const Component& component) const {
    const Track* t = find(component);
    if (!t)
        return component.isLoaded() && component.CodeModule().revision() != 0;
    return !t->undo.empty() || component.CodeModule().revision() != t->revision;
}

bool CodeHistory::canRedo(const Component& component) const {
    const Track* t = find(component);
    return t && !t->redo.empty() && component.CodeModule().revision() == t->revision;
}

bool CodeHistory::undo(Component& component) {
    return step(component, true);
}

bool CodeHistory::redo(Component& component) {
    return step(component, false);
}

bool CodeHistory::step(Component& component, bool back) {
    Track& t = track(component);
    notice(component, t);
    std::deque<LineStore::State>& from = back ? t.undo : t.redo;
    std::deque<LineStore::State>& to = back ? t.redo : t.undo;
    if (from.empty())
        return false;
    to.push_back(std::move(t.known));
    t.known = std::move(from.back());
    from.pop_back();
    component.CodeModule().restore(t.known);
    t.revision = t.known.revision();
    return true;
}
