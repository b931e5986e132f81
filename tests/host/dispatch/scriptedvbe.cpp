#include "scriptedvbe.h"

#include <algorithm>

namespace {

/// VBE and _dispCommandBarControlEvents of the VBA editor's library
/// (VBIDE 5.3, {0002E157-…}) and of VB5's, which VB6's VB6EXT.OLB shares
/// ({EF404E00-EDA6-101A-8DAF-00DD010F7EBB}).
const IID kVBAVBE = {0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kVBAClick = {
    0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kVB6VBE = {0x0002E100, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kVB6Click = {
    0x0002E198, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr HRESULT kInvalidCall = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOutOfRange = static_cast<HRESULT>(0x800A0009);

/// VB's error for a bad argument or index, as an exception with its text.
HRESULT raise(EXCEPINFO* info, HRESULT code) {
    if (info) {
        *info = EXCEPINFO{};
        info->scode = code;
        info->bstrSource = SysAllocString(L"ScriptedVBE");
        info->bstrDescription =
            SysAllocString(code == kInvalidCall ? L"Invalid procedure call or argument"
                                                : L"Subscript out of range");
    }
    return DISP_E_EXCEPTION;
}

/// Whether `count` items from `first` (numbered from 1) lie within `size`.
bool within(long first, long count, size_t size) {
    return first >= 1 && count >= 0 && first + count - 1 <= static_cast<long>(size);
}

/// A member that only hands out `value`.
template <class T> ScriptedObject::Member gives(T value) {
    return [value](ScriptedCall& c) { return c.returns(value); };
}

/// Count, and Item by a number from 1, of a collection.
ScriptedObject::Members collection(std::function<size_t()> size,
                                   std::function<IDispatch*(size_t)> at) {
    return {{L"Count", [size](ScriptedCall& c) { return c.returns(static_cast<long>(size())); }},
            {L"Item", [size, at](ScriptedCall& c) {
                 const long index = c.number(0);
                 return within(index, 1, size()) ? c.returns(at(static_cast<size_t>(index - 1)))
                                                 : kOutOfRange;
             }}};
}

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t eol; (eol = text.find(L"\r\n", start)) != std::wstring::npos; start = eol + 2)
        lines.push_back(text.substr(start, eol - start));
    lines.push_back(text.substr(start));
    return lines;
}

/// The root object, which answers for its flavour's VBE interface alone.
class Root : public ScriptedObject {
public:
    Root(ScriptedVBE& host, const IID& vbe) : ScriptedObject(host, L"VBE"), m_vbe(vbe) {}

protected:
    void* other(REFIID iid) override {
        return IsEqualIID(iid, m_vbe) ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    IID m_vbe;
};

/// The one connection point of a CommandBarEvents object, enumerated.
class OnePoint : public IEnumConnectionPoints {
public:
    explicit OnePoint(IConnectionPoint* point) : m_point(point) { m_point->AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumConnectionPoints))
            return *object = nullptr, E_NOINTERFACE;
        AddRef();
        return *object = this, S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            m_point->Release();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* got) override {
        ULONG n = 0;
        if (count > 0 && !m_done) {
            points[n++] = m_point;
            m_point->AddRef();
            m_done = true;
        }
        if (got)
            *got = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return m_done = false, S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    virtual ~OnePoint() = default;
    IConnectionPoint* m_point;
    bool m_done = false;
    ULONG m_references = 1;
};

bool blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

} // namespace

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

HRESULT ScriptedCall::returns(long v) {
    if (result) {
        result->vt = VT_I4;
        result->lVal = v;
    }
    return S_OK;
}

HRESULT ScriptedCall::returns(const std::wstring& v) {
    if (result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    }
    return S_OK;
}

HRESULT ScriptedCall::returns(IDispatch* v) {
    if (result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = v;
        if (v)
            v->AddRef();
    }
    return S_OK;
}

ScriptedObject::ScriptedObject(ScriptedVBE& host, std::wstring kind, Members members)
    : m_host(host), m_kind(std::move(kind)), m_members(std::move(members)) {
    host.adopt(this);
}

void ScriptedObject::define(Members members) {
    m_members.insert(m_members.end(), members.begin(), members.end());
}

HRESULT ScriptedObject::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)
                  ? static_cast<IDispatch*>(this)
                  : other(iid);
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
        return raise(info, kOutOfRange);
    ScriptedCall c;
    UINT first = 0;
    if (flags & DISPATCH_PROPERTYPUT) {
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
    const HRESULT hr = member(c);
    return hr == kInvalidCall || hr == kOutOfRange ? raise(info, hr) : hr;
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

HRESULT ScriptedEventSource::EnumConnectionPoints(IEnumConnectionPoints** points) {
    *points = new OnePoint(this);
    return S_OK;
}

HRESULT ScriptedEventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    *point = nullptr;
    if (!IsEqualIID(iid, m_host.clickEvents()))
        return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT ScriptedEventSource::GetConnectionInterface(IID* iid) {
    *iid = m_host.clickEvents();
    return S_OK;
}

HRESULT ScriptedEventSource::Advise(IUnknown* sink, DWORD* cookie) {
    IDispatch* events = nullptr;
    if (FAILED(sink->QueryInterface(m_host.clickEvents(), reinterpret_cast<void**>(&events))))
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
    : modules(std::move(options.modules)), m_flavour(options.flavour),
      m_prettyListing(options.prettyListing) {
    for (const std::wstring& bar : options.bars)
        m_bars[bar] = makeBar(bar);
    for (const auto& [bar, captions] : options.controls)
        for (const std::wstring& caption : captions)
            m_controls[bar].push_back(Control{makeControl(bar), caption});
    for (const Options::Popup& menu : options.menus)
        m_controls[L"Menu Bar"].push_back(
            Control{makeControl(L"Menu Bar"), menu.caption, menu.id, m_bars[menu.bar]});
    m_root = new Root(*this, m_flavour == ScriptedFlavour::VB6 ? kVB6VBE : kVBAVBE);
    m_root->define({
        {L"CommandBars", gives(makeBars(options.bars))},
        {L"Events", gives(makeEvents())},
        {L"MainWindow",
         gives(new ScriptedObject(*this, L"Window", {{L"HWnd", gives(options.mainWindow)}}))},
    });
    if (options.isIDE) {
        ScriptedObject* project = makeProject();
        m_root->define({{L"ActiveVBProject", gives(project)},
                        {L"VBProjects", gives(new ScriptedObject(
                                            *this, L"VBProjects",
                                            collection([] { return size_t(1); },
                                                       [project](size_t) { return project; })))}});
    }
}

const IID& ScriptedVBE::clickEvents() const {
    return m_flavour == ScriptedFlavour::VB6 ? kVB6Click : kVBAClick;
}

std::wstring ScriptedVBE::prettyListed(const std::wstring& line) {
    static const wchar_t* const keywords[] = {
        L"On",       L"Error",       L"GoTo",   L"Resume", L"Next",    L"Exit",    L"Sub",
        L"Function", L"Property",    L"End",    L"If",     L"Then",    L"Else",    L"Err",
        L"Call",     L"Dim",         L"As",     L"Long",   L"String",  L"Integer", L"Private",
        L"Public",   L"Debug",       L"Print",  L"MsgBox", L"Select",  L"Case",    L"Erl",
        L"And",      L"Or",          L"Not",    L"Set",    L"Nothing", L"True",    L"False",
        L"Number",   L"Description", L"Source", L"Raise"};
    std::wstring out;
    size_t i = 0;
    for (; i < line.size() && blank(line[i]); ++i)
        out += line[i];
    bool spaced = false;
    while (i < line.size()) {
        const wchar_t c = line[i];
        if (blank(c)) {
            spaced = true;
            ++i;
            continue;
        }
        if (spaced)
            out += L' ';
        spaced = false;
        if (c == L'\'') { // a comment: as it stands
            out += line.substr(i);
            break;
        }
        if (c == L'"') {
            const size_t end = line.find(L'"', i + 1);
            const size_t stop = end == std::wstring::npos ? line.size() : end + 1;
            out += line.substr(i, stop - i);
            i = stop;
            continue;
        }
        size_t end = i;
        while (end < line.size() && (iswalnum(line[end]) || line[end] == L'_'))
            ++end;
        if (end == i) {
            out += c;
            ++i;
            continue;
        }
        std::wstring word = line.substr(i, end - i);
        for (const wchar_t* keyword : keywords)
            if (lstrcmpiW(keyword, word.c_str()) == 0)
                word = keyword;
        out += word;
        i = end;
    }
    while (!out.empty() && blank(out.back()))
        out.pop_back();
    return out;
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

ScriptedVBE::Control* ScriptedVBE::control(const IDispatch* object) {
    for (auto& [bar, list] : m_controls)
        for (Control& c : list)
            if (static_cast<IDispatch*>(c.object) == object)
                return &c;
    return nullptr;
}

ScriptedObject* ScriptedVBE::makeBars(const std::vector<std::wstring>& names) {
    ScriptedObject::Members members = collection(
        [names] { return names.size(); }, [this, names](size_t i) { return m_bars[names[i]]; });
    // A bar is found by its name too.
    members[1].second = [this, byIndex = members[1].second](ScriptedCall& c) {
        if (c.text(0).empty())
            return byIndex(c);
        auto bar = m_bars.find(c.text(0));
        return bar == m_bars.end() ? kInvalidCall : c.returns(bar->second);
    };
    return new ScriptedObject(*this, L"CommandBars", std::move(members));
}

ScriptedObject* ScriptedVBE::makeBar(const std::wstring& name) {
    auto* controls = new ScriptedObject(*this, L"CommandBarControls");
    std::vector<Control>& list = m_controls[name];
    controls->define(
        collection([&list] { return list.size(); }, [&list](size_t i) { return list[i].object; }));
    controls->define({
        {L"Add",
         [this, name, &list](ScriptedCall& c) {
             std::wstring shown;
             for (size_t i = 0; i < 5; ++i)
                 shown += (i ? L"," : L"") +
                          (c.omitted(i) ? std::wstring(L"-") : std::to_wstring(c.number(i)));
             adds.push_back(shown);
             const long before = c.omitted(3) ? static_cast<long>(list.size()) + 1 : c.number(3);
             if ((!c.omitted(0) && c.number(0) != 1) || !within(before, 0, list.size()))
                 return kInvalidCall;
             ScriptedObject* made = makeControl(name);
             list.insert(list.begin() + (before - 1), Control{made, L""});
             return c.returns(made);
         }},
    });
    return new ScriptedObject(*this, L"CommandBar",
                              {{L"Name", gives(name)},
                               {L"Visible",
                                [](ScriptedCall& c) {
                                    if (c.result) {
                                        c.result->vt = VT_BOOL;
                                        c.result->boolVal = VARIANT_TRUE;
                                    }
                                    return S_OK;
                                }},
                               {L"Controls", gives(controls)}});
}

ScriptedObject* ScriptedVBE::makeControl(const std::wstring& bar) {
    auto* made = new ScriptedObject(*this, L"CommandBarControl");
    made->define({
        {L"Caption",
         [this, made](ScriptedCall& c) {
             Control* self = control(made);
             if (!self)
                 return kInvalidCall; // deleted
             if (!c.value)
                 return c.returns(self->caption);
             self->caption = c.text(0);
             return S_OK;
         }},
        {L"PasteFace",
         [this](ScriptedCall&) {
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
         }},
        {L"Id",
         [this, made](ScriptedCall& c) {
             Control* self = control(made);
             return self ? c.returns(self->id) : kInvalidCall;
         }},
        {L"CommandBar",
         [this, made](ScriptedCall& c) {
             Control* self = control(made);
             return self && self->popup ? c.returns(self->popup) : DISP_E_MEMBERNOTFOUND;
         }},
        {L"Delete",
         [this, bar, made](ScriptedCall& c) {
             std::vector<Control>& list = m_controls[bar];
             auto found = std::find_if(list.begin(), list.end(),
                                       [&](const Control& x) { return x.object == made; });
             if (!c.omitted(0) || found == list.end())
                 return kInvalidCall;
             list.erase(found);
             return S_OK;
         }},
    });
    return made;
}

ScriptedObject* ScriptedVBE::makeEvents() {
    return new ScriptedObject(*this, L"Events",
                              {{L"CommandBarEvents", [this](ScriptedCall& c) {
                                    Control* found = control(c.object(0));
                                    if (!found)
                                        return kInvalidCall;
                                    ScriptedEventSource*& source = sources[found->caption];
                                    if (!source)
                                        source = new ScriptedEventSource(*this, c.object(0));
                                    return c.returns(static_cast<ScriptedObject*>(source));
                                }}});
}

ScriptedObject* ScriptedVBE::makeProject() {
    for (size_t m = 0; m < modules.size(); ++m)
        m_components.push_back(makeComponent(m));
    auto* components = new ScriptedObject(*this, L"VBComponents",
                                          collection([this] { return m_components.size(); },
                                                     [this](size_t i) { return m_components[i]; }));
    // A new module is named as the IDE names it and starts with what the IDE
    // puts in every new module.
    components->define({{L"Add", [this](ScriptedCall& c) {
                             const long type = c.number(0);
                             if (type != 1 && type != 2)
                                 return kInvalidCall;
                             modules.push_back({L"Module" + std::to_wstring(modules.size() + 1),
                                                type, newModuleLines});
                             m_components.push_back(makeComponent(modules.size() - 1));
                             return c.returns(m_components.back());
                         }}});
    return new ScriptedObject(
        *this, L"VBProject",
        {{L"Name", gives(std::wstring(L"Project1"))}, {L"VBComponents", gives(components)}});
}

ScriptedObject* ScriptedVBE::makeComponent(size_t m) {
    ScriptedObject* code = modules[m].hasCode ? makeCodeModule(m) : nullptr;
    return new ScriptedObject(
        *this, L"VBComponent",
        {{L"Name",
          [this, m](ScriptedCall& c) {
              if (!c.value)
                  return c.returns(modules[m].name);
              modules[m].name = c.text(0);
              return S_OK;
          }},
         {L"Type", [this, m](ScriptedCall& c) { return c.returns(modules[m].type); }},
         {L"CodeModule", gives(code)}});
}

ScriptedObject* ScriptedVBE::makeCodeModule(size_t m) {
    // Every edit puts `added` in place of `count` lines from `first`.
    auto edit = [this, m](long first, long count, std::vector<std::wstring> added) {
        std::vector<std::wstring>& lines = modules[m].lines;
        if (!within(first, count, lines.size()))
            return kOutOfRange;
        if (m_prettyListing)
            for (std::wstring& line : added)
                line = prettyListed(line);
        auto at = lines.erase(lines.begin() + (first - 1), lines.begin() + (first - 1 + count));
        lines.insert(at, added.begin(), added.end());
        if (afterEdit)
            afterEdit(lines);
        return S_OK;
    };
    return new ScriptedObject(
        *this, L"CodeModule",
        {{L"CountOfLines",
          [this, m](ScriptedCall& c) {
              return c.returns(static_cast<long>(modules[m].lines.size()));
          }},
         {L"Lines",
          [this, m](ScriptedCall& c) {
              const long first = c.number(0), count = c.number(1);
              if (!within(first, count, modules[m].lines.size()))
                  return kOutOfRange;
              std::wstring text;
              for (long i = first; i < first + count; ++i)
                  text += (i > first ? L"\r\n" : L"") + modules[m].lines[size_t(i - 1)];
              return c.returns(text);
          }},
         {L"DeleteLines",
          [edit](ScriptedCall& c) {
              const long count = c.omitted(1) ? 1 : c.number(1);
              return count < 1 ? kOutOfRange : edit(c.number(0), count, {});
          }},
         {L"InsertLines",
          [edit](ScriptedCall& c) { return edit(c.number(0), 0, splitLines(c.text(1))); }},
         {L"ReplaceLine",
          [edit](ScriptedCall& c) { return edit(c.number(0), 1, splitLines(c.text(1))); }}});
}
