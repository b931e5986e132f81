#pragma once

#include "addin.h"
#include "addinconnect.h"
#include "frmaddin.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vbide {
class CommandBar;
class CommandBarControl;
class CommandBarEvents;
class VBE;
} // namespace vbide

/// The add-in's entry object. The environment creates one and drives it
/// through the three connection events. At connection it adds the
/// "TRAPLINE" entry at the end of the Add-Ins menu (the menu bar's control
/// 30038, else the bar "Add-Ins"; else the Tools menu, control 30007, which
/// the window's log then tells) and the "TRAPLINE" button on the
/// environment's second command bar; a click on either shows
/// the one tool window. It remembers whether the window is displayed and
/// keeps that across connections as the setting "DisplayOnConnect".
///
///     Connect addIn;                    // made by the library's class factory
///     addIn.OnConnection(vbe, vbide::ext_cm_Startup, nullptr, custom);
///     ...                               // clicks on the button call Show()
///     addIn.OnDisconnection(vbide::ext_dm_HostShutdown, custom);
///
/// Failures are handled where they happen: a failed connection or a failed
/// button shows a message box captioned "TRAPLINE"; the menu entry, Show,
/// Hide and the disconnection skip what fails without a word. Nothing is
/// thrown out of it. The environment disconnects it before deleting it.
class ConnectSystem;

class Connect : public vbide::IDTExtensibility2, public AddInConnect {
public:
    /// With the add-in's own surroundings, as the system gives them
    /// (ConnectSystem): message boxes, the user's settings, the registry,
    /// the program starter and the library's folder for the tips file.
    Connect();
    /// With the caller's surroundings, which must outlive this object; the
    /// clipboard and the new window's readying still come from the system.
    explicit Connect(frmAddIn::Services services);
    ~Connect() override;
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    /// Connects: keeps the environment object; mode 2 shows the window,
    /// modes 0 and 1 add the menu entry and then the button (which shows the
    /// window when "DisplayOnConnect" is "1"), any other mode does nothing
    /// more. An `Application` that is not the environment ends it with a
    /// message. Always succeeds: what fails has been reported to the user.
    trapline::Result<void> OnConnection(vbide::Object* Application,
                                        vbide::ext_ConnectMode ConnectMode,
                                        vbide::Object* AddInInst, vbide::Custom& custom) override;
    /// Deletes the button and the menu entry, saves "DisplayOnConnect" ("1"
    /// when the window counted as displayed, else "0"), unloads and releases
    /// the window. Each step runs even when an earlier one failed.
    trapline::Result<void> OnDisconnection(vbide::ext_DisconnectMode RemoveMode,
                                           vbide::Custom& custom) override;
    /// Does nothing.
    trapline::Result<void> OnStartupComplete(vbide::Custom& custom) override;

    /// True while the window counts as displayed: set by Show, cleared by
    /// Hide and at disconnection. Closing the window by its close box leaves
    /// it set.
    bool FormDisplayed() const { return m_formDisplayed; }
    /// The tool window while it is an object, loaded or not.
    frmAddIn* addInForm() const { return m_addInForm.get(); }
    void setFormDisplayed(bool value) { m_formDisplayed = value; }

    /// The environment object, kept at connection; null before.
    vbide::VBE* VBInstance() const { return m_vbInstance; }
    void setVBInstance(vbide::VBE* value) { m_vbInstance = value; }

    /// The event source of the toolbar button; null while there is no button.
    vbide::CommandBarEvents* MenuHandler() const { return m_menuHandler; }
    /// Lets go of the button's event source: its clicks no longer show the
    /// window. The button itself stays until disconnection.
    void releaseMenuHandler();

    /// Shows the one tool window modeless, creating it first when there is
    /// none (or when its close box unloaded it), and sets FormDisplayed.
    void Show();
    /// Clears FormDisplayed and hides the window; it stays loaded as it was.
    void Hide() override;
    /// Adds the "TRAPLINE" button before the last control of the second
    /// command bar, binds its Click, then shows the window when the setting
    /// "DisplayOnConnect" is exactly "1". A failing step shows its error's
    /// description and ends the procedure.
    void AddToCommandBar();

    /// How many Connect objects exist; the library may go when none does.
    static int instances();

private:
    void AddinInstance_OnConnection(vbide::Object* Application, vbide::ext_ConnectMode ConnectMode);
    void AddinInstance_OnDisconnection();
    void AddToAddInsMenu();
    /// The menu the entry goes to; `where` tells the log of any other place
    /// than the Add-Ins menu, or of none.
    vbide::CommandBar* entryMenu(std::string& where);
    /// Writes into the window's log what it has not been told yet: where
    /// the menu entry went, what the last reading of the code left out.
    void logNotes();
    void MenuHandler_Click(vbide::CommandBarControl* CommandBarControl, bool& handled,
                           bool& CancelDefault);
    void MenuBarHandler_Click(vbide::CommandBarControl* CommandBarControl, bool& handled,
                              bool& CancelDefault);

    /// Puts "MENUBMP" on the clipboard for `control` to paste as its face,
    /// then gives the clipboard back what it held before.
    trapline::Result<void> pasteMenuPicture(vbide::CommandBarControl& control);
    void bindClick(vbide::CommandBarEvents& source,
                   void (Connect::*handler)(vbide::CommandBarControl*, bool&, bool&));
    void showError(const trapline::Error& error);
    void unloadForm();
    void showForm();

    std::unique_ptr<ConnectSystem> m_system;
    frmAddIn::Services m_services;
    bool m_formDisplayed = false;
    vbide::VBE* m_vbInstance = nullptr;
    std::unique_ptr<frmAddIn> m_addInForm;
    vbide::CommandBarControl* m_toolbarButton = nullptr;
    vbide::CommandBarControl* m_addInsMenuItem = nullptr;
    vbide::CommandBarEvents* m_menuHandler = nullptr;
    vbide::CommandBarEvents* m_menuBarHandler = nullptr;
    std::vector<std::string> m_connectionNotes;
    std::set<std::string> m_loggedNotes; ///< of the window as it is now
};
