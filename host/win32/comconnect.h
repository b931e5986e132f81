#pragma once

#include "dtextensibility2.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace vbide {
class VBE;
} // namespace vbide

/// The add-in object as COM sees it: IDTExtensibility2, dual, its IDispatch
/// answered from the add-in's type library. Each event runs the add-in's own
/// logic (Connect's, in the DLL); the `Application` of a connection becomes
/// the environment object through the late-bound bridge (connectToVBE), and
/// anything else reaches the add-in as no environment at all, which gives
/// the user its message. Nothing thrown leaves it: a failure is an HRESULT.
class ComConnect final : public IDTExtensibility2 {
public:
    /// The add-in's logic behind the COM object.
    struct AddIn {
        std::unique_ptr<vbide::IDTExtensibility2> events;
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

    /// The add-in's type library, read from this module's "TYPELIB" resource.
    static HRESULT loadTypeInfo(ITypeInfo** info);

private:
    ComConnect(ITypeInfo* typeInfo, AddIn addIn);
    ~ComConnect();
    void releaseEnvironments();

    std::atomic<ULONG> m_references{1};
    ITypeInfo* m_typeInfo;
    AddIn m_addIn;
    /// Every environment object of a connection, alive until disconnection:
    /// the add-in and its window hold on to them.
    std::vector<std::unique_ptr<vbide::VBE>> m_environments;
};
