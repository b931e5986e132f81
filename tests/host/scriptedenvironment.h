#pragma once

// An environment for add-ins to connect to, laid out by the test: which
// command bars it has, what is on them, and which of its operations fail.

#include "vbenvironment.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ScriptedBar;

class ScriptedEvents : public vbide::CommandBarEvents {
public:
    void setClick(ClickHandler handler) override { m_handler = std::move(handler); }
    bool bound() const { return static_cast<bool>(m_handler); }
    /// Clicks as the environment would.
    void click(vbide::CommandBarControl* control) {
        bool handled = false, cancelDefault = false;
        if (m_handler)
            m_handler(control, handled, cancelDefault);
    }

private:
    ClickHandler m_handler;
};

class ScriptedControl : public vbide::CommandBarControl {
public:
    ScriptedControl(ScriptedBar& bar, std::string caption) : m_bar(bar), m_caption(caption) {}

    std::string Caption() const override { return m_caption; }
    trapline::Result<void> setCaption(const std::string& caption) override {
        m_caption = caption;
        return {};
    }
    trapline::Result<void> PasteFace() override;
    trapline::Result<void> Delete() override;

    const QImage& face() const { return m_face; }
    bool failDelete = false;

private:
    ScriptedBar& m_bar;
    std::string m_caption;
    QImage m_face;
};

class ScriptedBar : public vbide::CommandBar, public vbide::CommandBarControls {
public:
    explicit ScriptedBar(std::string name, std::vector<std::string> captions = {})
        : m_name(std::move(name)) {
        for (const std::string& c : captions)
            m_controls.push_back(std::make_unique<ScriptedControl>(*this, c));
    }

    std::string Name() const override { return m_name; }
    bool Visible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    vbide::CommandBarControls& Controls() override { return *this; }

    long Count() const override { return static_cast<long>(m_controls.size()); }
    trapline::Result<vbide::CommandBarControl*> Item(long index) override {
        if (index < 1 || index > Count())
            return trapline::makeError(9, "CommandBarControls", "Subscript out of range");
        return static_cast<vbide::CommandBarControl*>(m_controls[index - 1].get());
    }
    trapline::Result<vbide::CommandBarControl*> Add(std::optional<long> Type, std::optional<long>,
                                                    std::optional<std::string>,
                                                    std::optional<long> Before,
                                                    std::optional<bool>) override {
        if (Type && *Type != vbide::msoControlButton)
            return trapline::makeError(5, "CommandBarControls", "only buttons");
        if (Before && (*Before < 1 || *Before > Count() + 1))
            return trapline::makeError(5, "CommandBarControls",
                                       "Invalid procedure call or argument: no position " +
                                           std::to_string(*Before) + " on " + m_name);
        size_t at = Before ? static_cast<size_t>(*Before - 1) : m_controls.size();
        auto control = std::make_unique<ScriptedControl>(*this, "");
        ScriptedControl* added = control.get();
        m_controls.insert(m_controls.begin() + static_cast<long>(at), std::move(control));
        return static_cast<vbide::CommandBarControl*>(added);
    }

    std::vector<std::string> captions() const {
        std::vector<std::string> out;
        for (const auto& c : m_controls)
            out.push_back(c->Caption());
        return out;
    }
    ScriptedControl* find(const std::string& caption) const {
        for (const auto& c : m_controls)
            if (c->Caption() == caption)
                return c.get();
        return nullptr;
    }

    /// Whether its controls refuse every face.
    bool failPaste = false;
    /// Called when a control goes, so its event source goes with it.
    std::function<void(ScriptedControl*)> onRemove;

    trapline::Result<void> remove(ScriptedControl* control) {
        if (control->failDelete)
            return trapline::makeError(5, "CommandBarControl", "cannot delete");
        if (onRemove)
            onRemove(control);
        std::erase_if(m_controls, [&](const auto& c) { return c.get() == control; });
        return {};
    }

private:
    std::string m_name;
    bool m_visible = false;
    std::vector<std::unique_ptr<ScriptedControl>> m_controls;
};

inline trapline::Result<void> ScriptedControl::PasteFace() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QImage face = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    if (m_bar.failPaste || face.isNull())
        return trapline::makeError(5, "CommandBarControl", "cannot paste a face");
    m_face = face;
    return {};
}

inline trapline::Result<void> ScriptedControl::Delete() {
    return m_bar.remove(this);
}

class ScriptedEnvironment : public vbide::VBE, public vbide::CommandBars, public vbide::Events {
public:
    /// Bar 1 is the menu bar, bar 2 the toolbar with `toolbar`'s controls;
    /// an "Add-Ins" menu with `addIns` when given.
    explicit ScriptedEnvironment(std::vector<std::string> toolbar = {"Open", "Save", "Run"},
                                 std::optional<std::vector<std::string>> addIns =
                                     std::vector<std::string>{"Add-In Manager..."}) {
        addBar("Menu Bar", {"File", "Edit", "Add-Ins"});
        addBar("Standard", std::move(toolbar));
        if (addIns)
            addBar("Add-Ins", std::move(*addIns));
    }

    vbide::CommandBars& CommandBars() override { return *this; }
    vbide::Events& Events() override { return *this; }
    std::uintptr_t MainWindow() const override { return 0; }

    long Count() const override { return static_cast<long>(m_bars.size()); }
    trapline::Result<vbide::CommandBar*> Item(long index) override {
        if (index < 1 || index > Count())
            return trapline::makeError(9, "CommandBars", "Subscript out of range");
        return static_cast<vbide::CommandBar*>(m_bars[index - 1].get());
    }
    trapline::Result<vbide::CommandBar*> Item(const std::string& name) override {
        for (auto& b : m_bars)
            if (b->Name() == name)
                return static_cast<vbide::CommandBar*>(b.get());
        return trapline::makeError(5, "CommandBars", "Invalid procedure call or argument");
    }

    trapline::Result<vbide::CommandBarEvents*>
    CommandBarEvents(vbide::CommandBarControl* control) override {
        auto& source = m_events[control];
        if (!source)
            source = std::make_unique<ScriptedEvents>();
        return static_cast<vbide::CommandBarEvents*>(source.get());
    }

    ScriptedBar& toolbar() { return *m_bars[1]; }
    ScriptedBar* addInsMenu() { return m_bars.size() > 2 ? m_bars[2].get() : nullptr; }
    /// The event source of `control`, null when the add-in never asked for it.
    ScriptedEvents* events(vbide::CommandBarControl* control) {
        auto it = m_events.find(control);
        return it == m_events.end() ? nullptr : it->second.get();
    }
    /// Clicks the control captioned `caption` on `bar`; false when there is none.
    bool click(ScriptedBar& bar, const std::string& caption) {
        ScriptedControl* control = bar.find(caption);
        ScriptedEvents* source = control ? events(control) : nullptr;
        if (!source)
            return false;
        source->click(control);
        return true;
    }

private:
    void addBar(std::string name, std::vector<std::string> captions) {
        m_bars.push_back(std::make_unique<ScriptedBar>(std::move(name), std::move(captions)));
        m_bars.back()->onRemove = [this](ScriptedControl* c) { m_events.erase(c); };
    }

    std::vector<std::unique_ptr<ScriptedBar>> m_bars;
    std::map<vbide::CommandBarControl*, std::unique_ptr<ScriptedEvents>> m_events;
};

/// An object the environment might hand over that is not its root object.
class NotTheEnvironment : public vbide::Object {};
