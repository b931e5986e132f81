#include "dispatchcommandbars.h"
#include "clipboardguard.h"

#include <optional>

#include <windows.h>

namespace trapline::dispatch {

namespace {

/// The face every control of the add-in wears, from the module this code is
/// linked into.
HBITMAP loadFace() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&loadFace), &module);
    return static_cast<HBITMAP>(LoadImageW(module, L"MENUBMP", IMAGE_BITMAP, 0, 0, 0));
}

bool sameObject(IDispatch* a, IDispatch* b) {
    IUnknown *ua = nullptr, *ub = nullptr;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    const bool same = ua && ua == ub;
    if (ua)
        ua->Release();
    if (ub)
        ub->Release();
    return same;
}

class Control : public vbide::CommandBarControl {
public:
    Control(DispatchObject object, DispatchBars::Factory& factory,
            std::function<void(vbide::CommandBarControl*)>& deleted)
        : m_object(std::move(object)), m_factory(factory), m_deleted(deleted) {}

    const DispatchObject& object() const { return m_object; }

    std::string Caption() const override {
        auto caption = m_object.getString(L"Caption");
        return caption ? toUtf8(*caption) : std::string();
    }
    trapline::Result<void> setCaption(const std::string& caption) override {
        return m_object.put(L"Caption", Variant::fromString(fromUtf8(caption)));
    }
    trapline::Result<void> PasteFace() override {
        HBITMAP face = loadFace();
        if (!face) // no face of our own: the caller's picture is on the clipboard
            return done(m_object.call(L"PasteFace"));
        ClipboardGuard saved;
        if (!saved.putBitmap(face))
            return makeError(errors::PermissionDenied, "Clipboard",
                             "PasteFace: the clipboard cannot be opened");
        return done(m_object.call(L"PasteFace"));
    }
    trapline::Result<void> Delete() override {
        auto deleted = m_object.call(L"Delete", {Variant::omitted()});
        if (!deleted)
            return deleted.error();
        if (m_deleted)
            m_deleted(this);
        m_object = DispatchObject();
        return {};
    }
    long Id() const override {
        auto id = m_object.getLong(L"Id");
        return id ? *id : 0;
    }
    trapline::Result<vbide::CommandBar*> CommandBar() override;

private:
    static trapline::Result<void> done(const Result<Variant>& result) {
        if (!result)
            return result.error();
        return {};
    }

    DispatchObject m_object;
    DispatchBars::Factory& m_factory;
    std::function<void(vbide::CommandBarControl*)>& m_deleted;
};

} // namespace

class DispatchBars::Factory {
public:
    explicit Factory(std::function<void(vbide::CommandBarControl*)> deleted)
        : m_deleted(std::move(deleted)) {}

    vbide::CommandBar* bar(DispatchObject object);
    vbide::CommandBarControl* control(DispatchObject object) {
        for (auto& c : m_controls)
            if (c->object() && sameObject(c->object().get(), object.get()))
                return c.get();
        m_controls.push_back(std::make_unique<Control>(std::move(object), *this, m_deleted));
        return m_controls.back().get();
    }
    bool owns(vbide::CommandBarControl* control) const {
        for (auto& c : m_controls)
            if (c.get() == control)
                return true;
        return false;
    }

private:
    std::function<void(vbide::CommandBarControl*)> m_deleted;
    std::deque<std::unique_ptr<vbide::CommandBar>> m_bars;
    std::deque<DispatchObject> m_barObjects;
    std::deque<std::unique_ptr<Control>> m_controls;
};

namespace {

class Controls : public vbide::CommandBarControls {
public:
    Controls(DispatchObject bar, DispatchBars::Factory& factory)
        : m_bar(std::move(bar)), m_factory(factory) {}

    long Count() const override {
        auto controls = m_bar.object(L"Controls");
        if (!controls)
            return 0;
        auto count = controls->getLong(L"Count");
        return count ? *count : 0;
    }
    trapline::Result<vbide::CommandBarControl*> Item(long index) override {
        auto controls = m_bar.object(L"Controls");
        if (!controls)
            return controls.error();
        return wrap(controls->object(L"Item", {Variant::fromLong(index)}));
    }
    trapline::Result<vbide::CommandBarControl*>
    Add(std::optional<long> Type, std::optional<long> Id, std::optional<std::string> Parameter,
        std::optional<long> Before, std::optional<bool> Temporary) override {
        auto controls = m_bar.object(L"Controls");
        if (!controls)
            return controls.error();
        auto number = [](const std::optional<long>& v) {
            return v ? Variant::fromLong(*v) : Variant::omitted();
        };
        return wrap(controls->object(
            L"Add",
            {number(Type), number(Id),
             Parameter ? Variant::fromString(fromUtf8(*Parameter)) : Variant::omitted(),
             number(Before), Temporary ? Variant::fromBool(*Temporary) : Variant::omitted()}));
    }

private:
    trapline::Result<vbide::CommandBarControl*> wrap(Result<DispatchObject> object) {
        if (!object)
            return object.error();
        return m_factory.control(std::move(*object));
    }

    DispatchObject m_bar;
    DispatchBars::Factory& m_factory;
};

class Bar : public vbide::CommandBar {
public:
    Bar(DispatchObject object, DispatchBars::Factory& factory)
        : m_object(object), m_controls(std::move(object), factory) {}

    std::string Name() const override {
        auto name = m_object.getString(L"Name");
        return name ? toUtf8(*name) : std::string();
    }
    bool Visible() const override {
        auto visible = m_object.get(L"Visible");
        return visible && visible->get()->vt == VT_BOOL && visible->get()->boolVal;
    }
    void setVisible(bool visible) override {
        // The interface has no way to report this; the next step reports
        // a bar that does not answer.
        static_cast<void>(m_object.put(L"Visible", Variant::fromBool(visible)));
    }
    vbide::CommandBarControls& Controls() override { return m_controls; }

private:
    DispatchObject m_object;
    class Controls m_controls;
};

} // namespace

trapline::Result<vbide::CommandBar*> Control::CommandBar() {
    auto bar = m_object.object(L"CommandBar");
    if (!bar)
        return bar.error();
    return m_factory.bar(std::move(*bar));
}

vbide::CommandBar* DispatchBars::Factory::bar(DispatchObject object) {
    for (size_t i = 0; i < m_barObjects.size(); ++i)
        if (sameObject(m_barObjects[i].get(), object.get()))
            return m_bars[i].get();
    m_barObjects.push_back(object);
    m_bars.push_back(std::make_unique<Bar>(std::move(object), *this));
    return m_bars.back().get();
}

DispatchBars::DispatchBars(DispatchObject vbe,
                           std::function<void(vbide::CommandBarControl*)> deleted)
    : m_vbe(std::move(vbe)), m_factory(std::make_unique<Factory>(std::move(deleted))) {}

DispatchBars::~DispatchBars() = default;

long DispatchBars::Count() const {
    auto bars = m_vbe.object(L"CommandBars");
    if (!bars)
        return 0;
    auto count = bars->getLong(L"Count");
    return count ? *count : 0;
}

trapline::Result<vbide::CommandBar*> DispatchBars::Item(long index) {
    // A bar's number goes as an Integer, as VB code passes it.
    const bool small = index >= -32768 && index <= 32767;
    return item(small ? Variant::fromShort(static_cast<short>(index)) : Variant::fromLong(index));
}

trapline::Result<vbide::CommandBar*> DispatchBars::Item(const std::string& name) {
    return item(Variant::fromString(fromUtf8(name)));
}

trapline::Result<vbide::CommandBar*> DispatchBars::item(const Variant& index) {
    auto bars = m_vbe.object(L"CommandBars");
    if (!bars)
        return bars.error();
    auto bar = bars->object(L"Item", {index});
    if (!bar)
        return bar.error();
    return m_factory->bar(std::move(*bar));
}

IDispatch* DispatchBars::dispatchOf(vbide::CommandBarControl* control) const {
    return m_factory->owns(control) ? static_cast<Control*>(control)->object().get() : nullptr;
}

} // namespace trapline::dispatch
