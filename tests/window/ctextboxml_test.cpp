#include "ctextboxml.h"
#include "windowfont.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

/// A box with `text`, bound to a helper.
struct Box {
    explicit Box(const QString& text) {
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        edit.setPlainText(text);
        ml.bind(&edit);
    }
    void type(const QString& text) { edit.textCursor().insertText(text); }
    QPlainTextEdit edit;
    CTextBoxML ml;
};

} // namespace

TEST(CTextBoxML, CountsPositionsWithCrLfBetweenLinesAndMinusOneForTheCaretsLine) {
    Box box("first\nsecond\n\nlast");
    QTextCursor c = box.edit.textCursor();
    c.setPosition(9); // "sec|ond"
    box.edit.setTextCursor(c);
    int line = -1, column = -1, line1 = -1, column1 = -1;
    box.ml.GetLineColumn(-1, line, column);
    box.ml.GetLineColumn(1, line1, column1);
    c.setPosition(1);
    c.setPosition(9, QTextCursor::KeepAnchor); // from "f|irst": the caret stays in line 1
    box.edit.setTextCursor(c);
    const struct {
        const char* call;
        int actual, expected;
    } rows[] = {
        {"LineCount", box.ml.LineCount(), 4},
        {"LineIndex(1)", box.ml.LineIndex(1), 7}, // "first" and CR LF
        {"LineIndex(3)", box.ml.LineIndex(3), 17},
        {"LineIndex(4), past the last line", box.ml.LineIndex(4), -1},
        {"LineIndex(-1)", box.ml.LineIndex(-1), 7},
        {"LineLength(1)", box.ml.LineLength(1), 6},
        {"LineLength(4)", box.ml.LineLength(4), 0},
        {"LineLength(-1)", box.ml.LineLength(-1), 6},
        {"LineFromChar(6), the LF of the first break", box.ml.LineFromChar(6), 0},
        {"LineFromChar(7)", box.ml.LineFromChar(7), 1},
        {"LineFromChar(99)", box.ml.LineFromChar(99), 3},
        {"LineFromChar(-1), the selection's start", box.ml.LineFromChar(-1), 0},
        {"line of the caret", line, 1},
        {"column of the caret", column, 3},
        {"line of character 1", line1, 0},
        {"column of character 1", column1, 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.call;
    EXPECT_EQ(
        (QStringList{box.ml.GetLine(1), box.ml.GetLine(2), box.ml.GetLine(4), box.ml.GetLine(-1)}),
        (QStringList{"second", "", "", "second"}));
    EXPECT_EQ(box.ml.GetAllLines(), (QStringList{"first", "second", "", "last"}));
    EXPECT_EQ(box.ml.GetAllLines(true),
              (QStringList{"first\r\n", "second\r\n", "\r\n", "last\r\n"}));

    Box empty("");
    EXPECT_EQ(empty.ml.LineCount(), 1);
    EXPECT_EQ(empty.ml.LineLength(-1), 0);
    EXPECT_TRUE(empty.ml.GetAllLines().isEmpty());
}

TEST(CTextBoxML, EveryOperationCountsTheLinesOfAWrappingBoxAlike) {
    Box box("one two three four five six seven eight nine ten\n\neleven twelve thirteen");
    box.edit.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box.edit.resize(90, 200);
    box.edit.show();
    QApplication::processEvents();
    const QStringList shown = box.ml.GetAllLines();
    const int count = box.ml.LineCount();
    ASSERT_GT(count, 3) << "the box should wrap";
    ASSERT_EQ(count, shown.size());
    QString joined;
    for (int line = 0; line < count; ++line) {
        const int start = box.ml.LineIndex(line);
        EXPECT_EQ(box.ml.LineFromChar(start), line) << line;
        EXPECT_EQ(box.ml.GetLine(line), shown[line]) << line;
        EXPECT_EQ(box.ml.LineLength(line), shown[line].size()) << line;
        joined += shown[line];
    }
    EXPECT_EQ(box.ml.LineIndex(count), -1);
    EXPECT_EQ(joined, box.edit.toPlainText().remove('\n')); // the pieces make up the text
    // The caret's line is the piece it stands in.
    QTextCursor c = box.edit.textCursor();
    c.movePosition(QTextCursor::End);
    box.edit.setTextCursor(c);
    EXPECT_EQ(box.ml.GetLine(-1), shown.back());
    int line = -1, column = -1;
    box.ml.GetLineColumn(-1, line, column);
    EXPECT_EQ(line, count - 1);
    EXPECT_EQ(column, shown.back().size());
}

TEST(CTextBoxML, UndoesOneEditAndRedoesItWhenAskedAgain) {
    Box box("start");
    EXPECT_FALSE(box.ml.CanUndo());
    box.edit.moveCursor(QTextCursor::End);
    box.type("!");
    box.type("?");
    EXPECT_TRUE(box.ml.CanUndo());
    box.ml.Undo(); // a run of typing is one edit
    EXPECT_EQ(box.edit.toPlainText(), "start");
    box.ml.Undo();
    EXPECT_EQ(box.edit.toPlainText(), "start!?");
    box.ml.EmptyUndoBuffer();
    EXPECT_FALSE(box.ml.CanUndo());
    box.ml.Undo();
    EXPECT_EQ(box.edit.toPlainText(), "start!?");
}

TEST(CTextBoxML, SetsTabStopsInQuartersOfTheWindowFontsAverageWidth) {
    ASSERT_TRUE(haveWindowFont());
    Box box("a\tb");
    box.edit.setFont(windowFont());
    // MS Sans Serif 8 has the dialog base unit 6 pixels: ten units are 15.
    box.ml.SetTabStopDistance(10);
    EXPECT_DOUBLE_EQ(box.edit.document()->defaultTextOption().tabStopDistance(), 15.0);
    box.ml.SetTabStops({8, 24, 40});
    const auto tabs = box.edit.document()->defaultTextOption().tabs();
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_DOUBLE_EQ(tabs[0].position, 12.0);
    EXPECT_DOUBLE_EQ(tabs[2].position, 60.0);
}
