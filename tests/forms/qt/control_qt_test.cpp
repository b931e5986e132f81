// What only the Qt side's widgets show.
#include "forms.h"
#include "qtforms.h"

#include <gtest/gtest.h>

TEST(QtForms, AControlsWidgetSitsAtItsTwipsInWholePixels) {
    forms::Form form("Sample");
    forms::TextBox text{form, "Text1", {130, 140, 1507, 301}};
    EXPECT_EQ(forms::qt::widget(text)->geometry(), QRect(9, 9, 100, 20));
}

TEST(QtForms, AWidgetsTextEndsAtANul) {
    forms::Form form("Sample");
    forms::Label tip{form, "lblTipText", {120, 1500, 1500, 300}};
    tip.setCaption(std::string("Tip\0tail", 8));
    EXPECT_EQ(forms::qt::widget<QWidget>(tip)->property("text").toString(), "Tip");
}
