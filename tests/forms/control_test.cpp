// The form layer's behaviour, the same on each side: the controls are driven
// as a user drives them (user.h), on Qt widgets or on Win32 controls.
#include "forms.h"
#include "user.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

/// A small form with one of each control the tests drive.
struct Sample : forms::Form {
    Sample() : Form("Sample") { setSize(3000, 2000); }
    forms::TextBox Text1{*this, "Text1", {120, 120, 1500, 300}};
    forms::TextBox Text2{*this, "Text2", {120, 480, 1500, 900}, true};
    forms::CheckBox Check1{*this, "Check1", {1800, 120, 1000, 300}, "Check"};
    forms::ComboBox Combo1{
        *this, "Combo1", {1800, 480, 1000, 300}, forms::ComboBox::DropDownCombo, true};
    forms::CommandButton cmdOK{*this, "cmdOK", {1800, 900, 1000, 300}, "OK"};
    forms::CommandButton cmdCancel{*this, "cmdCancel", {1800, 1300, 1000, 300}, "Cancel"};
};

std::vector<std::string> names(const forms::Form& form) {
    std::vector<std::string> result;
    for (const forms::Control* c : form.tabOrder())
        result.push_back(c->Name());
    return result;
}

} // namespace

TEST(Forms, TwipsBecomeWholePixelsAndControlsKeepTheTwipsTheyWereGiven) {
    // At 96 dpi, the screen both sides are tested on.
    const std::pair<int, int> rows[] = {{0, 0}, {7, 0}, {8, 1}, {15, 1}, {1440, 96}};
    for (auto [twips, pixels] : rows)
        EXPECT_EQ(forms::twipsToPixels(twips), pixels) << twips;
    EXPECT_EQ(forms::pixelsToTwips(96), 1440);
    Sample form;
    form.Text1.Move({130, 140, 1507, 301});
    const forms::Control& t = form.Text1;
    EXPECT_EQ((std::vector{t.Left(), t.Top(), t.Width(), t.Height()}),
              (std::vector{130, 140, 1507, 301}));
    // A window is whole pixels: 2000 twips make 133 of them, read back as 1995.
    EXPECT_EQ((std::vector{form.Width(), form.Height()}), (std::vector{3000, 1995}));
}

TEST(Forms, TabIndexMovesAControlAndRenumbersTheOthers) {
    Sample form;
    EXPECT_EQ(form.cmdOK.TabIndex(), 4); // the order the controls were made in
    form.cmdCancel.setTabIndex(0);
    form.Text1.setTabIndex(99); // past the end: last
    EXPECT_EQ(names(form), (std::vector<std::string>{"cmdCancel", "Text2", "Check1", "Combo1",
                                                     "cmdOK", "Text1"}));
    {
        forms::Label gone{form, "gone", {}};
        EXPECT_EQ(gone.TabIndex(), 6);
    }
    EXPECT_EQ(form.tabOrder().size(), 6u);
}

TEST(Forms, QueryUnloadCanKeepTheFormOpenAndEscAndEnterPressTheirButtons) {
    Sample form;
    std::vector<int> modes;
    int keep = -1; // True, as VB code sets it
    form.QueryUnload = [&](int& Cancel, int UnloadMode) {
        modes.push_back(UnloadMode);
        Cancel = keep;
    };
    form.Show();
    EXPECT_FALSE(form.Unload());
    user::close(form);
    EXPECT_TRUE(form.Loaded());
    EXPECT_TRUE(form.Visible());

    std::vector<std::string> pressed;
    user::press(form, 27);
    EXPECT_TRUE(pressed.empty()); // no cancel button yet, and no handler: nothing happens
    form.cmdCancel.setCancel(true);
    form.cmdCancel.Click = [&] { pressed.push_back("cancel"); };
    form.cmdOK.setDefault(true);
    form.cmdOK.Click = [&] { pressed.push_back("OK"); };
    form.Text1.SetFocus();
    user::press(form.Text1, 27);
    user::press(form.Text1, 13);
    // A multi-line box keeps Enter for itself, but not Esc.
    form.Text2.SetFocus();
    user::press(form.Text2, 27);
    user::press(form.Text2, 13);
    EXPECT_EQ(pressed, (std::vector<std::string>{"cancel", "OK", "cancel"}));
    EXPECT_EQ(form.Text2.Text(), "\r\n");
    EXPECT_TRUE(form.Visible());

    keep = 0;
    user::close(form);
    EXPECT_FALSE(form.Loaded());
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(modes, (std::vector<int>{forms::vbFormCode, forms::vbFormControlMenu,
                                       forms::vbFormControlMenu}));
}

TEST(Forms, ShowModalWaitsUntilTheFormIsUnloaded) {
    Sample form;
    std::vector<std::string> seen;
    form.QueryUnload = [&](int&, int UnloadMode) {
        seen.push_back("QueryUnload " + std::to_string(UnloadMode));
    };
    form.cmdOK.Click = [&] {
        seen.push_back(form.Visible() ? "OK while shown" : "OK while hidden");
        form.Unload();
    };
    user::soon([&] { user::click(form.cmdOK); });
    form.ShowModal();
    seen.push_back("returned");
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(seen, (std::vector<std::string>{"OK while shown", "QueryUnload 1", "returned"}));
}

TEST(Forms, TabFollowsTabIndexAndAnAmpersandsLetterWithAltPressesItsButton) {
    Sample form;
    forms::CommandButton cmdNext{form, "cmdNext", {120, 1500, 1000, 300}, "&Next"};
    std::vector<std::string> seen;
    for (forms::Control* c : form.tabOrder())
        c->GotFocus = [&seen, c] { seen.push_back(c->Name()); };
    cmdNext.Click = [&] { seen.push_back("Next clicked"); };
    form.Check1.setTabIndex(0);
    form.Show();
    form.Check1.SetFocus();
    for (int i = 0; i < 3; ++i)
        user::press(form, 9); // a multi-line box passes Tab on too, as in VB
    user::press(form, 'N', forms::vbAltMask);
    // The accelerator's button takes the focus as a click does.
    EXPECT_EQ(seen, (std::vector<std::string>{"Check1", "Text1", "Text2", "Combo1", "cmdNext",
                                              "Next clicked"}));
    EXPECT_EQ(form.Text2.Text(), "");
}

TEST(Forms, EventsReachTheirHandlersWhichMayChangeOrDropAKey) {
    Sample form;
    form.Show();
    std::vector<std::string> seen;
    form.Check1.Click = [&] { seen.push_back("Click " + std::to_string(form.Check1.Value())); };
    form.Combo1.DropDown = [&] { seen.push_back("DropDown"); };
    form.Combo1.Click = [&] { seen.push_back("Choose " + form.Combo1.Text()); };
    form.Text1.KeyDown = [&](int& KeyCode, int Shift) {
        seen.push_back("KeyDown " + std::to_string(KeyCode) + " " + std::to_string(Shift));
    };
    form.Text1.KeyPress = [](int& KeyAscii) {
        if (KeyAscii == 'x')
            KeyAscii = 0;
        else if (KeyAscii == 'a')
            KeyAscii = 'b';
    };
    forms::Label link{form, "Link", {120, 1500, 1500, 300}, "link"};
    link.Click = [&] { seen.push_back("Link"); };
    int changes = 0;
    form.Text1.Change = [&] { ++changes; };
    user::click(link);
    user::click(form.Check1);
    form.Combo1.AddItem("one");
    user::openList(form.Combo1);
    user::choose(form.Combo1, 0);
    user::type(form.Text1, "axc");
    user::press(form.Text1, 36, forms::vbShiftMask); // Shift+Home selects what was typed
    EXPECT_EQ(form.Text1.Text(), "bc");
    EXPECT_EQ(form.Text1.SelText(), "bc");
    EXPECT_EQ(changes, 2); // a dropped key changes nothing
    EXPECT_EQ(seen, (std::vector<std::string>{"Link", "Click 1", "DropDown", "Choose one",
                                              "KeyDown 65 0", "KeyDown 88 0", "KeyDown 67 0",
                                              "KeyDown 16 1", "KeyDown 36 1"}));
    form.cmdOK.setValue(true); // no handler: nothing to call, nothing fails
}

TEST(Forms, AMultiLineBoxCountsABreakAsTwoCharactersInSelectionsAndLines) {
    Sample form;
    form.Text2.setText("ab\r\ncd\r\nef");
    form.Text2.setSel(4, 5);
    EXPECT_EQ(std::tuple(form.Text2.SelText(), form.Text2.SelStart(), form.Text2.SelLength()),
              std::tuple("cd\r\ne", 4, 5));
    form.Text2.setSelText("X\r\nY");
    EXPECT_EQ(form.Text2.Text(), "ab\r\nX\r\nYf");

    form.Text2.setText("first\r\nsecond\r\n\r\nlast");
    const struct {
        int line, index, length;
        const char* text;
    } lines[] = {{0, 0, 5, "first"}, {1, 7, 6, "second"}, {2, 15, 0, ""}, {3, 17, 4, "last"}};
    EXPECT_EQ(form.Text2.LineCount(), 4);
    for (const auto& row : lines) {
        EXPECT_EQ(form.Text2.LineIndex(row.line), row.index) << row.line;
        EXPECT_EQ(form.Text2.LineLength(row.index), row.length) << row.line;
        EXPECT_EQ(form.Text2.LineFromChar(row.index), row.line) << row.line;
        EXPECT_EQ(form.Text2.GetLine(row.line), row.text) << row.line;
    }
    // The LF of a break is its line's; a position past the end is in the last line.
    EXPECT_EQ(std::tuple(form.Text2.LineIndex(4), form.Text2.GetLine(4), form.Text2.LineFromChar(6),
                         form.Text2.LineFromChar(99)),
              std::tuple(-1, "", 0, 3));
    form.Text2.setSel(9, 0);
    EXPECT_EQ(form.Text2.LineFromChar(-1), 1); // the selection's line
    EXPECT_EQ(form.Text2.LineIndex(-1), 7);    // the caret's line

    for (const char* item : {"beta", "Alpha", "gamma"})
        form.Combo1.AddItem(item);
    EXPECT_EQ(form.Combo1.List(0) + form.Combo1.List(1) + form.Combo1.List(2), "Alphabetagamma");
}

TEST(Forms, UndoTakesBackOneStepARunOfTypingIsOneAndUndoingAgainRedoes) {
    Sample form;
    form.Text2.setText("start");
    form.Text2.EmptyUndoBuffer();
    EXPECT_FALSE(form.Text2.CanUndo());
    form.Text2.setSel(5, 0);
    user::type(form.Text2, "!?");
    EXPECT_TRUE(form.Text2.CanUndo());
    form.Text2.Undo();
    EXPECT_EQ(form.Text2.Text(), "start");
    form.Text2.Undo();
    EXPECT_EQ(form.Text2.Text(), "start!?");
    form.Text2.setSel(0, 5);
    form.Text2.setSelText("end"); // a step of its own, not more typing
    form.Text2.Undo();
    EXPECT_EQ(form.Text2.Text(), "start!?");
    form.Text2.EmptyUndoBuffer();
    form.Text2.Undo(); // nothing left to undo
    EXPECT_EQ(form.Text2.Text(), "start!?");
}

TEST(Forms, TextEndsAtANulAsANativeControlReadsIt) {
    Sample form;
    forms::Label tip{form, "lblTipText", {120, 1500, 1500, 300}};
    tip.setCaption(std::string("Tip\0tail", 8));
    form.Text1.setText(std::string("a\0b", 3));
    EXPECT_EQ(tip.Caption(), "Tip");
    EXPECT_EQ(form.Text1.Text(), "a");
}
