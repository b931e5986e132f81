#include "projectexplorer.h"

#include "../support/scriptedmessagebox.h"
#include "environmenttest.h"
#include "environmentvbe.h"
#include "environmentwindow.h"
#include "workspace.h"

#include "qtprinters.h"
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

std::string module(const std::string& name) {
    return "Attribute VB_Name = \"" + name + "\"\r\nOption Explicit\r\n\r\nSub " + name +
           "Work()\r\nEnd Sub\r\n";
}

std::string form(const std::string& name) {
    return "VERSION 5.00\r\nBegin VB.Form " + name + "\r\n   Caption = \"" + name +
           "\"\r\nEnd\r\nAttribute VB_Name = \"" + name + "\"\r\nOption Explicit\r\n";
}

/// Two projects sharing a module, and a file neither lists.
struct TwoProjects {
    TwoProjects() {
        dir.write("A.vbp", "Type=Exe\r\nForm=fMain.frm\r\nModule=Zeta; z.bas\r\n"
                           "Module=alpha; shared\\a.bas\r\nClass=CThing; c.cls\r\nName=\"A\"\r\n");
        dir.write("b/B.vbp", "Type=Exe\r\nModule=Beta; b.bas\r\nModule=alpha; ..\\shared\\a.bas\r\n"
                             "Name=\"B\"\r\n");
        dir.write("fMain.frm", form("fMain"));
        dir.write("z.bas", module("Zeta"));
        dir.write("shared/a.bas", module("alpha"));
        dir.write("c.cls", module("CThing"));
        dir.write("b/b.bas", module("Beta"));
        dir.write("stray/loose.bas", module("Loose"));
    }
    QString path(const std::string& relative = {}) const {
        return QString::fromStdString(relative.empty() ? dir.path() : dir.file(relative));
    }
    TempDir dir;
};

QStringList texts(const QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

QStringList topLevel(const QTreeWidget& tree) {
    QStringList out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        out << tree.topLevelItem(i)->text(0) +
                   (tree.topLevelItem(i)->font(0).bold() ? " [bold]" : "");
    return out;
}

QTreeWidgetItem* find(const QTreeWidget& tree, const QString& text) {
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it)
        if ((*it)->text(0) == text)
            return *it;
    return nullptr;
}

} // namespace

TEST(ProjectExplorer, AFolderOfProjectsShowsEachGroupedAndSortedAndMarksChangesNotShown) {
    TwoProjects files;
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(files.path()));
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
    const QTreeWidget& tree = *env.explorer();
    EXPECT_EQ(topLevel(tree), QStringList({"A (A.vbp) [bold]", "B (B.vbp)", "(loose files)"}));
    const QTreeWidgetItem* a = tree.topLevelItem(0);
    EXPECT_EQ(texts(a), QStringList({"Forms", "Modules", "Class Modules"}));
    EXPECT_EQ(texts(a->child(1)), QStringList({"alpha (a.bas)", "Zeta (z.bas)"}));
    EXPECT_EQ(texts(tree.topLevelItem(1)->child(0)),
              QStringList({"alpha (a.bas)", "Beta (b.bas)"}));
    EXPECT_EQ(texts(tree.topLevelItem(2)->child(0)), QStringList({"Loose (loose.bas)"}));
    // Each project has its own copy of the shared module.
    EXPECT_NE(ProjectExplorer::componentOf(a->child(1)->child(0)),
              ProjectExplorer::componentOf(tree.topLevelItem(1)->child(0)->child(0)));
    EXPECT_EQ(ProjectExplorer::componentOf(tree.currentItem())->Name(), "fMain");

    // A change in a module not shown is marked, and a folder closed by the
    // user stays closed: the environment notices by itself, as after an add-in's run.
    QTreeWidgetItem* modules = env.explorer()->topLevelItem(0)->child(1);
    modules->setExpanded(false);
    ASSERT_TRUE(
        ProjectExplorer::componentOf(modules->child(1))->CodeModule().InsertLines(1, "' x"));
    QTest::qWait(700);
    modules = env.explorer()->topLevelItem(0)->child(1);
    EXPECT_FALSE(modules->isExpanded());
    EXPECT_TRUE(env.explorer()->topLevelItem(0)->child(0)->isExpanded());
    EXPECT_EQ(texts(modules), QStringList({"alpha (a.bas)", "* Zeta (z.bas)"}));
}

TEST(ProjectExplorer, AGroupShowsAllItsProjectsWithTheStartupOneActive) {
    TwoProjects files;
    files.dir.write("all.vbg", "VBGROUP 5.0\r\nProject=A.vbp\r\nStartupProject=b\\B.vbp\r\n"
                               "Project=missing.vbp\r\n");
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(files.path("all.vbg")));
    EXPECT_EQ(topLevel(*env.explorer()), QStringList({"A (A.vbp)", "B (B.vbp) [bold]"}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "B");
    ASSERT_EQ(boxes.shown.size(), 1u); // the missing project is named, the rest opens
    EXPECT_NE(boxes.shown[0].text.find("missing.vbp"), std::string::npos) << boxes.shown[0].text;
}

TEST(ProjectExplorer, ChoosingAComponentOfAnotherProjectMakesItTheAddInsProject) {
    TwoProjects files;
    User user;
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(files.path()));
    env.explorer()->setCurrentItem(find(*env.explorer(), "Beta (b.bas)"));
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "B");
    EXPECT_EQ(topLevel(*env.explorer()),
              QStringList({"A (A.vbp)", "B (B.vbp) [bold]", "(loose files)"}));
    EXPECT_TRUE(env.codeView()->toPlainText().contains("Sub BetaWork()"));

    // The add-in lists the modules of the project now active.
    env.startAddIns(user.bundled());
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
    actionNamed(env.standardBar()->actions(), "TRAPLINE")->trigger();
    ASSERT_NE(visibleTopLevel("frmAddIn"), nullptr);
    auto* modules = visibleTopLevel("frmAddIn")->findChild<QComboBox*>("MdlName");
    ASSERT_NE(modules, nullptr);
    QStringList listed;
    for (int i = 0; i < modules->count(); ++i)
        listed << modules->itemText(i);
    EXPECT_EQ(listed, QStringList({"*", "alpha", "Beta"}));
}

TEST(ProjectExplorer, OpeningAnotherProjectAsksFirstAndCancelKeepsTheChanges) {
    TwoProjects files;
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(files.path("A.vbp")));
    trapline::Component* zeta = ProjectExplorer::componentOf(find(*env.explorer(), "Zeta (z.bas)"));
    ASSERT_TRUE(zeta->CodeModule().InsertLines(1, "' changed"));
    boxes.answers = {trapline::MsgAnswer::Cancel};
    EXPECT_FALSE(env.openProject(files.path("b/B.vbp")));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].buttons, trapline::MsgButtons::YesNoCancel);
    EXPECT_TRUE(env.isModified());
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "A");

    boxes.answers = {trapline::MsgAnswer::Yes};
    EXPECT_TRUE(env.openProject(files.path("b/B.vbp")));
    EXPECT_EQ(TempDir::read(files.dir.file("z.bas"))
                  .rfind("Attribute VB_Name = \"Zeta\"\r\n' "
                         "changed\r\n",
                         0),
              0u);
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "B");
}
