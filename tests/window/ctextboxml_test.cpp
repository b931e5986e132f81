#include "../forms/user.h"
#include "ctextboxml.h"
#include "forms.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

/// A form with one multi-line box holding `text`, bound to a helper; the box
/// wraps unless it has a horizontal scroll bar.
struct Box : forms::Form {
    Box(const std::string& text, forms::TextBox::ScrollBars bars = forms::TextBox::Both)
        : Form("Box") {
        setSize(3000, 3000);
        edit.setScrollBars(bars);
        edit.setText(text);
        ml.bind(&edit);
    }
    forms::TextBox edit{*this, "edit", {0, 0, 3000, 3000}, true};
    CTextBoxML ml;
};

} // namespace

// The box's own line arithmetic is the form layer's; these are what the
// helper adds: line numbers for positions, the caret's line for a negative
// number, the columns and the lines gathered.
TEST(CTextBoxML, CountsByLineNumberTakesAnyNegativeNumberForTheCaretsLineAndGathersTheLines) {
    Box box("first\r\nsecond\r\n\r\nlast");
    EXPECT_FALSE(box.ml.CanUndo()); // bound: the text given so far is no step
    box.edit.setSel(10, 0);         // "sec|ond"
    int line = -1, column = -1;
    box.ml.GetLineColumn(-1, line, column);
    box.edit.setSel(1, 9); // from "f|irst": the caret stays in line 1
    const struct {
        const char* call;
        int actual, expected;
    } rows[] = {
        // Any negative number is the caret's line, not only the -1 the box knows.
        {"LineIndex(-2)", box.ml.LineIndex(-2), 7},
        {"LineLength(0), the first line", box.ml.LineLength(0), 5},
        {"LineLength(1)", box.ml.LineLength(1), 6},
        {"LineLength(3), the last line", box.ml.LineLength(3), 4},
        {"LineLength(-3)", box.ml.LineLength(-3), 6},
        {"LineLength(4), past the last line", box.ml.LineLength(4), 0},
        {"LineFromChar(-5), the selection's start", box.ml.LineFromChar(-5), 0},
        {"line of the caret", line, 1},
        {"column of the caret", column, 3},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.call;
    using Lines = std::vector<std::string>;
    EXPECT_EQ((Lines{box.ml.GetLine(1), box.ml.GetLine(2), box.ml.GetLine(4), box.ml.GetLine(-2)}),
              (Lines{"second", "", "", "second"}));
    EXPECT_EQ(box.ml.GetAllLines(), (Lines{"first", "second", "", "last"}));
    EXPECT_EQ(box.ml.GetAllLines(true), (Lines{"first\r\n", "second\r\n", "\r\n", "last\r\n"}));

    Box empty("");
    EXPECT_EQ(std::tuple(empty.ml.LineCount(), empty.ml.LineLength(-1), empty.ml.GetAllLines()),
              std::tuple(1, 0, Lines{}));
}
