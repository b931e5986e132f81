#include "recentprojects.h"

#include "environmenttest.h"

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
    auto path = [&](const std::string& name) { return QString::fromStdString(dir.file(name)); };
    for (int i = 1; i <= 10; ++i)
        recent.add(path(std::to_string(i) + ".vbp"));
    recent.add(path("sub/../5.vbp"));
    EXPECT_EQ(recent.list(),
              QStringList({path("5.vbp"), path("10.vbp"), path("9.vbp"), path("8.vbp"),
                           path("7.vbp"), path("6.vbp"), path("4.vbp"), path("3.vbp")}));
}

TEST(RecentProjects, TheFileMenuOffersThemInTheNextSessionAndForgetsOneThatIsGone) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config"));
    const QString a =
        QString::fromStdString(dir.write("a/A.vbp", "Module=M; m.bas\r\nName=\"A\"\r\n"));
    dir.write("a/m.bas", "Attribute VB_Name = \"M\"\r\n");
    dir.write("b/n.bas", "Attribute VB_Name = \"N\"\r\n");
    const QString folder = QString::fromStdString(dir.file("b"));
    {
        Session first;
        ASSERT_TRUE(first.env.openProject(a));
        ASSERT_TRUE(first.env.openProject(folder));
        EXPECT_EQ(menuTexts(first.env.recentMenu()), QStringList({"&1 " + folder, "&2 " + a}));
    }
    Session next;
    ASSERT_EQ(menuTexts(next.env.recentMenu()).size(), 2);
    next.env.recentMenu()->actions()[1]->trigger();
    EXPECT_EQ(next.env.vbe().ActiveVBProject()->Name(), "A");
    EXPECT_EQ(menuTexts(next.env.recentMenu()), QStringList({"&1 " + a, "&2 " + folder}));

    std::filesystem::remove_all(folder.toStdString());
    next.env.recentMenu()->actions()[1]->trigger();
    ASSERT_EQ(next.boxes.shown.size(), 1u);
    EXPECT_NE(next.boxes.shown[0].text.find("no such file or folder"), std::string::npos);
    EXPECT_EQ(next.env.vbe().ActiveVBProject()->Name(), "A"); // what was open stays
    EXPECT_EQ(menuTexts(next.env.recentMenu()), QStringList{"&1 " + a});
}
