// What only the Qt side's widgets show: where they sit in pixels, and the
// pixels a box's tab stops stand at.
#include "forms.h"
#include "qtforms.h"
#include "windowfont.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <gtest/gtest.h>

TEST(QtForms, AControlsWidgetSitsAtItsTwipsInWholePixels) {
    forms::Form form("Sample");
    forms::TextBox text{form, "Text1", {130, 140, 1507, 301}};
    EXPECT_EQ(forms::qt::widget(text)->geometry(), QRect(9, 9, 100, 20));
}

TEST(QtForms, TabStopsStandInQuartersOfTheWindowFontsAverageWidth) {
    ASSERT_TRUE(haveWindowFont());
    forms::Form form("Form1");
    forms::TextBox box{form, "Text1", {0, 0, 3000, 1000}, true};
    const QTextDocument* document = forms::qt::widget<QPlainTextEdit>(box)->document();
    // MS Sans Serif 8 has the dialog base unit 6 pixels: ten units are 15.
    box.SetTabStops({10});
    EXPECT_DOUBLE_EQ(document->defaultTextOption().tabStopDistance(), 15.0);
    box.SetTabStops({8, 24, 40});
    const auto tabs = document->defaultTextOption().tabs();
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_DOUBLE_EQ(tabs[0].position, 12.0);
    EXPECT_DOUBLE_EQ(tabs[2].position, 60.0);
    box.SetTabStops({}); // back to every 32 units, the control's default
    EXPECT_TRUE(document->defaultTextOption().tabs().isEmpty());
    EXPECT_DOUBLE_EQ(document->defaultTextOption().tabStopDistance(), 48.0);
}
