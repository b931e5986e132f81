#pragma once

#include "result.h"

#include <string>
#include <vector>

namespace vbide {

class Object;

/// How an add-in was connected.
enum ext_ConnectMode : long {
    ext_cm_AfterStartup = 0, ///< from the Add-In Manager while the environment runs
    ext_cm_Startup = 1,      ///< while the environment starts
    ext_cm_External = 2,     ///< by an outside caller, such as a wizard
    ext_cm_CommandLine = 3,  ///< from the command line
};

/// Why an add-in is disconnected.
enum ext_DisconnectMode : long {
    ext_dm_HostShutdown = 0, ///< the environment ends
    ext_dm_UserClosed = 1,   ///< unloaded in the Add-In Manager
};

/// Extra arguments of the connection events; the environment passes none.
using Custom = std::vector<std::string>;

/// The connection interface every add-in object implements. The environment
/// calls it on its user-interface thread; nothing is thrown across it.
class IDTExtensibility2 {
public:
    virtual ~IDTExtensibility2() = default;

    /// `Application` is the environment's root object (ask it asVBE()).
    virtual trapline::Result<void> OnConnection(Object* Application, ext_ConnectMode ConnectMode,
                                                Object* AddInInst, Custom& custom) = 0;
    virtual trapline::Result<void> OnDisconnection(ext_DisconnectMode RemoveMode,
                                                   Custom& custom) = 0;
    virtual trapline::Result<void> OnStartupComplete(Custom& custom) = 0;
};

/// What DllGetClassObject hands out: makes the add-in's objects.
class ClassFactory {
public:
    virtual ~ClassFactory() = default;
    /// A new add-in object, owned by the caller (who deletes it with
    /// Release() before the library is unloaded).
    virtual trapline::Result<IDTExtensibility2*> CreateInstance() = 0;
    /// Deletes an object made by CreateInstance(), in the library that made it.
    virtual void Release(IDTExtensibility2* object) = 0;
};

#ifndef _WIN32
// On Windows the exports are COM's own, with the system's names for these.
/// Results of the four exported functions, as COM numbers them.
inline constexpr long S_OK = 0;
inline constexpr long S_FALSE = 1;
inline constexpr long E_FAIL = static_cast<long>(0x80004005L);
inline constexpr long CLASS_E_CLASSNOTAVAILABLE = static_cast<long>(0x80040111L);
inline constexpr long SELFREG_E_CLASS = static_cast<long>(0x80040201L);

/// The exports of an add-in library, looked up by these names:
///
///     extern "C" long DllRegisterServer();
///     extern "C" long DllUnregisterServer();
///     extern "C" long DllGetClassObject(const char* clsid, const char* iid, void** factory);
///     extern "C" long DllCanUnloadNow();
///
/// DllGetClassObject stores a ClassFactory* (owned by the library) in
/// `*factory` for the class identifier `clsid` ("{…}" as registered).
using DllRegisterServerFn = long (*)();
using DllUnregisterServerFn = long (*)();
using DllGetClassObjectFn = long (*)(const char* clsid, const char* iid, void** factory);
using DllCanUnloadNowFn = long (*)();
#endif

} // namespace vbide
