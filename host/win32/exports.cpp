// The DLL's exports, the only names it offers: the four of every COM server
// and DllInstall, for registering per user ("regsvr32 /i:user /n").
#include "addinrecord.h"
#include "comregistration.h"
#include "connectclassfactory.h"
#include "registration.h"
#include "servermodule.h"

#include <cwchar>
#include <olectl.h>
#include <windows.h>

namespace {

/// {D26D66EF-D11E-4A0D-ACB0-F26079A76A88}
constexpr CLSID kCLSID_Connect = {
    0xD26D66EF, 0xD11E, 0x4A0D, {0xAC, 0xB0, 0xF2, 0x60, 0x79, 0xA7, 0x6A, 0x88}};

HRESULT registerServer(ComRegistration::Scope scope, bool install) noexcept {
    try {
        const auto bitness = ComRegistration::thisBitness();
        auto record = AddInRecord::load();
        if (!record)
            return SELFREG_E_CLASS;
        const std::wstring library = ServerModule::path();
        // A class without its file would be a class nobody can create.
        if (library.empty())
            return SELFREG_E_CLASS;
        const auto values = ComRegistration::values(scope, bitness, library, *record);
        return install ? ComRegistration::write(scope, bitness, values)
                       : ComRegistration::remove(scope, bitness, values);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return registerServer(ComRegistration::Scope::Machine, true);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return registerServer(ComRegistration::Scope::Machine, false);
}

/// `command` "user" (any case) registers for the current user alone; none
/// for the machine, as DllRegisterServer does.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command) {
    ComRegistration::Scope scope = ComRegistration::Scope::Machine;
    if (command && *command) {
        if (_wcsicmp(command, L"user") != 0)
            return E_INVALIDARG;
        scope = ComRegistration::Scope::User;
    }
    return registerServer(scope, install != FALSE);
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kCLSID_Connect))
        return CLASS_E_CLASSNOTAVAILABLE;
    return ConnectClassFactory::instance().QueryInterface(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ServerModule::canUnload() ? S_OK : S_FALSE;
}

} // extern "C"
