#include "recentprojects.h"

#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "environmentvbe.h"
#include "environmentwindow.h"
#include "qtprinters.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

QStringList menuTexts(QMenu* menu) {
    emit menu->aboutToShow();
    QStringList out;
    for (QAction* a : menu->actions())
        out << a->text();
    return out;
}

} // namespace

TEST(RecentProjects, KeepsTheNewestFirstEachOnceAndAtMostEight) {
    TempDir dir;
    RecentProjects recent(QString::fromStdString(dir.file("environment.ini")));
    EXPECT_TRUE(recent.list().isEmpty());
    for (int i = 1; i <= 10; ++i)
        recent.add(QString::fromStdString(dir.file(std::to_string(i) + ".vbp")));
    recent.add(QString::fromStdString(dir.file("sub/../5.vbp")));
    QStringList list = recent.list();
    ASSERT_EQ(list.size(), RecentProjects::kMax);
    EXPECT_EQ(list.front(), QString::fromStdString(dir.file("5.vbp")));
    EXPECT_EQ(list[1], QString::fromStdString(dir.file("10.vbp")));
    EXPECT_EQ(list.count(QString::fromStdString(dir.file("5.vbp"))), 1);
    EXPECT_FALSE(list.contains(QString::fromStdString(dir.file("2.vbp"))));
    recent.remove(QString::fromStdString(dir.file("10.vbp")));
    EXPECT_EQ(recent.list().size(), RecentProjects::kMax - 1);
}

TEST(RecentProjects, TheFileMenuOffersThemInTheNextSessionAndForgetsOneThatIsGone) {
    TempDir dir;
    ASSERT_TRUE(qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.file("config"))));
    const QString a =
        QString::fromStdString(dir.write("a/A.vbp", "Module=M; m.bas\r\nName=\"A\"\r\n"));
    dir.write("a/m.bas", "Attribute VB_Name = \"M\"\r\nSub S()\r\nEnd Sub\r\n");
    const QString folder = QString::fromStdString(dir.file("b"));
    dir.write("b/n.bas", "Attribute VB_Name = \"N\"\r\n");
    ScriptedMessageBox boxes;
    {
        EnvironmentWindow env(&boxes);
        ASSERT_TRUE(env.openProject(a));
        ASSERT_TRUE(env.openProject(folder));
        EXPECT_EQ(menuTexts(env.recentMenu()), QStringList({"&1 " + folder, "&2 " + a}));
    }
    EnvironmentWindow next(&boxes);
    QStringList offered = menuTexts(next.recentMenu());
    ASSERT_EQ(offered.size(), 2);
    next.recentMenu()->actions()[1]->trigger();
    EXPECT_EQ(next.vbe().ActiveVBProject()->Name(), "A");
    EXPECT_EQ(menuTexts(next.recentMenu()), QStringList({"&1 " + a, "&2 " + folder}));

    std::filesystem::remove_all(folder.toStdString());
    next.recentMenu()->actions()[1]->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("no such file or folder"), std::string::npos);
    EXPECT_EQ(next.vbe().ActiveVBProject()->Name(), "A"); // what was open stays
    EXPECT_EQ(menuTexts(next.recentMenu()), QStringList{"&1 " + a});
}
