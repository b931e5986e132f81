#pragma once

#include "connectsystem.h"
#include "qtmessagebox.h"
#include "registrylookup.h"
#include "settingsstore.h"

/// Connect's system on Linux: Qt message boxes, the settings store, no
/// registry, programs started detached, the clipboard through Qt.
class QtConnectSystem : public ConnectSystem {
public:
    frmAddIn::Services services() override;
    trapline::Result<void> pasteFace(vbide::CommandBarControl& control) override;
    /// Closing an add-in's window never ends the environment.
    void adopt(frmAddIn& window) override;

private:
    QtMessageBox m_messages;
    SettingsStore m_settings;
    NoRegistry m_registry;
};
