#pragma once

#include <windows.h>

#include <string>

/// The DLL this code is linked into, and what keeps it loaded: the COM
/// objects alive and the class factory's locks.
class ServerModule {
public:
    /// The module of this code (the DLL, or the program it is linked into).
    static HMODULE handle();
    /// Its full path; empty when the system cannot tell.
    static std::wstring path();

    static void objectCreated();
    static void objectDestroyed();
    /// IClassFactory::LockServer.
    static void lock(bool locked);
    /// True when no object and no lock is alive.
    static bool canUnload();
};
