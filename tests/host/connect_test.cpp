#include "connect.h"

#include "../forms/user.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "frmaddin.h"
#include "registrylookup.h"
#include "scriptedenvironment.h"
#include "settingsstore.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QWidget>
#include <gtest/gtest.h>

using vbide::ext_cm_AfterStartup;
using vbide::ext_cm_CommandLine;
using vbide::ext_cm_External;
using vbide::ext_cm_Startup;

namespace {

const QString kApp = SettingsStore::kApplication;
const std::vector<std::string> kToolbar = {"Open", "Save", "Run"};

/// The add-in connected to a scripted environment, with its settings, its
/// tips file and its message boxes kept by the test.
struct Host {
    explicit Host(
        std::unique_ptr<ScriptedEnvironment> environment = std::make_unique<ScriptedEnvironment>())
        : env(std::move(environment)) {
        settings.SaveSetting(kApp, "Options", "Show Tips at Startup", "0");
    }

    void connect(vbide::ext_ConnectMode mode = ext_cm_Startup) { connectAs(env.get(), mode); }
    void connectAs(vbide::Object* application, vbide::ext_ConnectMode mode = ext_cm_Startup) {
        if (!addIn)
            addIn = std::make_unique<Connect>(
                frmAddIn::Services{boxes, settings, registry,
                                   [](const std::string&) { return true; }, dir.file("addin")});
        ASSERT_TRUE(addIn->OnConnection(application, mode, nullptr, custom));
    }
    void disconnect() { ASSERT_TRUE(addIn->OnDisconnection(vbide::ext_dm_UserClosed, custom)); }
    void setDisplayOnConnect(const QString& value) {
        settings.SaveSetting(kApp, "Settings", "DisplayOnConnect", value);
    }
    QString displayOnConnect() const {
        return settings.GetSetting(kApp, "Settings", "DisplayOnConnect", "(absent)");
    }
    ScriptedControl* button() { return env->toolbar().find("TRAPLINE"); }
    ScriptedControl* menuItem() {
        return env->addInsMenu() ? env->addInsMenu()->find("TRAPLINE") : nullptr;
    }

    TempDir dir;
    SettingsStore settings{QString::fromStdString(dir.file("settings"))};
    ScriptedMessageBox boxes;
    NoRegistry registry;
    vbide::Custom custom;
    std::unique_ptr<ScriptedEnvironment> env;
    std::unique_ptr<Connect> addIn;
};

/// What the environment's event loop does between two user actions: windows
/// closed by their close box go.
void eventLoopRuns() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

/// The tool windows loaded, shown or not. One its close box unloaded stays
/// an object until it is shown again, as an unloaded form does.
int windows(const Host& h) {
    const frmAddIn* form = h.addIn ? h.addIn->addInForm() : nullptr;
    return form && form->Loaded() ? 1 : 0;
}

frmAddIn* shownWindow(const Host& h) {
    return windows(h) == 1 && h.addIn->addInForm()->Visible() ? h.addIn->addInForm() : nullptr;
}

/// No window of the add-in is left, loaded or not: the environment may
/// unload the library next.
bool noWindowLeft() {
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmAddIn")
            return false;
    return true;
}

} // namespace

TEST(Connect, TheWindowOpensForAnExternalConnectionOrWhenDisplayOnConnectIsExactlyOne) {
    struct Row {
        vbide::ext_ConnectMode mode;
        QString stored; // null: nothing stored
        bool opens;
    };
    const Row rows[] = {{ext_cm_CommandLine, QString(), false},  {ext_cm_External, QString(), true},
                        {ext_cm_AfterStartup, QString(), false}, {ext_cm_AfterStartup, "1", true},
                        {ext_cm_AfterStartup, "1 ", false},      {ext_cm_AfterStartup, " 1", false},
                        {ext_cm_AfterStartup, "01", false},      {ext_cm_AfterStartup, "0", false},
                        {ext_cm_AfterStartup, "", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.mode) + " stored: '" + row.stored.toStdString() + "'");
        Host h;
        if (!row.stored.isNull())
            h.setDisplayOnConnect(row.stored);
        h.connect(row.mode);
        EXPECT_EQ(windows(h), row.opens ? 1 : 0);
        EXPECT_EQ(shownWindow(h) != nullptr, row.opens);
        EXPECT_EQ(h.addIn->FormDisplayed(), row.opens);
        // Only a connection made by the environment itself adds controls.
        if (row.mode == ext_cm_CommandLine || row.mode == ext_cm_External) {
            EXPECT_EQ(h.env->toolbar().captions(), kToolbar);
            EXPECT_EQ(h.env->addInsMenu()->Count(), 1);
        }
        h.disconnect();
        EXPECT_EQ(h.displayOnConnect(), row.opens ? "1" : "0");
        EXPECT_TRUE(noWindowLeft());
        EXPECT_TRUE(h.boxes.shown.empty());
    }
}

TEST(Connect, TheCloseBoxUnloadsTheWindowCancelHidesItAsItWasAndTheNextConnectionFollowsSuit) {
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "Cancel" : "close box");
        Host h;
        h.connect();
        // Shown again, a closed window is loaded afresh, even when the click
        // comes before it is deleted; a hidden one comes back as it was.
        frmAddIn* first = nullptr;
        for (bool loopRan : {false, true}) {
            ASSERT_TRUE(
                h.env->click(loopRan ? *h.env->addInsMenu() : h.env->toolbar(), "TRAPLINE"));
            frmAddIn* form = shownWindow(h);
            ASSERT_NE(form, nullptr);
            EXPECT_TRUE(!(loopRan && cancel) || form == first); // the same window
            first = form;
            EXPECT_EQ(form->DebugTxt.Text(), loopRan && cancel ? "log" : "");
            form->DebugTxt.setText("log");
            if (cancel)
                user::click(form->CancelButton);
            else
                user::close(*form);
            if (loopRan)
                eventLoopRuns();
            EXPECT_EQ(shownWindow(h), nullptr);
            EXPECT_EQ(h.addIn->FormDisplayed(), !cancel);
        }
        EXPECT_EQ(windows(h), cancel ? 1 : 0);
        h.disconnect();
        EXPECT_EQ(h.displayOnConnect(), cancel ? "0" : "1");
        EXPECT_TRUE(noWindowLeft());
        // The add-in of the next session: a new object, the same settings.
        h.addIn.reset();
        h.env = std::make_unique<ScriptedEnvironment>();
        h.connect(ext_cm_AfterStartup);
        EXPECT_EQ(shownWindow(h) != nullptr, !cancel);
    }
}

TEST(Connect,
     TheButtonGoesBeforeTheLastToolbarControlTheEntryEndsAnyAddInsMenuAndAStuckOneIsUnbound) {
    Host h;
    h.connect();
    EXPECT_EQ(h.env->toolbar().captions(),
              (std::vector<std::string>{"Open", "Save", "TRAPLINE", "Run"}));
    EXPECT_TRUE(h.env->toolbar().Visible());
    EXPECT_EQ(h.env->addInsMenu()->captions(),
              (std::vector<std::string>{"Add-In Manager...", "TRAPLINE"}));
    const QImage picture(":/BITMAP/MENUBMP");
    EXPECT_EQ(h.button()->face(), picture);
    EXPECT_EQ(h.menuItem()->face(), picture);
    EXPECT_EQ(h.addIn->MenuHandler(), h.env->events(h.button()));
    EXPECT_TRUE(h.boxes.shown.empty());

    // Disconnection goes on past a button that cannot be deleted: it stays,
    // but no longer calls into the add-in, and the menu entry goes.
    h.addIn->Show();
    ScriptedControl* stuck = h.button();
    stuck->failDelete = true;
    h.disconnect();
    EXPECT_EQ(h.button(), stuck);
    EXPECT_FALSE(h.env->events(stuck)->bound());
    EXPECT_EQ(h.addIn->MenuHandler(), nullptr);
    EXPECT_EQ(h.menuItem(), nullptr);
    EXPECT_EQ(h.displayOnConnect(), "1");
    EXPECT_FALSE(h.addIn->FormDisplayed());
    EXPECT_TRUE(noWindowLeft());
    EXPECT_TRUE(h.boxes.shown.empty());

    // Without an Add-Ins menu the button is still added, and nothing is said.
    Host bare(std::make_unique<ScriptedEnvironment>(kToolbar, std::nullopt));
    bare.connect();
    ASSERT_NE(bare.button(), nullptr);
    ASSERT_TRUE(bare.env->click(bare.env->toolbar(), "TRAPLINE"));
    EXPECT_NE(shownWindow(bare), nullptr);
    bare.disconnect();
    EXPECT_TRUE(bare.boxes.shown.empty());
}

TEST(Connect, AFailureAtTheConnectionIsToldOnceAndTheWindowDoesNotFollowIt) {
    NotTheEnvironment stranger;
    const char* const notTheEnvironment =
        "Type mismatch: the connecting application is not the development environment";
    struct Row {
        const char* name;
        std::vector<std::string> toolbar;
        bool facesFail;
        std::optional<vbide::Object*> application; // the environment when absent
        const char* message;
        bool buttonLeft; // made before the failing step
    };
    for (const Row& row : {
             Row{"empty toolbar refuses position 0",
                 {},
                 false,
                 std::nullopt,
                 "Invalid procedure call or argument: no position 0 on Standard",
                 false},
             Row{"toolbar takes no faces", kToolbar, true, std::nullopt, "cannot paste a face",
                 true},
             Row{"not the environment", kToolbar, false, &stranger, notTheEnvironment, false},
             Row{"no application", kToolbar, false, nullptr, notTheEnvironment, false},
         }) {
        SCOPED_TRACE(row.name);
        Host h(std::make_unique<ScriptedEnvironment>(row.toolbar));
        h.env->toolbar().failPaste = row.facesFail;
        h.setDisplayOnConnect("1");
        h.connectAs(row.application.value_or(h.env.get()));
        ASSERT_EQ(h.boxes.shown.size(), 1u);
        EXPECT_EQ(h.boxes.shown[0].text, row.message);
        EXPECT_EQ(h.button() != nullptr, row.buttonLeft);
        EXPECT_EQ(h.button() ? h.env->events(h.button()) : nullptr, nullptr);
        EXPECT_EQ(h.addIn->MenuHandler(), nullptr);
        EXPECT_EQ(windows(h), 0);
        const bool environment = !row.application;
        EXPECT_EQ(h.addIn->VBInstance() != nullptr, environment);
        if (environment) { // the menu entry came first and works
            ASSERT_TRUE(h.env->click(*h.env->addInsMenu(), "TRAPLINE"));
            EXPECT_NE(shownWindow(h), nullptr);
        } else { // nothing to show a window in
            h.addIn->Show();
            EXPECT_EQ(windows(h), 0);
        }
        h.disconnect();
        EXPECT_EQ(h.env->toolbar().captions(), row.toolbar);
        EXPECT_EQ(h.boxes.shown.size(), 1u);
        EXPECT_EQ(h.displayOnConnect(), environment ? "1" : "0");
    }
}

TEST(Connect, TheUsersClipboardIsGivenBackAfterTheFacesArePasted) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QImage red(5, 5, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QImage picture(":/BITMAP/MENUBMP");
    struct Row {
        const char* name;
        std::function<void()> put;
        std::function<void(const QMimeData*)> check;
    };
    const Row rows[] = {
        {"text in several formats",
         [&] {
             auto* data = new QMimeData;
             data->setText("copied");
             data->setData("application/x-trapline-test", QByteArray("\0\1\2", 3));
             clipboard->setMimeData(data);
         },
         [](const QMimeData* data) {
             EXPECT_EQ(data->text(), "copied");
             EXPECT_EQ(data->data("application/x-trapline-test"), QByteArray("\0\1\2", 3));
         }},
        {"a picture", [&] { clipboard->setImage(red); },
         [&](const QMimeData* data) {
             EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).convertToFormat(red.format()), red);
         }},
        {"nothing", [&] { clipboard->clear(); },
         [](const QMimeData* data) { EXPECT_TRUE(!data || data->formats().isEmpty()); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.put();
        Host h;
        h.connect();
        ASSERT_NE(h.menuItem(), nullptr);
        EXPECT_TRUE(h.button()->face() == picture && h.menuItem()->face() == picture);
        row.check(clipboard->mimeData());
        h.disconnect();
    }
}
