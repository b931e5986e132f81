#include "changesview.h"

#include "../support/runcommand.h"
#include "environmenttest.h"
#include "workspace.h"

#include <gtest/gtest.h>
#include <memory>

namespace fs = std::filesystem;

namespace {

trapline::CodeModule& code(EnvironmentWindow& env, const std::string& name) {
    trapline::Project& project = *env.vbe().ActiveVBProject();
    for (long i = 1; i <= project.VBComponents().Count(); ++i)
        if ((*project.VBComponents().Item(i))->Name() == name)
            return (*project.VBComponents().Item(i))->CodeModule();
    throw std::runtime_error("no component " + name);
}

} // namespace

TEST(ChangesView, IsAPatchThatTurnsTheFilesOnDiskIntoWhatSaveWrites) {
    Session s;
    fs::copy(kExample, s.dir.file("p"), fs::copy_options::recursive);
    fs::copy(kExample, s.dir.file("before"), fs::copy_options::recursive);
    // Names in the patch are relative to the folder the environment runs in.
    std::shared_ptr<void> back(nullptr,
                               [old = fs::current_path()](void*) { fs::current_path(old); });
    fs::current_path(s.dir.file("p"));
    ASSERT_TRUE(s.open("p/Ledger.vbp")); // by its full name, as a user opens it
    ChangesView* view = s.env.openChanges();

    ASSERT_TRUE(code(s.env, "modMain").InsertLines(1, "' first"));
    ASSERT_TRUE(code(s.env, "modUtil").ReplaceLine(2, "' \xd1\xe2\xee\xe9")); // "Свой" in 1251
    trapline::CodeModule& form = code(s.env, "frmMain");
    ASSERT_TRUE(form.DeleteLines(form.CountOfLines(), 1));
    s.env.refresh(); // as the environment notices an add-in's change
    const std::string diff = ChangesView::diffOf(s.env.workspace());
    EXPECT_EQ(view->text()->toPlainText() + "\n",
              QString::fromStdString(trapline::Codepage().toUtf8(diff)).remove('\r'));

    s.dir.write("changes.patch", diff);
    ASSERT_TRUE(s.env.saveProject());
    CommandResult patched =
        runShell("cd '" + s.dir.file("before") + "' && patch -p0 --quiet -i ../changes.patch");
    ASSERT_EQ(patched.exitCode, 0) << patched.out << patched.err;
    EXPECT_EQ(differingExampleFiles(s.dir.file("before"), s.dir.file("p")),
              std::vector<std::string>{});
    EXPECT_EQ(view->text()->toPlainText(), "No unsaved changes.");
}
