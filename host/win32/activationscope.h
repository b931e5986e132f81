#pragma once

#include <windows.h>

/// Makes a module's own manifest (resource 2: the version 6 common
/// controls) the active one while it lives, so that the windows made
/// meanwhile get those controls whatever the host program's manifest says.
/// A DLL's manifest is never applied by the loader; it has to be activated
/// around each entry from the host that may make windows. Does nothing for
/// a module without that manifest.
class ActivationScope {
public:
    /// Activates the manifest of `module`: by default this code's DLL.
    explicit ActivationScope(HMODULE module = nullptr);
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

    /// The activated context; INVALID_HANDLE_VALUE when there is none.
    HANDLE context() const { return m_context; }

private:
    HANDLE m_context = INVALID_HANDLE_VALUE;
    ULONG_PTR m_cookie = 0;
    bool m_active = false;
};
