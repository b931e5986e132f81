#include "environmenttest.h"

#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

// The environment's command bars as an add-in drives them.

TEST(CommandBars, ControlsAddedByAnAddInWorkLikeTheEnvironmentsOwnAndGoWhenDeleted) {
    Session s;
    vbide::CommandBars& bars = s.env.vbe().CommandBars();
    // Counted from 1 and named as add-ins look them up.
    EXPECT_EQ((*bars.Item(2))->Name(), "Standard");
    EXPECT_FALSE(bars.Item(0));
    vbide::CommandBar& help = **bars.Item("Help");
    // An empty menu has no position 0.
    EXPECT_FALSE(help.Controls().Add(1, std::nullopt, std::nullopt, 0));
    auto added = help.Controls().Add(1);
    ASSERT_TRUE(added);
    vbide::CommandBarControl* control = *added;
    ASSERT_TRUE(control->setCaption("Mine"));
    QMenu* menu = s.env.menuBar()->findChild<QMenu*>("Help");
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), "Mine");

    QApplication::clipboard()->setText("no picture");
    EXPECT_FALSE(control->PasteFace());
    QImage face(32, 32, QImage::Format_RGB555);
    face.fill(Qt::white);
    QApplication::clipboard()->setImage(face);
    EXPECT_TRUE(control->PasteFace());
    EXPECT_FALSE(menu->actions().front()->icon().isNull());

    int clicks = 0;
    (*s.env.vbe().Events().CommandBarEvents(control))
        ->setClick([&](vbide::CommandBarControl* c, bool&, bool&) {
            EXPECT_EQ(c, control);
            ++clicks;
        });
    menu->actions().front()->trigger();
    EXPECT_EQ(clicks, 1);
    ASSERT_TRUE(control->Delete());
    EXPECT_TRUE(menu->actions().isEmpty());
    EXPECT_EQ(help.Controls().Count(), 0);
}
