#include "dispatchevents.h"
#include "vberror.h"

#include <ocidl.h>
#include <windows.h>

namespace trapline::dispatch {

namespace {

/// _dispCommandBarControlEvents as the VBA editor's library and VB5's (whose
/// library VB6 shares) know it: tried only when the event source does not
/// tell its own (EnumConnectionPoints, GetConnectionInterface).
const IID kKnownCommandBarEvents[] = {
    {0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    {0x0002E198, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
};

constexpr DISPID kClick = 1;

/// The connection point a CommandBarEvents object raises Click through, and
/// its interface in `events`; null when it has none. The object raises one
/// set of events, so its first connection point is Click's.
IConnectionPoint* clickPoint(IConnectionPointContainer* container, IID& events) {
    IEnumConnectionPoints* points = nullptr;
    if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points) {
        IConnectionPoint* first = nullptr;
        ULONG got = 0;
        const bool found = points->Next(1, &first, &got) == S_OK && got == 1 && first;
        points->Release();
        if (found && SUCCEEDED(first->GetConnectionInterface(&events)))
            return first;
        if (found)
            first->Release();
    }
    for (const IID& known : kKnownCommandBarEvents) {
        IConnectionPoint* point = nullptr;
        if (SUCCEEDED(container->FindConnectionPoint(known, &point)) && point) {
            events = known;
            return point;
        }
    }
    return nullptr;
}

} // namespace

/// What the IDE calls when a control is clicked: an IDispatch whose DISPID 1
/// is Click(CommandBarControl, ByRef handled, ByRef CancelDefault).
class ClickSink : public IDispatch {
public:
    /// `events` is the interface the source calls the sink through.
    ClickSink(vbide::CommandBarControl* control, const IID& events)
        : m_control(control), m_events(events) {}

    vbide::CommandBarEvents::ClickHandler handler;
    /// Cut off when the source ends: a click the IDE still delivers then
    /// reaches nobody.
    void detach() {
        m_control = nullptr;
        handler = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, m_events)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i)
            ids[i] = i == 0 && lstrcmpiW(names[0], L"Click") == 0 ? kClick : DISPID_UNKNOWN;
        return count == 1 && ids[0] == kClick ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT* badArgument) override {
        if (id != kClick)
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 3)
            return DISP_E_BADPARAMCOUNT;
        // Last argument first: CancelDefault, handled, the control.
        VARIANT* byRef[2] = {&params->rgvarg[1], &params->rgvarg[0]};
        for (UINT i = 0; i < 2; ++i)
            if (byRef[i]->vt != (VT_BOOL | VT_BYREF) || !byRef[i]->pboolVal) {
                if (badArgument)
                    *badArgument = 1 - i;
                return DISP_E_TYPEMISMATCH;
            }
        if (!handler)
            return S_OK;
        bool handled = *byRef[0]->pboolVal != VARIANT_FALSE;
        bool cancelDefault = *byRef[1]->pboolVal != VARIANT_FALSE;
        // The handler may delete its control, which drops this connection and
        // the handler with it while it runs: the call keeps its own copy.
        AddRef();
        const vbide::CommandBarEvents::ClickHandler run = handler;
        try {
            run(m_control, handled, cancelDefault);
        } catch (...) {
            Release();
            return E_UNEXPECTED; // nothing thrown crosses into the IDE
        }
        *byRef[0]->pboolVal = handled ? VARIANT_TRUE : VARIANT_FALSE;
        *byRef[1]->pboolVal = cancelDefault ? VARIANT_TRUE : VARIANT_FALSE;
        Release();
        return S_OK;
    }

private:
    virtual ~ClickSink() = default;

    vbide::CommandBarControl* m_control;
    IID m_events;
    ULONG m_references = 1;
};

/// One control's event source: the connection made, the handler bound.
class DispatchEvents::Source : public vbide::CommandBarEvents {
public:
    Source(DispatchObject object, IConnectionPoint* point, ClickSink* sink, DWORD cookie)
        : m_object(std::move(object)), m_point(point), m_sink(sink), m_cookie(cookie) {}
    ~Source() override {
        m_sink->detach();
        m_point->Unadvise(m_cookie);
        m_point->Release();
        m_sink->Release();
    }
    void setClick(ClickHandler handler) override { m_sink->handler = std::move(handler); }
    void* nativeObject() const override { return m_object.get(); }

private:
    /// Held as VB holds it in a WithEvents variable: the IDE may stop raising
    /// the events of a source nobody holds.
    DispatchObject m_object;
    IConnectionPoint* m_point;
    ClickSink* m_sink;
    DWORD m_cookie;
};

DispatchEvents::DispatchEvents(DispatchObject vbe, const DispatchBars& bars)
    : m_vbe(std::move(vbe)), m_bars(bars) {}

DispatchEvents::~DispatchEvents() = default;

void DispatchEvents::forget(vbide::CommandBarControl* control) {
    m_sources.erase(control);
}

trapline::Result<vbide::CommandBarEventSource*>
DispatchEvents::CommandBarEvents(vbide::CommandBarControl* control) {
    if (auto known = m_sources.find(control); known != m_sources.end())
        return known->second.get();
    IDispatch* object = m_bars.dispatchOf(control);
    if (!object)
        return makeError(errors::InvalidCall, "Events",
                         "CommandBarEvents: not a control of this environment");
    auto events = m_vbe.object(L"Events");
    if (!events)
        return events.error();
    auto source = events->object(L"CommandBarEvents", {Variant::fromDispatch(object)});
    if (!source)
        return source.error();
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = source->get()->QueryInterface(IID_IConnectionPointContainer,
                                               reinterpret_cast<void**>(&container));
    if (FAILED(hr))
        return makeError(vbError(hr).number, "Events",
                         "CommandBarEvents: the event source offers no connection points");
    IID raised{};
    IConnectionPoint* point = clickPoint(container, raised);
    container->Release();
    if (!point)
        return makeError(vbError(E_NOINTERFACE).number, "Events",
                         "CommandBarEvents: the event source raises no Click");
    auto* sink = new ClickSink(control, raised);
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr)) {
        point->Release();
        sink->Release();
        return makeError(vbError(hr).number, "Events",
                         "CommandBarEvents: the event source refused the connection");
    }
    auto made = std::make_unique<Source>(*source, point, sink, cookie);
    vbide::CommandBarEventSource* result = made.get();
    m_sources.emplace(control, std::move(made));
    return result;
}

} // namespace trapline::dispatch
