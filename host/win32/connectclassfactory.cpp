#include "connectclassfactory.h"

#include "comconnect.h"
#include "servermodule.h"

HRESULT ConnectClassFactory::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectClassFactory::AddRef() {
    return 2;
}

ULONG ConnectClassFactory::Release() {
    return 1;
}

HRESULT ConnectClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return ComConnect::create(iid, object);
}

HRESULT ConnectClassFactory::LockServer(BOOL lock) {
    ServerModule::lock(lock != FALSE);
    return S_OK;
}

ConnectClassFactory& ConnectClassFactory::instance() {
    static ConnectClassFactory factory;
    return factory;
}
