#include "projectexplorer.h"

#include "environmenttest.h"
#include "workspace.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

std::string module(const std::string& name) {
    return "Attribute VB_Name = \"" + name + "\"\r\nOption Explicit\r\n\r\nSub " + name +
           "Work()\r\nEnd Sub\r\n";
}

/// Two projects sharing a module, and a file neither lists.
struct TwoProjects : Session {
    TwoProjects() {
        dir.write("A.vbp", "Type=Exe\r\nForm=fMain.frm\r\nModule=Zeta; z.bas\r\n"
                           "Module=alpha; shared\\a.bas\r\nClass=CThing; c.cls\r\nName=\"A\"\r\n");
        dir.write("b/B.vbp", "Type=Exe\r\nModule=Beta; b.bas\r\nModule=alpha; ..\\shared\\a.bas\r\n"
                             "Name=\"B\"\r\n");
        dir.write("fMain.frm", "VERSION 5.00\r\nBegin VB.Form fMain\r\nEnd\r\n" + module("fMain"));
        dir.write("z.bas", module("Zeta"));
        dir.write("shared/a.bas", module("alpha"));
        dir.write("c.cls", module("CThing"));
        dir.write("b/b.bas", module("Beta"));
        dir.write("stray/loose.bas", module("Loose"));
    }
    QTreeWidgetItem* find(const QString& text) const {
        for (QTreeWidgetItemIterator it(env.explorer()); *it; ++it)
            if ((*it)->text(0) == text)
                return *it;
        return nullptr;
    }
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

} // namespace

TEST(ProjectExplorer, AFolderOfProjectsShowsEachGroupedSortedAndMarkedAndTheOneChosenIsActive) {
    TwoProjects s;
    ASSERT_TRUE(s.open(""));
    EXPECT_TRUE(s.boxes.shown.empty()) << s.boxes.shown.front().text;
    const QTreeWidget& tree = *s.env.explorer();
    EXPECT_EQ(topLevel(tree), QStringList({"A (A.vbp) [bold]", "B (B.vbp)", "(loose files)"}));
    const QTreeWidgetItem* a = tree.topLevelItem(0);
    EXPECT_EQ(texts(a), QStringList({"Forms", "Modules", "Class Modules"}));
    EXPECT_EQ(texts(a->child(1)), QStringList({"alpha (a.bas)", "Zeta (z.bas)"}));
    EXPECT_EQ(texts(tree.topLevelItem(2)->child(0)), QStringList({"Loose (loose.bas)"}));
    // Each project has its own copy of the shared module.
    EXPECT_NE(ProjectExplorer::componentOf(a->child(1)->child(0)),
              ProjectExplorer::componentOf(tree.topLevelItem(1)->child(0)->child(0)));
    EXPECT_EQ(ProjectExplorer::componentOf(tree.currentItem())->Name(), "fMain");

    // A change in a module not shown is marked: the environment notices by
    // itself, as after an add-in's run.
    ASSERT_TRUE(
        ProjectExplorer::componentOf(a->child(1)->child(1))->CodeModule().InsertLines(1, "' x"));
    QTest::qWait(700);
    EXPECT_EQ(texts(tree.topLevelItem(0)->child(1)),
              QStringList({"alpha (a.bas)", "* Zeta (z.bas)"}));

    // Choosing a module of another project makes that the add-ins' project.
    s.env.explorer()->setCurrentItem(s.find("Beta (b.bas)"));
    EXPECT_EQ(s.env.vbe().ActiveVBProject()->Name(), "B");
    EXPECT_EQ(topLevel(tree), QStringList({"A (A.vbp)", "B (B.vbp) [bold]", "(loose files)"}));
    EXPECT_TRUE(s.env.codeView()->toPlainText().contains("Sub BetaWork()"));
}

TEST(ProjectExplorer, AGroupShowsAllItsProjectsWithTheStartupOneActive) {
    TwoProjects s;
    ASSERT_TRUE(s.open("all.vbg", "VBGROUP 5.0\r\nProject=A.vbp\r\nStartupProject=b\\B.vbp\r\n"
                                  "Project=missing.vbp\r\n"));
    EXPECT_EQ(topLevel(*s.env.explorer()), QStringList({"A (A.vbp)", "B (B.vbp) [bold]"}));
    EXPECT_EQ(s.env.vbe().ActiveVBProject()->Name(), "B");
    ASSERT_EQ(s.boxes.shown.size(), 1u); // the missing project is named, the rest opens
    EXPECT_NE(s.boxes.shown[0].text.find("missing.vbp"), std::string::npos);
}

TEST(ProjectExplorer, OpeningAnotherProjectAsksFirstAndCancelKeepsTheChanges) {
    TwoProjects s;
    ASSERT_TRUE(s.open("A.vbp"));
    trapline::Component* zeta = ProjectExplorer::componentOf(s.find("Zeta (z.bas)"));
    ASSERT_TRUE(zeta->CodeModule().InsertLines(1, "' changed"));
    s.boxes.answers = {trapline::MsgAnswer::Cancel};
    EXPECT_FALSE(s.open("b/B.vbp"));
    ASSERT_EQ(s.boxes.shown.size(), 1u);
    EXPECT_EQ(s.boxes.shown[0].buttons, trapline::MsgButtons::YesNoCancel);
    EXPECT_TRUE(s.env.isModified());
    EXPECT_EQ(s.env.vbe().ActiveVBProject()->Name(), "A");

    s.boxes.answers = {trapline::MsgAnswer::Yes};
    EXPECT_TRUE(s.open("b/B.vbp"));
    EXPECT_EQ(TempDir::read(s.dir.file("z.bas")), module("Zeta").insert(28, "' changed\r\n"));
    EXPECT_EQ(s.env.vbe().ActiveVBProject()->Name(), "B");
}
