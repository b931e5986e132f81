#include "environmentwindow.h"

#include "../support/runcommand.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "dropdowncombo.h"
#include "settingsstore.h"

#include <QCloseEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>

using trapline::MsgAnswer;

namespace {

struct Environment {
    Environment() {
        std::filesystem::copy(std::string(TRAPLINE_SOURCE_DIR) + "/examples", dir.file("p"),
                              std::filesystem::copy_options::recursive);
        settings.SaveSetting(SettingsStore::kApplication, "Options", "Show Tips at Startup", "0");
    }
    TempDir dir;
    SettingsStore settings{QString::fromStdString(dir.file("settings"))};
    ScriptedMessageBox boxes;
    EnvironmentWindow window{settings, QString::fromStdString(dir.file("p")), &boxes};
};

} // namespace

TEST(EnvironmentWindow, OpensAProjectRunsTheAddInAndSavesTheResult) {
    Environment env;
    ASSERT_TRUE(env.window.openProject(QString::fromStdString(env.dir.file("p/Ledger.vbp"))));
    EXPECT_EQ(env.window.components()->count(), 4);
    EXPECT_TRUE(env.window.codeView()->toPlainText().startsWith("'====="));

    QMenu* addIns = env.window.menuBar()->findChild<QMenu*>("AddInsMenu");
    ASSERT_NE(addIns, nullptr);
    EXPECT_EQ(addIns->actions().back()->text(), "TRAPLINE");
    addIns->actions().back()->trigger();
    frmAddIn* addIn = env.window.findChild<frmAddIn*>();
    ASSERT_NE(addIn, nullptr);
    addIn->MdlName->setEditText("modMain");
    env.boxes.answers = {MsgAnswer::Yes};
    addIn->OKButton->click();
    EXPECT_TRUE(env.window.isModified());
    EXPECT_TRUE(env.window.components()->item(0)->text().startsWith("* modMain"));
    EXPECT_TRUE(
        env.window.codeView()->toPlainText().contains("'MyErrorHandler \"modMain.InitLedger\""));

    ASSERT_TRUE(env.window.saveProject());
    EXPECT_FALSE(env.window.isModified());
    EXPECT_NE(TempDir::read(env.dir.file("p/modMain.bas"))
                  .find("'MyErrorHandler \"modMain.InitLedger\"\r\n"),
              std::string::npos);
    EXPECT_EQ(TempDir::read(env.dir.file("p/CInvoice.cls")),
              TempDir::read(std::string(TRAPLINE_SOURCE_DIR) + "/examples/CInvoice.cls"));
}

TEST(EnvironmentWindow, AsksBeforeClosingWithUnsavedChanges) {
    Environment env;
    ASSERT_TRUE(env.window.openProject(QString::fromStdString(env.dir.file("p"))));
    frmAddIn* addIn = env.window.showAddIn();
    addIn->bttn_InsCode->click();
    ASSERT_TRUE(env.window.isModified());
    env.boxes.answers = {MsgAnswer::Cancel};
    EXPECT_FALSE(env.window.close());
    env.boxes.answers = {MsgAnswer::Yes};
    EXPECT_TRUE(env.window.close());
    EXPECT_TRUE(std::filesystem::exists(env.dir.file("p/mdl_Error.bas")));
}

TEST(EnvironmentCommand, PrintsUsageAndRefusesWhatItCannotRenderInsteadOfWaiting) {
    TempDir dir;
    const std::string binary = dir.write("binary.vbp", std::string("\x01\0\xff\0", 4));
    // `timeout` only keeps a hang from stalling the suite; it is no measure.
    const std::string run =
        "QT_QPA_PLATFORM=offscreen timeout 60 '" + std::string(TRAPLINE_ENVIRONMENT_BINARY) + "' ";
    CommandResult help = runCommand(run + "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: trapline-environment", 0), 0u) << help.out;
    struct Case {
        std::string args, message;
    } cases[] = {
        {"--render '" + dir.file("out") + "'", "--render needs DIR and PROJECT"},
        {"--render '" + dir.file("out") + "' '" + dir.file("none.vbp") + "'",
         "none.vbp: no such file or folder"},
        {"--render '" + dir.file("out") + "' '" + binary + "'", "binary file, not a VB project"},
        {"--no-such-option", "unexpected arguments"},
    };
    for (const Case& c : cases) {
        CommandResult r = runCommand(run + c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
}
