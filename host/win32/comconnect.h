#pragma once

#include "connectinterface.h"
#include "dtextensibility2.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace vbide {
class CommandBarEvents;
class VBE;
} // namespace vbide

/// The add-in object as COM sees it: its default interface _Connect and
/// IDTExtensibility2, both dual, their IDispatch answered from the add-in's
/// type library (one IDispatch for both: their numbers do not meet). Each event runs the add-in's
/// own logic (Connect's, in the DLL); the `Application` of a connection becomes the environment
/// object through the late-bound bridge (connectToVBE), and anything else reaches the add-in as no
/// environment at all, which gives the user its message. Nothing thrown leaves it: a failure is an
/// HRESULT.
class ComConnect final : public _Connect, public IDTExtensibility2 {
public:
    /// The add-in's own members behind _Connect, as Connect has them.
    class Members {
    public:
        virtual bool FormDisplayed() const = 0;
        virtual void setFormDisplayed(bool value) = 0;
        virtual vbide::VBE* VBInstance() const = 0;
        virtual void setVBInstance(vbide::VBE* value) = 0;
        virtual vbide::CommandBarEvents* MenuHandler() const = 0;
        virtual void releaseMenuHandler() = 0;
        virtual void Show() = 0;
        virtual void Hide() = 0;
        virtual void AddToCommandBar() = 0;

    protected:
        ~Members() = default;
    };
    /// The add-in's logic behind the COM object.
    struct AddIn {
        std::unique_ptr<vbide::IDTExtensibility2> events;
        /// The same add-in's members, owned with `events`.
        Members* members = nullptr;
        /// Makes the add-in let go of the environment object it was given,
        /// which is released right after its disconnection.
        std::function<void()> forgetEnvironment;
    };
    /// The add-in each new object wraps: the DLL links Connect's
    /// (connectaddin.cpp), tests a scripted one.
    static AddIn makeAddIn();

    /// A new object around makeAddIn(), asked for `iid`. E_NOINTERFACE,
    /// E_OUTOFMEMORY or the type library's failure leave `*object` null.
    static HRESULT create(REFIID iid, void** object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    HRESULT STDMETHODCALLTYPE get_FormDisplayed(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_FormDisplayed(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_VBInstance(IDispatch** value) override;
    /// An object that is not the environment is refused (E_NOINTERFACE);
    /// Nothing leaves the add-in without one.
    HRESULT STDMETHODCALLTYPE put_VBInstance(IDispatch* value) override;
    HRESULT STDMETHODCALLTYPE putref_VBInstance(IDispatch* value) override;
    HRESULT STDMETHODCALLTYPE get_MenuHandler(IDispatch** value) override;
    /// Nothing unbinds the button's clicks; only the source the add-in
    /// bound itself can be set again, any other object is refused.
    HRESULT STDMETHODCALLTYPE put_MenuHandler(IDispatch* value) override;
    HRESULT STDMETHODCALLTYPE putref_MenuHandler(IDispatch* value) override;
    HRESULT STDMETHODCALLTYPE Hide() override;
    HRESULT STDMETHODCALLTYPE Show() override;
    HRESULT STDMETHODCALLTYPE AddToCommandBar() override;

    /// Connects Connect to the environment behind `Application`; one that
    /// is not the environment gets Connect's message, and S_OK.
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                           vbide::ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                           SAFEARRAY** custom) override;
    /// Disconnects Connect, then lets go of the environment's objects.
    HRESULT STDMETHODCALLTYPE OnDisconnection(vbide::ext_DisconnectMode RemoveMode,
                                              SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

    /// The type information of `iid` in the add-in's type library, read
    /// from this module's "TYPELIB" resource.
    static HRESULT loadTypeInfo(REFIID iid, ITypeInfo** info);

private:
    /// An environment object with the IDispatch it came from.
    struct Environment {
        Environment(IDispatch* application, std::unique_ptr<vbide::VBE> environment);
        Environment(const Environment&) = delete;
        Environment& operator=(const Environment&) = delete;
        ~Environment();
        IDispatch* object;
        std::unique_ptr<vbide::VBE> vbe;
    };

    ComConnect(ITypeInfo* connectInfo, ITypeInfo* eventsInfo, AddIn addIn);
    ~ComConnect();
    void releaseEnvironments();
    /// Keeps the environment behind `application`; null when it is none.
    vbide::VBE* keepEnvironment(IDispatch* application);
    HRESULT setVBInstance(IDispatch* value);
    HRESULT setMenuHandler(IDispatch* value);

    std::atomic<ULONG> m_references{1};
    ITypeInfo* m_connectInfo;
    ITypeInfo* m_eventsInfo;
    AddIn m_addIn;
    /// Every environment object of a connection, alive until disconnection:
    /// the add-in and its window hold on to them.
    std::vector<std::unique_ptr<Environment>> m_environments;
};
