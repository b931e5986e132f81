#include "scriptedvbe.h"

#include <algorithm>

namespace {

const IID kVBE = {0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kCommandBarEvents = {
    0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

/// The error VB raises for a bad argument or index.
HRESULT raise(EXCEPINFO* info, HRESULT code, const wchar_t* text) {
    if (info) {
        *info = EXCEPINFO{};
        info->scode = code;
        info->bstrSource = SysAllocString(L"ScriptedVBE");
        info->bstrDescription = SysAllocString(text);
    }
    return DISP_E_EXCEPTION;
}

constexpr HRESULT kInvalidCall = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOutOfRange = static_cast<HRESULT>(0x800A0009);

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t eol; (eol = text.find(L"\r\n", start)) != std::wstring::npos; start = eol + 2)
        lines.push_back(text.substr(start, eol - start));
    lines.push_back(text.substr(start));
    return lines;
}

} // namespace

bool ScriptedCall::omitted(size_t i) const {
    return i >= args.size() || (args[i]->vt == VT_ERROR && args[i]->scode == DISP_E_PARAMNOTFOUND);
}

long ScriptedCall::number(size_t i) const {
    VARIANT v;
    VariantInit(&v);
    if (i >= args.size() || FAILED(VariantChangeType(&v, args[i], 0, VT_I4)))
        return -1;
    return v.lVal;
}

std::wstring ScriptedCall::text(size_t i) const {
    const VARIANT* v = i < args.size() ? args[i] : value;
    if (!v || v->vt != VT_BSTR)
        return {};
    return std::wstring(v->bstrVal ? v->bstrVal : L"", SysStringLen(v->bstrVal));
}

IDispatch* ScriptedCall::object(size_t i) const {
    return i < args.size() && args[i]->vt == VT_DISPATCH ? args[i]->pdispVal : nullptr;
}

void ScriptedCall::returns(long v) {
    if (result) {
        result->vt = VT_I4;
        result->lVal = v;
    }
}

void ScriptedCall::returns(const std::wstring& v) {
    if (result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    }
}

void ScriptedCall::returns(IDispatch* v) {
    if (result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = v;
        if (v)
            v->AddRef();
    }
}

ScriptedObject::ScriptedObject(ScriptedVBE& host, std::wstring kind)
    : m_host(host), m_kind(std::move(kind)) {
    host.adopt(this);
}

void ScriptedObject::define(const std::wstring& name, Member member) {
    m_members.emplace_back(name, std::move(member));
}

HRESULT ScriptedObject::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
        *object = static_cast<IDispatch*>(this);
    else
        *object = other(iid);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG ScriptedObject::Release() {
    const ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT ScriptedObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT ScriptedObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (size_t m = 0; m < m_members.size(); ++m)
        if (lstrcmpiW(m_members[m].first.c_str(), names[0]) == 0)
            ids[0] = static_cast<DISPID>(m + 1);
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ScriptedObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* info, UINT*) {
    if (id < 1 || static_cast<size_t>(id) > m_members.size())
        return DISP_E_MEMBERNOTFOUND;
    const auto& [name, member] = m_members[static_cast<size_t>(id - 1)];
    const std::wstring call = m_kind + L"." + name;
    m_host.record(call);
    if (call == m_host.failing)
        return raise(info, m_host.failure, L"Subscript out of range");
    ScriptedCall c;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    UINT first = 0;
    if (put) {
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        c.value = &params->rgvarg[0];
        first = 1;
    }
    for (UINT i = params->cArgs; i > first; --i)
        c.args.push_back(&params->rgvarg[i - 1]);
    if (result)
        VariantInit(result);
    c.result = result;
    HRESULT hr = member(c);
    if (hr == kInvalidCall || hr == kOutOfRange)
        return raise(info, hr,
                     hr == kOutOfRange ? L"Subscript out of range"
                                       : L"Invalid procedure call or argument");
    return hr;
}

ScriptedEventSource::ScriptedEventSource(ScriptedVBE& host, IDispatch* control)
    : ScriptedObject(host, L"CommandBarEvents"), m_control(control) {}

void* ScriptedEventSource::other(REFIID iid) {
    if (IsEqualIID(iid, IID_IConnectionPointContainer))
        return static_cast<IConnectionPointContainer*>(this);
    if (IsEqualIID(iid, IID_IConnectionPoint))
        return static_cast<IConnectionPoint*>(this);
    return nullptr;
}

HRESULT ScriptedEventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    *point = nullptr;
    if (!IsEqualIID(iid, kCommandBarEvents))
        return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT ScriptedEventSource::GetConnectionInterface(IID* iid) {
    *iid = kCommandBarEvents;
    return S_OK;
}

HRESULT ScriptedEventSource::GetConnectionPointContainer(IConnectionPointContainer** container) {
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT ScriptedEventSource::Advise(IUnknown* sink, DWORD* cookie) {
    IDispatch* events = nullptr;
    if (FAILED(sink->QueryInterface(kCommandBarEvents, reinterpret_cast<void**>(&events))))
        return CONNECT_E_CANNOTCONNECT;
    m_host.record(L"CommandBarEvents.Advise");
    *cookie = m_nextCookie++;
    m_sinks[*cookie] = events;
    return S_OK;
}

HRESULT ScriptedEventSource::Unadvise(DWORD cookie) {
    auto sink = m_sinks.find(cookie);
    if (sink == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    m_host.record(L"CommandBarEvents.Unadvise");
    IDispatch* events = sink->second;
    m_sinks.erase(sink);
    events->Release();
    return S_OK;
}

HRESULT ScriptedEventSource::click(bool& handled, bool& cancelDefault) {
    for (auto [cookie, sink] : std::map<DWORD, IDispatch*>(m_sinks)) {
        VARIANT_BOOL h = handled ? VARIANT_TRUE : VARIANT_FALSE;
        VARIANT_BOOL c = cancelDefault ? VARIANT_TRUE : VARIANT_FALSE;
        VARIANT args[3];
        args[0].vt = VT_BOOL | VT_BYREF;
        args[0].pboolVal = &c;
        args[1].vt = VT_BOOL | VT_BYREF;
        args[1].pboolVal = &h;
        args[2].vt = VT_DISPATCH;
        args[2].pdispVal = m_control;
        DISPPARAMS params{args, nullptr, 3, 0};
        HRESULT hr =
            sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        if (FAILED(hr))
            return hr;
        handled = h != VARIANT_FALSE;
        cancelDefault = c != VARIANT_FALSE;
    }
    return S_OK;
}

ScriptedVBE::ScriptedVBE(Options options)
    : modules(std::move(options.modules)), m_mainWindow(options.mainWindow) {
    for (const std::wstring& bar : options.bars)
        m_bars[bar] = makeBar(bar);
    for (const auto& [bar, captions] : options.controls)
        for (const std::wstring& caption : captions)
            m_controls[bar].push_back(Control{makeControl(bar), caption});
    m_root = makeRoot(options.offersVBE);
    ScriptedObject* bars = makeBars(options.bars);
    ScriptedObject* events = makeEvents();
    ScriptedObject* project = makeProject();
    ScriptedObject* window = new ScriptedObject(*this, L"Window");
    window->define(L"HWnd", [this](ScriptedCall& c) {
        c.returns(m_mainWindow);
        return S_OK;
    });
    m_root->define(L"CommandBars", [bars](ScriptedCall& c) {
        c.returns(bars);
        return S_OK;
    });
    m_root->define(L"Events", [events](ScriptedCall& c) {
        c.returns(events);
        return S_OK;
    });
    m_root->define(L"MainWindow", [window](ScriptedCall& c) {
        c.returns(window);
        return S_OK;
    });
    m_root->define(L"ActiveVBProject", [project](ScriptedCall& c) {
        c.returns(project);
        return S_OK;
    });
}

ScriptedVBE::~ScriptedVBE() {
    for (ScriptedObject* object : m_objects)
        object->Release();
}

size_t ScriptedVBE::count(const std::wstring& call) const {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

long ScriptedVBE::extraReferences() const {
    long extra = 0;
    for (ScriptedObject* object : m_objects)
        extra += static_cast<long>(object->references()) - 1;
    return extra;
}

std::vector<std::wstring> ScriptedVBE::captions(const std::wstring& bar) const {
    std::vector<std::wstring> result;
    if (auto found = m_controls.find(bar); found != m_controls.end())
        for (const Control& control : found->second)
            result.push_back(control.caption);
    return result;
}

namespace {

class Root : public ScriptedObject {
public:
    Root(ScriptedVBE& host, bool offersVBE) : ScriptedObject(host, L"VBE"), m_offers(offersVBE) {}

protected:
    void* other(REFIID iid) override {
        return m_offers && IsEqualIID(iid, kVBE) ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    bool m_offers;
};

} // namespace

ScriptedObject* ScriptedVBE::makeRoot(bool offersVBE) {
    return new Root(*this, offersVBE);
}

ScriptedObject* ScriptedVBE::makeBars(const std::vector<std::wstring>& names) {
    auto* bars = new ScriptedObject(*this, L"CommandBars");
    bars->define(L"Count", [names](ScriptedCall& c) {
        c.returns(static_cast<long>(names.size()));
        return S_OK;
    });
    bars->define(L"Item", [this, names](ScriptedCall& c) {
        std::wstring name = c.text(0);
        if (name.empty()) {
            const long index = c.number(0);
            if (index < 1 || index > static_cast<long>(names.size()))
                return kOutOfRange;
            name = names[static_cast<size_t>(index - 1)];
        }
        auto bar = m_bars.find(name);
        if (bar == m_bars.end())
            return kInvalidCall;
        c.returns(bar->second);
        return S_OK;
    });
    return bars;
}

ScriptedObject* ScriptedVBE::makeBar(const std::wstring& name) {
    auto* bar = new ScriptedObject(*this, L"CommandBar");
    auto* controls = new ScriptedObject(*this, L"CommandBarControls");
    bar->define(L"Name", [name](ScriptedCall& c) {
        c.returns(name);
        return S_OK;
    });
    bar->define(L"Visible", [](ScriptedCall& c) {
        if (c.result) {
            c.result->vt = VT_BOOL;
            c.result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    });
    bar->define(L"Controls", [controls](ScriptedCall& c) {
        c.returns(controls);
        return S_OK;
    });
    controls->define(L"Count", [this, name](ScriptedCall& c) {
        c.returns(static_cast<long>(m_controls[name].size()));
        return S_OK;
    });
    controls->define(L"Item", [this, name](ScriptedCall& c) {
        const long index = c.number(0);
        if (index < 1 || index > static_cast<long>(m_controls[name].size()))
            return kOutOfRange;
        c.returns(m_controls[name][static_cast<size_t>(index - 1)].object);
        return S_OK;
    });
    controls->define(L"Add", [this, name](ScriptedCall& c) {
        std::wstring shown;
        for (size_t i = 0; i < 5; ++i)
            shown += (i ? L"," : L"") +
                     (c.omitted(i) ? std::wstring(L"-") : std::to_wstring(c.number(i)));
        adds.push_back(shown);
        std::vector<Control>& list = m_controls[name];
        const long before = c.omitted(3) ? static_cast<long>(list.size()) + 1 : c.number(3);
        if ((!c.omitted(0) && c.number(0) != 1) || before < 1 ||
            before > static_cast<long>(list.size()) + 1)
            return kInvalidCall;
        ScriptedObject* control = makeControl(name);
        list.insert(list.begin() + (before - 1), Control{control, L""});
        c.returns(control);
        return S_OK;
    });
    return bar;
}

ScriptedObject* ScriptedVBE::makeControl(const std::wstring& bar) {
    auto* control = new ScriptedObject(*this, L"CommandBarControl");
    auto mine = [this, bar, control]() -> Control* {
        for (Control& c : m_controls[bar])
            if (c.object == control)
                return &c;
        return nullptr;
    };
    control->define(L"Caption", [mine](ScriptedCall& c) {
        Control* self = mine();
        if (!self)
            return kInvalidCall; // deleted
        if (c.value)
            self->caption = c.text(0);
        else
            c.returns(self->caption);
        return S_OK;
    });
    control->define(L"PasteFace", [this](ScriptedCall&) {
        std::wstring face = L"none";
        if (OpenClipboard(nullptr)) {
            if (auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
                BITMAP info{};
                GetObjectW(bitmap, sizeof info, &info);
                face = std::to_wstring(info.bmWidth) + L"x" + std::to_wstring(info.bmHeight);
            }
            CloseClipboard();
        }
        faces.push_back(face);
        return face == L"none" ? kInvalidCall : S_OK;
    });
    control->define(L"Delete", [this, bar, control](ScriptedCall& c) {
        if (!c.omitted(0))
            return kInvalidCall;
        std::vector<Control>& list = m_controls[bar];
        auto found = std::find_if(list.begin(), list.end(),
                                  [&](const Control& x) { return x.object == control; });
        if (found == list.end())
            return kInvalidCall;
        list.erase(found);
        return S_OK;
    });
    return control;
}

ScriptedObject* ScriptedVBE::makeEvents() {
    auto* events = new ScriptedObject(*this, L"Events");
    events->define(L"CommandBarEvents", [this](ScriptedCall& c) {
        IDispatch* control = c.object(0);
        for (auto& [bar, list] : m_controls)
            for (Control& x : list)
                if (static_cast<IDispatch*>(x.object) == control) {
                    ScriptedEventSource*& source = sources[x.caption];
                    if (!source)
                        source = new ScriptedEventSource(*this, control);
                    c.returns(static_cast<IDispatch*>(static_cast<ScriptedObject*>(source)));
                    return S_OK;
                }
        return kInvalidCall;
    });
    return events;
}

ScriptedObject* ScriptedVBE::makeComponent(size_t m) {
    auto* component = new ScriptedObject(*this, L"VBComponent");
    ScriptedObject* code = modules[m].hasCode ? makeCodeModule(m) : nullptr;
    component->define(L"Name", [this, m](ScriptedCall& c) {
        if (c.value)
            modules[m].name = c.text(0);
        else
            c.returns(modules[m].name);
        return S_OK;
    });
    component->define(L"Type", [this, m](ScriptedCall& c) {
        c.returns(modules[m].type);
        return S_OK;
    });
    component->define(L"CodeModule", [code](ScriptedCall& c) {
        c.returns(code);
        return S_OK;
    });
    return component;
}

ScriptedObject* ScriptedVBE::makeProject() {
    auto* project = new ScriptedObject(*this, L"VBProject");
    auto* components = new ScriptedObject(*this, L"VBComponents");
    for (size_t m = 0; m < modules.size(); ++m)
        m_components.push_back(makeComponent(m));
    project->define(L"Name", [](ScriptedCall& c) {
        c.returns(std::wstring(L"Project1"));
        return S_OK;
    });
    project->define(L"VBComponents", [components](ScriptedCall& c) {
        c.returns(components);
        return S_OK;
    });
    components->define(L"Count", [this](ScriptedCall& c) {
        c.returns(static_cast<long>(m_components.size()));
        return S_OK;
    });
    components->define(L"Item", [this](ScriptedCall& c) {
        const long index = c.number(0);
        if (index < 1 || index > static_cast<long>(m_components.size()))
            return kOutOfRange;
        c.returns(m_components[static_cast<size_t>(index - 1)]);
        return S_OK;
    });
    // A new module is named as the IDE names it and starts with what the IDE
    // puts in every new module.
    components->define(L"Add", [this](ScriptedCall& c) {
        const long type = c.number(0);
        if (type != 1 && type != 2)
            return kInvalidCall;
        modules.push_back({L"Module" + std::to_wstring(modules.size() + 1), type, newModuleLines});
        m_components.push_back(makeComponent(modules.size() - 1));
        c.returns(m_components.back());
        return S_OK;
    });
    return project;
}

ScriptedObject* ScriptedVBE::makeCodeModule(size_t m) {
    auto* code = new ScriptedObject(*this, L"CodeModule");
    auto lines = [this, m]() -> std::vector<std::wstring>& { return modules[m].lines; };
    auto edited = [this, lines]() {
        if (afterEdit)
            afterEdit(lines());
    };
    code->define(L"CountOfLines", [lines](ScriptedCall& c) {
        c.returns(static_cast<long>(lines().size()));
        return S_OK;
    });
    code->define(L"Lines", [lines](ScriptedCall& c) {
        const long first = c.number(0), count = c.number(1);
        const long size = static_cast<long>(lines().size());
        if (first < 1 || count < 0 || first + count - 1 > size)
            return kOutOfRange;
        std::wstring text;
        for (long i = first; i < first + count; ++i)
            text += (i > first ? L"\r\n" : L"") + lines()[static_cast<size_t>(i - 1)];
        c.returns(text);
        return S_OK;
    });
    code->define(L"DeleteLines", [lines, edited](ScriptedCall& c) {
        const long first = c.number(0), count = c.omitted(1) ? 1 : c.number(1);
        if (first < 1 || count < 1 || first + count - 1 > static_cast<long>(lines().size()))
            return kOutOfRange;
        lines().erase(lines().begin() + (first - 1), lines().begin() + (first - 1 + count));
        edited();
        return S_OK;
    });
    code->define(L"InsertLines", [lines, edited](ScriptedCall& c) {
        const long line = c.number(0);
        if (line < 1 || line > static_cast<long>(lines().size()) + 1)
            return kOutOfRange;
        std::vector<std::wstring> added = splitLines(c.text(1));
        lines().insert(lines().begin() + (line - 1), added.begin(), added.end());
        edited();
        return S_OK;
    });
    code->define(L"ReplaceLine", [lines, edited](ScriptedCall& c) {
        const long line = c.number(0);
        if (line < 1 || line > static_cast<long>(lines().size()))
            return kOutOfRange;
        std::vector<std::wstring> replacement = splitLines(c.text(1));
        lines().erase(lines().begin() + (line - 1));
        lines().insert(lines().begin() + (line - 1), replacement.begin(), replacement.end());
        edited();
        return S_OK;
    });
    return code;
}
