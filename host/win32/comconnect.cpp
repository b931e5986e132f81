#include "comconnect.h"

#include "servermodule.h"
#include "vbeconnection.h"

#include <new>

namespace {

/// Runs `action`, turning anything thrown into an HRESULT: nothing may
/// unwind into the environment.
template <class Action> HRESULT guarded(Action&& action) noexcept {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT resultOf(const trapline::Result<void>& done) {
    return done ? S_OK : E_FAIL;
}

} // namespace

HRESULT ComConnect::loadTypeInfo(ITypeInfo** info) {
    *info = nullptr;
    const std::wstring module = ServerModule::path();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    ITypeLib* library = nullptr;
    // Read from the file, never from the registry: it is this module's own
    // library, whether or not it is registered.
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(kIID_IDTExtensibility2, info);
    library->Release();
    return hr;
}

HRESULT ComConnect::create(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return guarded([&] {
        ITypeInfo* info = nullptr;
        if (HRESULT hr = loadTypeInfo(&info); FAILED(hr))
            return hr;
        ComConnect* made = nullptr;
        try {
            made = new ComConnect(info, makeAddIn());
        } catch (...) {
            info->Release();
            throw;
        }
        const HRESULT hr = made->QueryInterface(iid, object);
        made->Release();
        return hr;
    });
}

ComConnect::ComConnect(ITypeInfo* typeInfo, AddIn addIn)
    : m_typeInfo(typeInfo), m_addIn(std::move(addIn)) {
    ServerModule::objectCreated();
}

ComConnect::~ComConnect() {
    // The add-in goes first: its window may still refer to the environment.
    m_addIn.events.reset();
    m_environments.clear();
    m_typeInfo->Release();
    ServerModule::objectDestroyed();
}

HRESULT ComConnect::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, kIID_IDTExtensibility2)) {
        *object = static_cast<IDTExtensibility2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ComConnect::AddRef() {
    return ++m_references;
}

ULONG ComConnect::Release() {
    const ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT ComConnect::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT ComConnect::GetTypeInfo(UINT index, LCID /*lcid*/, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    m_typeInfo->AddRef();
    *info = m_typeInfo;
    return S_OK;
}

HRESULT ComConnect::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                  DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(m_typeInfo, names, count, ids);
}

HRESULT ComConnect::Invoke(DISPID id, REFIID iid, LCID /*lcid*/, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return DispInvoke(static_cast<IDTExtensibility2*>(this), m_typeInfo, id, flags, params, result,
                      exception, argumentError);
}

HRESULT ComConnect::OnConnection(IDispatch* Application, vbide::ext_ConnectMode ConnectMode,
                                 IDispatch* /*AddInInst*/, SAFEARRAY** /*custom*/) {
    return guarded([&] {
        // Anything but the environment goes to Connect as no environment at
        // all, which gives the user the connection's message.
        vbide::VBE* environment = nullptr;
        if (Application) {
            if (auto connected = connectToVBE(Application); connected) {
                m_environments.push_back(std::move(*connected));
                environment = m_environments.back().get();
            }
        }
        vbide::Custom none;
        return resultOf(m_addIn.events->OnConnection(environment, ConnectMode, nullptr, none));
    });
}

HRESULT ComConnect::OnDisconnection(vbide::ext_DisconnectMode RemoveMode, SAFEARRAY** /*custom*/) {
    return guarded([&] {
        vbide::Custom none;
        const HRESULT hr = resultOf(m_addIn.events->OnDisconnection(RemoveMode, none));
        releaseEnvironments();
        return hr;
    });
}

HRESULT ComConnect::OnAddInsUpdate(SAFEARRAY** /*custom*/) {
    return S_OK;
}

HRESULT ComConnect::OnStartupComplete(SAFEARRAY** /*custom*/) {
    return guarded([&] {
        vbide::Custom none;
        return resultOf(m_addIn.events->OnStartupComplete(none));
    });
}

HRESULT ComConnect::OnBeginShutdown(SAFEARRAY** /*custom*/) {
    return S_OK;
}

void ComConnect::releaseEnvironments() {
    // The add-in keeps no environment past its disconnection: its objects
    // go back to the environment now, not when the add-in object goes.
    if (m_addIn.forgetEnvironment)
        m_addIn.forgetEnvironment();
    m_environments.clear();
}
