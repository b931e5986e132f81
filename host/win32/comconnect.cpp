#include "comconnect.h"

#include "activationscope.h"
#include "commandbarevents.h"
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

HRESULT ComConnect::loadTypeInfo(REFIID iid, ITypeInfo** info) {
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
    hr = library->GetTypeInfoOfGuid(iid, info);
    library->Release();
    return hr;
}

HRESULT ComConnect::create(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return guarded([&] {
        ITypeInfo* connectInfo = nullptr;
        ITypeInfo* eventsInfo = nullptr;
        HRESULT hr = loadTypeInfo(kIID__Connect, &connectInfo);
        if (SUCCEEDED(hr))
            hr = loadTypeInfo(kIID_IDTExtensibility2, &eventsInfo);
        if (FAILED(hr)) {
            if (connectInfo)
                connectInfo->Release();
            return hr;
        }
        ComConnect* made = nullptr;
        try {
            made = new ComConnect(connectInfo, eventsInfo, makeAddIn());
        } catch (...) {
            connectInfo->Release();
            eventsInfo->Release();
            throw;
        }
        hr = made->QueryInterface(iid, object);
        made->Release();
        return hr;
    });
}

ComConnect::Environment::Environment(IDispatch* application,
                                     std::unique_ptr<vbide::VBE> environment)
    : object(application), vbe(std::move(environment)) {
    object->AddRef();
}

ComConnect::Environment::~Environment() {
    // The bridge's objects go back first: they were got from this one.
    vbe.reset();
    object->Release();
}

ComConnect::ComConnect(ITypeInfo* connectInfo, ITypeInfo* eventsInfo, AddIn addIn)
    : m_connectInfo(connectInfo), m_eventsInfo(eventsInfo), m_addIn(std::move(addIn)) {
    ServerModule::objectCreated();
}

ComConnect::~ComConnect() {
    // The add-in goes first: its window may still refer to the environment.
    m_addIn.events.reset();
    m_environments.clear();
    m_connectInfo->Release();
    m_eventsInfo->Release();
    ServerModule::objectDestroyed();
}

HRESULT ComConnect::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    // The default interface answers for IUnknown and IDispatch, as the
    // environment's own classes do.
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, kIID__Connect)) {
        *object = static_cast<_Connect*>(this);
    } else if (IsEqualIID(iid, kIID_IDTExtensibility2)) {
        *object = static_cast<IDTExtensibility2*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
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
    m_connectInfo->AddRef();
    *info = m_connectInfo;
    return S_OK;
}

HRESULT ComConnect::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                  DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    // Callers that reached the events by late binding before _Connect
    // existed still find them on the object's IDispatch.
    const HRESULT hr = DispGetIDsOfNames(m_connectInfo, names, count, ids);
    if (hr != DISP_E_UNKNOWNNAME || count == 0)
        return hr;
    DISPID first = DISPID_UNKNOWN;
    if (FAILED(DispGetIDsOfNames(m_eventsInfo, names, 1, &first)))
        return hr;
    return DispGetIDsOfNames(m_eventsInfo, names, count, ids);
}

HRESULT ComConnect::Invoke(DISPID id, REFIID iid, LCID /*lcid*/, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (id >= 1 && id <= 5)
        return DispInvoke(static_cast<IDTExtensibility2*>(this), m_eventsInfo, id, flags, params,
                          result, exception, argumentError);
    return DispInvoke(static_cast<_Connect*>(this), m_connectInfo, id, flags, params, result,
                      exception, argumentError);
}

HRESULT ComConnect::get_FormDisplayed(VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    *value = m_addIn.members->FormDisplayed() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ComConnect::put_FormDisplayed(VARIANT_BOOL value) {
    m_addIn.members->setFormDisplayed(value != VARIANT_FALSE);
    return S_OK;
}

HRESULT ComConnect::get_VBInstance(IDispatch** value) {
    if (!value)
        return E_POINTER;
    *value = nullptr;
    const vbide::VBE* current = m_addIn.members->VBInstance();
    for (const auto& environment : m_environments) {
        if (environment->vbe.get() == current) {
            *value = environment->object;
            (*value)->AddRef();
            break;
        }
    }
    return S_OK;
}

HRESULT ComConnect::put_VBInstance(IDispatch* value) {
    return setVBInstance(value);
}

HRESULT ComConnect::putref_VBInstance(IDispatch* value) {
    return setVBInstance(value);
}

HRESULT ComConnect::setVBInstance(IDispatch* value) {
    return guarded([&] {
        vbide::VBE* environment = nullptr;
        if (value) {
            environment = keepEnvironment(value);
            if (!environment)
                return E_NOINTERFACE;
        }
        m_addIn.members->setVBInstance(environment);
        return S_OK;
    });
}

HRESULT ComConnect::get_MenuHandler(IDispatch** value) {
    if (!value)
        return E_POINTER;
    *value = nullptr;
    if (const vbide::CommandBarEvents* source = m_addIn.members->MenuHandler())
        *value = static_cast<IDispatch*>(source->nativeObject());
    if (*value)
        (*value)->AddRef();
    return S_OK;
}

HRESULT ComConnect::put_MenuHandler(IDispatch* value) {
    return setMenuHandler(value);
}

HRESULT ComConnect::putref_MenuHandler(IDispatch* value) {
    return setMenuHandler(value);
}

HRESULT ComConnect::setMenuHandler(IDispatch* value) {
    return guarded([&] {
        if (!value) {
            m_addIn.members->releaseMenuHandler();
            return S_OK;
        }
        // The add-in's Click is bound through the environment's own
        // Events; an object it did not get from there has no way to it.
        IDispatch* current = nullptr;
        get_MenuHandler(&current);
        bool same = false;
        if (current) {
            IUnknown* a = nullptr;
            IUnknown* b = nullptr;
            if (SUCCEEDED(current->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a))) &&
                SUCCEEDED(value->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b))))
                same = a == b;
            if (a)
                a->Release();
            if (b)
                b->Release();
            current->Release();
        }
        return same ? S_OK : DISP_E_TYPEMISMATCH;
    });
}

HRESULT ComConnect::Hide() {
    return guarded([&] {
        m_addIn.members->Hide();
        return S_OK;
    });
}

HRESULT ComConnect::Show() {
    return guarded([&] {
        m_addIn.members->Show();
        return S_OK;
    });
}

HRESULT ComConnect::AddToCommandBar() {
    return guarded([&] {
        m_addIn.members->AddToCommandBar();
        return S_OK;
    });
}

vbide::VBE* ComConnect::keepEnvironment(IDispatch* application) {
    auto connected = connectToVBE(application);
    if (!connected)
        return nullptr;
    m_environments.push_back(std::make_unique<Environment>(application, std::move(*connected)));
    return m_environments.back()->vbe.get();
}

HRESULT ComConnect::OnConnection(IDispatch* Application, vbide::ext_ConnectMode ConnectMode,
                                 IDispatch* /*AddInInst*/, SAFEARRAY** /*custom*/) {
    return guarded([&] {
        // The connection may show the window or a message.
        ActivationScope scope;
        // Anything but the environment goes to Connect as no environment at
        // all, which gives the user the connection's message.
        vbide::VBE* environment = Application ? keepEnvironment(Application) : nullptr;
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
