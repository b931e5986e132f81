#include "changesview.h"
#include "codewindow.h"
#include "environmenttest.h"
#include "projectexplorer.h"

#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

trapline::Component* componentNamed(EnvironmentWindow& env, const std::string& name) {
    trapline::Project& project = *env.vbe().ActiveVBProject();
    for (long i = 1; i <= project.VBComponents().Count(); ++i)
        if ((*project.VBComponents().Item(i))->Name() == name)
            return *project.VBComponents().Item(i);
    return nullptr;
}

QAction* projectAction(EnvironmentWindow& env, const char* name) {
    return env.menuBar()->findChild<QAction*>(name);
}

} // namespace

TEST(LineNumbersMenu, NumbersTheShownModuleOrTheProjectAsOneUndoStepShownInChanges) {
    const struct {
        trapline::MsgAnswer answer;
        bool wholeProject;
    } cases[] = {{trapline::MsgAnswer::Yes, false}, {trapline::MsgAnswer::No, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wholeProject ? "whole project" : "shown module");
        Session s;
        std::filesystem::copy(kExample, s.dir.file("p"), std::filesystem::copy_options::recursive);
        ASSERT_TRUE(s.open("p/Ledger.vbp"));
        trapline::Component* util = componentNamed(s.env, "modUtil");
        trapline::Component* form = componentNamed(s.env, "frmMain");
        s.env.explorer()->setCurrentItem(s.env.explorer()->itemOf(util));
        ChangesView* changes = s.env.openChanges();

        s.boxes.answers = {c.answer};
        projectAction(s.env, "AddLineNumbers")->trigger();
        ASSERT_FALSE(s.boxes.shown.empty());
        EXPECT_EQ(s.boxes.shown.front().buttons, trapline::MsgButtons::YesNoCancel);
        EXPECT_TRUE(s.shownLines().contains("10     If Len(s) >= n Then"));
        EXPECT_TRUE(changes->text()->toPlainText().contains("+10     If Len(s) >= n Then"));
        // The form is numbered only with the whole project.
        EXPECT_EQ(form->isLoaded() && form->CodeModule().modified(), c.wholeProject);
        // The example's hand-numbered FindEntry is left alone, and said so.
        EXPECT_EQ(s.boxes.shown.back().text.find("modMain.FindEntry: it holds line numbers") !=
                      std::string::npos,
                  c.wholeProject);

        s.env.undoAction()->trigger();
        EXPECT_EQ(util->serialize(), TempDir::read(util->path()));
        EXPECT_FALSE(s.env.codeWindow()->canUndo());

        // Removing them again gives back every byte, as one step too.
        s.env.redoAction()->trigger();
        s.boxes.answers = {trapline::MsgAnswer::Yes};
        projectAction(s.env, "RemoveLineNumbers")->trigger();
        EXPECT_EQ(util->serialize(), TempDir::read(util->path()));
        s.env.undoAction()->trigger();
        EXPECT_TRUE(s.shownLines().contains("10     If Len(s) >= n Then"));
    }
}
