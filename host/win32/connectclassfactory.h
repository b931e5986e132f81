#pragma once

#include <unknwn.h>

/// The class factory DllGetClassObject hands out for Connect: one static
/// object whose references do not count, as a DLL's factory; its locks keep
/// the DLL loaded (ServerModule).
class ConnectClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    /// A new ComConnect; no aggregation.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    /// The one factory.
    static ConnectClassFactory& instance();
};
