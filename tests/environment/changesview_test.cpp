#include "changesview.h"

#include "../support/runcommand.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "diffhighlighter.h"
#include "environmentvbe.h"
#include "environmentwindow.h"
#include "projectexplorer.h"
#include "qtprinters.h"
#include "workspace.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

/// Runs a test in `folder`, as the command line runs in the user's folder.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : m_old(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_old); }

private:
    fs::path m_old;
};

trapline::CodeModule& code(EnvironmentWindow& env, const std::string& name) {
    trapline::Project& project = *env.vbe().ActiveVBProject();
    for (long i = 1; i <= project.VBComponents().Count(); ++i)
        if ((*project.VBComponents().Item(i))->Name() == name)
            return (*project.VBComponents().Item(i))->CodeModule();
    throw std::runtime_error("no component " + name);
}

QColor colourOfLine(const QPlainTextEdit* text, const QString& start) {
    for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(start) && !b.layout()->formats().isEmpty())
            return b.layout()->formats().front().format.foreground().color();
    return {};
}

} // namespace

TEST(ChangesView, IsAPatchThatTurnsTheFilesOnDiskIntoWhatSaveWrites) {
    TempDir dir;
    const std::string example = std::string(TRAPLINE_SOURCE_DIR) + "/examples";
    fs::copy(example, dir.file("p"), fs::copy_options::recursive);
    fs::copy(example, dir.file("before"), fs::copy_options::recursive);
    InFolder here(dir.file("p"));
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject("Ledger.vbp"));
    ChangesView* view = env.openChanges();
    EXPECT_EQ(view->text()->toPlainText(), "No unsaved changes.");

    ASSERT_TRUE(code(env, "modMain").InsertLines(1, "' first"));
    ASSERT_TRUE(code(env, "modUtil").ReplaceLine(2, "' \xd1\xe2\xee\xe9")); // "Свой" in 1251
    trapline::CodeModule& form = code(env, "frmMain");
    ASSERT_TRUE(form.DeleteLines(form.CountOfLines(), 1));
    env.refresh(); // as the environment notices an add-in's change
    const std::string diff = ChangesView::diffOf(env.workspace());
    const QString shown = view->text()->toPlainText();
    EXPECT_EQ(shown + "\n", QString::fromStdString(trapline::Codepage().toUtf8(diff)).remove('\r'));
    EXPECT_TRUE(shown.startsWith("--- modMain.bas\t")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\n+' Свой\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\n+++ source/ModUtil.bas\t")) << shown.toStdString();
    EXPECT_EQ(colourOfLine(view->text(), "+' first"), DiffHighlighter::added());
    EXPECT_EQ(colourOfLine(view->text(), "@@"), DiffHighlighter::hunk());

    dir.write("changes.patch", diff);
    ASSERT_TRUE(env.saveProject());
    CommandResult patched =
        runCommand("cd '" + dir.file("before") + "' && patch -p0 --quiet -i ../changes.patch");
    ASSERT_EQ(patched.exitCode, 0) << patched.out << patched.err;
    for (const char* file : {"modMain.bas", "source/ModUtil.bas", "frmMain.frm", "CInvoice.cls"})
        EXPECT_TRUE(TempDir::read(dir.file(std::string("before/") + file)) ==
                    TempDir::read(dir.file(std::string("p/") + file)))
            << file;
    EXPECT_EQ(view->text()->toPlainText(), "No unsaved changes.");
}
