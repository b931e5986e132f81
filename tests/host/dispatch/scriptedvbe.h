#pragma once

// The IDE's object model as IDispatch objects, laid out by a test, with the
// real model's habits: members found by name, collections numbered from 1,
// omitted arguments as VT_ERROR/DISP_E_PARAMNOTFOUND, ByRef arguments written
// back, errors as exceptions with a text. It records every call it gets.

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class ScriptedVBE;

/// One call as an object receives it, its arguments in the order VB writes them.
struct ScriptedCall {
    std::vector<VARIANT*> args;
    VARIANT* value = nullptr; ///< the value of a property put
    VARIANT* result = nullptr;

    bool omitted(size_t i) const {
        return i >= args.size() ||
               (args[i]->vt == VT_ERROR && args[i]->scode == DISP_E_PARAMNOTFOUND);
    }
    long number(size_t i) const;
    std::wstring text(size_t i) const;
    IDispatch* object(size_t i) const {
        return i < args.size() && args[i]->vt == VT_DISPATCH ? args[i]->pdispVal : nullptr;
    }
    /// Each sets the result, when one is asked for, and answers S_OK.
    HRESULT returns(long v);
    HRESULT returns(const std::wstring& v);
    HRESULT returns(IDispatch* v);
};

/// An object of the model: a table of named members, whose DISPIDs are their
/// places in it from 1, a reference count, one Invoke for every member.
class ScriptedObject : public IDispatch {
public:
    using Member = std::function<HRESULT(ScriptedCall&)>;
    using Members = std::vector<std::pair<std::wstring, Member>>;

    ScriptedObject(ScriptedVBE& host, std::wstring kind, Members members = {});
    ScriptedObject(const ScriptedObject&) = delete;
    ScriptedObject& operator=(const ScriptedObject&) = delete;

    void define(Members members);
    ULONG references() const { return m_references; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* badArgument) override;

protected:
    virtual ~ScriptedObject() = default;
    /// Interfaces beyond IUnknown and IDispatch.
    virtual void* other(REFIID) { return nullptr; }
    ScriptedVBE& m_host;

private:
    std::wstring m_kind;
    Members m_members;
    ULONG m_references = 1;
};

/// A control's CommandBarEvents: a connection point for Click.
class ScriptedEventSource : public ScriptedObject,
                            public IConnectionPointContainer,
                            public IConnectionPoint {
public:
    ScriptedEventSource(ScriptedVBE& host, IDispatch* control);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return ScriptedObject::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ScriptedObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ScriptedObject::Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    size_t sinks() const { return m_sinks.size(); }
    /// Raises Click on every sink; `handled` and `cancelDefault` go in and
    /// come back as the sinks left them.
    HRESULT click(bool& handled, bool& cancelDefault);

protected:
    void* other(REFIID iid) override;

private:
    IDispatch* m_control;
    std::map<DWORD, IDispatch*> m_sinks;
    DWORD m_nextCookie = 1;
};

/// A code module's text, as the IDE holds it: lines of UTF-16.
struct ScriptedModule {
    std::wstring name;
    long type = 1;
    std::vector<std::wstring> lines;
    bool hasCode = true; ///< else its CodeModule is Nothing
};

/// Whose extensibility library the IDE's interfaces come from: the VBA
/// editor's, or VB5's, which VB6 shares (other ids for VBE and for the
/// Click events, and none of VBA's answered).
enum class ScriptedFlavour { VBA, VB6 };

/// The IDE: a root object with command bars, events, a main window and an
/// active project, as the test lays them out.
class ScriptedVBE {
public:
    struct Options {
        ScriptedFlavour flavour = ScriptedFlavour::VBA;
        /// Else the root lacks ActiveVBProject and VBProjects, as an Office
        /// application's own root object does.
        bool isIDE = true;
        /// Inserted and replaced lines are kept as prettyListed() gives them.
        bool prettyListing = false;
        std::vector<std::wstring> bars{L"Menu Bar", L"Standard", L"Add-Ins"};
        /// The menu bar's popup menus: caption, control id, the bar it opens
        /// (one of `bars`), after the bar's `controls`.
        struct Popup {
            std::wstring caption;
            long id;
            std::wstring bar;
        };
        std::vector<Popup> menus;
        /// The controls each bar starts with, by caption (none by default).
        std::map<std::wstring, std::vector<std::wstring>> controls;
        std::vector<ScriptedModule> modules;
        long mainWindow = 0x1234;
    };
    explicit ScriptedVBE(Options options);
    ~ScriptedVBE();

    IDispatch* application() { return m_root; }

    /// Member calls as "Kind.Member", in order.
    std::vector<std::wstring> calls;
    size_t count(const std::wstring& call) const;
    /// "Kind.Member" that fails with "Subscript out of range" (0x800A0009).
    std::wstring failing;
    /// Runs after every edit of a module's text, to change it as an IDE may.
    std::function<void(std::vector<std::wstring>& lines)> afterEdit;

    /// The modules' texts as they are now.
    std::vector<ScriptedModule> modules;
    /// What VBComponents.Add puts in a new module ("Option Explicit" where
    /// variables must be declared).
    std::vector<std::wstring> newModuleLines;
    /// The captions of a bar's controls, in order.
    std::vector<std::wstring> captions(const std::wstring& bar) const;
    /// What each PasteFace found on the clipboard: "32x32", or "none".
    std::vector<std::wstring> faces;
    /// How Controls.Add got its arguments: "1,-,-,3,-" (omitted as "-").
    std::vector<std::wstring> adds;
    /// The event sources made, by control caption.
    std::map<std::wstring, ScriptedEventSource*> sources;

    /// References held beyond the host's own, over every object.
    long extraReferences() const;
    /// The interface Click events are raised through in this flavour.
    const IID& clickEvents() const;
    /// `line` as the code window lists it: known keywords and Err re-cased,
    /// runs of blanks after the indentation made one outside strings and
    /// comments, trailing blanks dropped.
    static std::wstring prettyListed(const std::wstring& line);

    void record(const std::wstring& call) { calls.push_back(call); }
    void adopt(ScriptedObject* object) { m_objects.push_back(object); }

private:
    struct Control {
        ScriptedObject* object;
        std::wstring caption;
        long id = 1;
        ScriptedObject* popup = nullptr; ///< the bar a popup menu opens
    };
    ScriptedObject* makeBars(const std::vector<std::wstring>& bars);
    ScriptedObject* makeBar(const std::wstring& name);
    ScriptedObject* makeControl(const std::wstring& bar);
    ScriptedObject* makeEvents();
    ScriptedObject* makeProject();
    ScriptedObject* makeComponent(size_t module);
    ScriptedObject* makeCodeModule(size_t module);
    /// The control `object` on any bar; null once it is deleted.
    Control* control(const IDispatch* object);

    ScriptedFlavour m_flavour;
    bool m_prettyListing;
    std::vector<ScriptedObject*> m_objects;
    ScriptedObject* m_root = nullptr;
    std::map<std::wstring, ScriptedObject*> m_bars;
    std::vector<ScriptedObject*> m_components;
    std::map<std::wstring, std::vector<Control>> m_controls; ///< by bar
};
