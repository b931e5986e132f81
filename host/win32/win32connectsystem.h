#pragma once

#include "connectsystem.h"
#include "messageboxw.h"
#include "registrysettings.h"
#include "win32registry.h"

/// Connect's system on Windows: MessageBoxW, the run time's settings in the
/// registry, the registry itself, CreateProcess, and the clipboard of Win32.
class Win32ConnectSystem : public ConnectSystem {
public:
    frmAddIn::Services services() override;
    trapline::Result<void> pasteFace(vbide::CommandBarControl& control) override;
    /// Nothing to do: the window's owner comes from the environment.
    void adopt(frmAddIn& window) override;
    /// The environment's main window while it is one, so that the add-in's
    /// windows stay above it and go with it; none for a handle that names
    /// no window (a window cannot be made with such an owner).
    forms::FormOwner windowOwner(std::uintptr_t mainWindow) override;
    /// Runs `show` with the DLL's manifest active: its windows get the
    /// version 6 common controls, whatever the environment's manifest says.
    void makingWindows(const std::function<void()>& show) override;

    /// Starts `commandLine` without waiting for it; false when it cannot start.
    static bool startProgram(const std::string& commandLine);

private:
    Win32MessageBox m_messages;
    RegistrySettings m_settings;
    Win32Registry m_registry;
};
