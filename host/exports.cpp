// The library's four entry points, the only names it exports. The
// environment finds the add-in through them: registration writes its entry
// into the environment's add-in registry, DllGetClassObject hands out the
// factory of Connect, and DllCanUnloadNow says when the library may go.
#include "addinlibrary.h"
#include "addinrecord.h"
#include "addinregistry.h"
#include "connect.h"
#include "connectfactory.h"
#include "registration.h"

#include <cstdio>
#include <strings.h>

#define TRAPLINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

/// Registration has no window to show its trouble in; whoever ran it (a
/// registration tool, as a rule) gets the reason on its standard error
/// besides the result code.
long reported(const trapline::Result<void>& done) {
    if (done)
        return vbide::S_OK;
    std::fprintf(stderr, "Trapline: %s: %s\n", done.error().source.c_str(),
                 done.error().description.c_str());
    return vbide::SELFREG_E_CLASS;
}

trapline::Result<void> registerServer() {
    auto record = AddInRecord::load();
    if (!record)
        return record.error();
    vbide::AddInRegistry registry;
    return Registration::registerServer(registry, *record, AddInLibrary::path());
}

} // namespace

TRAPLINE_EXPORT long DllRegisterServer() {
    try {
        return reported(registerServer());
    } catch (...) {
        return vbide::E_FAIL;
    }
}

TRAPLINE_EXPORT long DllUnregisterServer() {
    try {
        vbide::AddInRegistry registry;
        return reported(Registration::unregisterServer(registry));
    } catch (...) {
        return vbide::E_FAIL;
    }
}

TRAPLINE_EXPORT long DllGetClassObject(const char* clsid, const char* /*iid*/, void** factory) {
    static ConnectFactory connectFactory;
    if (!factory)
        return vbide::E_FAIL;
    *factory = nullptr;
    // Class ids are hexadecimal: either case names the same class.
    if (!clsid || strcasecmp(clsid, Registration::kClassId) != 0)
        return vbide::CLASS_E_CLASSNOTAVAILABLE;
    *factory = static_cast<vbide::ClassFactory*>(&connectFactory);
    return vbide::S_OK;
}

TRAPLINE_EXPORT long DllCanUnloadNow() {
    return Connect::instances() == 0 ? vbide::S_OK : vbide::S_FALSE;
}
