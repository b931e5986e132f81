#include "connect.h"

#include "connectsystem.h"
#include "messagebox.h"
#include "settingsservice.h"
#include "vbenvironment.h"
#include "versionrecord.h"

#include <exception>

namespace {

const char* const kSettings = "Settings";
const char* const kDisplayOnConnect = "DisplayOnConnect";
constexpr const char* kCaption = "TRAPLINE";

/// The run time's numbers for the failures raised here.
constexpr long kTypeMismatch = 13;
constexpr long kInternalError = 51;

/// Office's control ids of the menu bar's Add-Ins and Tools menus, the same
/// in every language of the editor, whose bars' names are not.
constexpr long kAddInsMenuId = 30038;
constexpr long kToolsMenuId = 30007;

int g_instances = 0;

/// Runs `action` and turns anything it throws into an error: no exception
/// may leave the library into the environment.
template <class Action> trapline::Result<void> guarded(Action&& action) {
    try {
        action();
        return {};
    } catch (const std::exception& e) {
        return trapline::makeError(kInternalError, kCaption, e.what());
    } catch (...) {
        return trapline::makeError(kInternalError, kCaption, "Internal error");
    }
}

/// Unbinds the Click before deleting: a control the environment fails to
/// delete must not call into an add-in that is going away. A control that
/// cannot be deleted is skipped without a word.
void removeControl(vbide::CommandBarControl*& control, vbide::CommandBarEvents*& events) {
    if (events)
        events->setClick({});
    if (control) {
        auto deleted = control->Delete();
        static_cast<void>(deleted);
    }
    control = nullptr;
    events = nullptr;
}

/// The menu opened by the control of id `id` on `bar`; null when none.
vbide::CommandBar* popupOf(vbide::CommandBar& bar, long id) {
    vbide::CommandBarControls& controls = bar.Controls();
    for (long i = 1; i <= controls.Count(); ++i) {
        auto control = controls.Item(i);
        if (!control || (*control)->Id() != id)
            continue;
        if (auto menu = (*control)->CommandBar())
            return *menu;
    }
    return nullptr;
}

} // namespace

Connect::Connect() : m_system(ConnectSystem::make()), m_services(m_system->services()) {
    ++g_instances;
}

Connect::Connect(frmAddIn::Services services)
    : m_system(ConnectSystem::make()), m_services(std::move(services)) {
    ++g_instances;
}

Connect::~Connect() {
    unloadForm();
    --g_instances;
}

int Connect::instances() {
    return g_instances;
}

trapline::Result<void> Connect::OnConnection(vbide::Object* Application,
                                             vbide::ext_ConnectMode ConnectMode,
                                             vbide::Object* /*AddInInst*/,
                                             vbide::Custom& /*custom*/) {
    return guarded([&] { AddinInstance_OnConnection(Application, ConnectMode); });
}

trapline::Result<void> Connect::OnDisconnection(vbide::ext_DisconnectMode /*RemoveMode*/,
                                                vbide::Custom& /*custom*/) {
    return guarded([&] { AddinInstance_OnDisconnection(); });
}

trapline::Result<void> Connect::OnStartupComplete(vbide::Custom& /*custom*/) {
    return {};
}

void Connect::AddinInstance_OnConnection(vbide::Object* Application,
                                         vbide::ext_ConnectMode ConnectMode) {
    vbide::VBE* environment = Application ? Application->asVBE() : nullptr;
    if (!environment) {
        showError(trapline::makeError(
            kTypeMismatch, kCaption,
            "Type mismatch: the connecting application is not the development environment"));
        return;
    }
    m_vbInstance = environment;
    switch (ConnectMode) {
    case vbide::ext_cm_External:
        Show();
        break;
    case vbide::ext_cm_AfterStartup:
    case vbide::ext_cm_Startup:
        AddToAddInsMenu();
        AddToCommandBar();
        break;
    default:
        // From the command line: nothing to click and nothing to show.
        break;
    }
}

void Connect::AddinInstance_OnDisconnection() {
    removeControl(m_toolbarButton, m_menuHandler);
    removeControl(m_addInsMenuItem, m_menuBarHandler);
    m_connectionNotes.clear();
    if (m_formDisplayed) {
        m_services.settings.saveSetting(VersionRecord::kProductName, kSettings, kDisplayOnConnect,
                                        "1");
        m_formDisplayed = false;
    } else {
        m_services.settings.saveSetting(VersionRecord::kProductName, kSettings, kDisplayOnConnect,
                                        "0");
    }
    unloadForm();
}

void Connect::Show() {
    m_system->makingWindows([this] { showForm(); });
}

void Connect::showForm() {
    // The window works on the environment's project; without one there is
    // nothing it could do but fail.
    if (!m_vbInstance)
        return;
    // The close box unloads the window: this showing loads a fresh one, as
    // it would after an unload.
    if (m_addInForm && !m_addInForm->Loaded())
        unloadForm();
    if (!m_addInForm) {
        m_addInForm = std::make_unique<frmAddIn>(m_vbInstance, m_services,
                                                 m_system->windowOwner(m_vbInstance->MainWindow()));
        m_system->adopt(*m_addInForm);
        m_loggedNotes.clear();
        // A run changes the engine's code; an environment that keeps its own
        // copy must get the changes, or the user's modules stay as they were.
        m_addInForm->projectChanged = [this] {
            if (m_vbInstance)
                for (const trapline::Error& error : m_vbInstance->writeBack())
                    showError(error);
        };
        // The user edits the code in the environment between runs.
        m_addInForm->projectNeeded = [this](bool& ok) {
            if (!m_vbInstance)
                return;
            if (auto read = m_vbInstance->reload(); !read) {
                showError(read.error());
                ok = false;
            }
            logNotes();
        };
    }
    m_addInForm->VBInstance = m_vbInstance;
    m_addInForm->Connect = this;
    m_formDisplayed = true;
    m_addInForm->Show();
    logNotes();
}

void Connect::Hide() {
    m_formDisplayed = false;
    if (m_addInForm)
        m_addInForm->Hide();
}

void Connect::releaseMenuHandler() {
    if (m_menuHandler)
        m_menuHandler->setClick({});
    m_menuHandler = nullptr;
}

void Connect::AddToCommandBar() {
    if (!m_vbInstance)
        return showError(trapline::makeError(trapline::errors::NoObject, kCaption,
                                             "Object variable or With block variable not set"));
    auto bar = m_vbInstance->CommandBars().Item(2L);
    if (!bar)
        return showError(bar.error());
    (*bar)->setVisible(true);
    vbide::CommandBarControls& controls = (*bar)->Controls();
    const long n = controls.Count();
    // Before the control that was last on the bar.
    auto button = controls.Add(vbide::msoControlButton, std::nullopt, std::nullopt, n);
    if (!button)
        return showError(button.error());
    m_toolbarButton = *button;
    if (auto captioned = m_toolbarButton->setCaption(kCaption); !captioned)
        return showError(captioned.error());
    if (auto pasted = pasteMenuPicture(*m_toolbarButton); !pasted)
        return showError(pasted.error());
    auto events = m_vbInstance->Events().CommandBarEvents(m_toolbarButton);
    if (!events)
        return showError(events.error());
    m_menuHandler = *events;
    bindClick(*m_menuHandler, &Connect::MenuHandler_Click);
    // Exactly "1": anything else, even "1 " or "01", leaves the window closed.
    if (m_services.settings.setting(VersionRecord::kProductName, kSettings, kDisplayOnConnect,
                                    "0") == "1")
        Show();
}

vbide::CommandBar* Connect::entryMenu(std::string& where) {
    vbide::CommandBarCollection& bars = m_vbInstance->CommandBars();
    auto menuBar = bars.Item(std::string("Menu Bar"));
    if (menuBar)
        if (vbide::CommandBar* menu = popupOf(**menuBar, kAddInsMenuId))
            return menu;
    if (auto menu = bars.Item(std::string("Add-Ins")))
        return *menu;
    if (menuBar)
        if (vbide::CommandBar* menu = popupOf(**menuBar, kToolsMenuId)) {
            where = "The TRAPLINE entry is in the Tools menu: the environment has no Add-Ins "
                    "menu.";
            return menu;
        }
    where = "No TRAPLINE menu entry: the environment has neither an Add-Ins nor a Tools menu.";
    return nullptr;
}

void Connect::AddToAddInsMenu() {
    // Failures stay silent here: an environment without the menu still gets
    // the button. An entry that is not in the Add-Ins menu, or none, is told
    // in the window's log.
    if (!m_vbInstance)
        return;
    std::string where;
    vbide::CommandBar* menu = entryMenu(where);
    if (!where.empty())
        m_connectionNotes.push_back(where);
    if (!menu)
        return;
    auto item = menu->Controls().Add(vbide::msoControlButton);
    if (!item)
        return;
    m_addInsMenuItem = *item;
    if (!m_addInsMenuItem->setCaption(kCaption) || !pasteMenuPicture(*m_addInsMenuItem))
        return;
    auto events = m_vbInstance->Events().CommandBarEvents(m_addInsMenuItem);
    if (!events)
        return;
    m_menuBarHandler = *events;
    bindClick(*m_menuBarHandler, &Connect::MenuBarHandler_Click);
}

void Connect::logNotes() {
    if (!m_addInForm)
        return;
    std::vector<std::string> notes = m_connectionNotes;
    if (m_vbInstance)
        for (std::string& note : m_vbInstance->notes())
            notes.push_back(std::move(note));
    for (const std::string& note : notes) {
        if (!m_loggedNotes.insert(note).second)
            continue;
        forms::TextBox& log = m_addInForm->DebugTxt;
        log.setText(log.Text() + note + "\r\n");
    }
}

void Connect::MenuHandler_Click(vbide::CommandBarControl* /*CommandBarControl*/, bool& /*handled*/,
                                bool& /*CancelDefault*/) {
    Show();
}

void Connect::MenuBarHandler_Click(vbide::CommandBarControl* /*CommandBarControl*/,
                                   bool& /*handled*/, bool& /*CancelDefault*/) {
    Show();
}

trapline::Result<void> Connect::pasteMenuPicture(vbide::CommandBarControl& control) {
    return m_system->pasteFace(control);
}

void Connect::bindClick(vbide::CommandBarEvents& source,
                        void (Connect::*handler)(vbide::CommandBarControl*, bool&, bool&)) {
    source.setClick(
        [this, handler](vbide::CommandBarControl* control, bool& handled, bool& CancelDefault) {
            // Show reports nothing, and neither does a click.
            auto shown = guarded([&] { (this->*handler)(control, handled, CancelDefault); });
            static_cast<void>(shown);
        });
}

void Connect::showError(const trapline::Error& error) {
    m_services.messages.show(error.description, VersionRecord::kTitle, trapline::MsgIcon::None,
                             trapline::MsgButtons::Ok);
}

void Connect::unloadForm() {
    if (!m_addInForm)
        return;
    if (m_addInForm->Loaded())
        m_addInForm->Unload();
    // The environment may unload the library right after: the window goes now.
    m_addInForm.reset();
}
