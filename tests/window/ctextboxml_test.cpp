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

TEST(CTextBoxML, CountsLinesAndPositionsWithCrLfBetweenLines) {
    Box box("first\nsecond\n\nlast");
    EXPECT_EQ(box.ml.LineCount(), 4);
    EXPECT_EQ(box.ml.LineIndex(0), 0);
    EXPECT_EQ(box.ml.LineIndex(1), 7); // "first" and CR LF
    EXPECT_EQ(box.ml.LineIndex(3), 17);
    EXPECT_EQ(box.ml.LineLength(1), 6);
    EXPECT_EQ(box.ml.GetLine(1), "second");
    EXPECT_EQ(box.ml.GetLine(2), "");
    EXPECT_EQ(box.ml.LineFromChar(0), 0);
    EXPECT_EQ(box.ml.LineFromChar(6), 0); // the LF of the first line break
    EXPECT_EQ(box.ml.LineFromChar(7), 1);
    EXPECT_EQ(box.ml.LineFromChar(99), 3);
}

TEST(CTextBoxML, ReportsLineAndColumnOfACharacterOrOfTheCaret) {
    Box box("ab\ncdef");
    QTextCursor c = box.edit.textCursor();
    c.setPosition(5); // "cd|ef"
    box.edit.setTextCursor(c);
    int line = -1, column = -1;
    box.ml.GetLineColumn(-1, line, column);
    EXPECT_EQ(line, 1);
    EXPECT_EQ(column, 2);
    box.ml.GetLineColumn(1, line, column);
    EXPECT_EQ(line, 0);
    EXPECT_EQ(column, 1);
}

TEST(CTextBoxML, MinusOneMeansTheCaretsLineForIndexLengthAndText) {
    Box box("ab\ncdef\nxyz");
    QTextCursor c = box.edit.textCursor();
    c.setPosition(1);
    c.setPosition(5, QTextCursor::KeepAnchor); // from "a|b" to "cd|ef": the caret is in line 1
    box.edit.setTextCursor(c);
    EXPECT_EQ(box.ml.LineIndex(-1), 4);
    EXPECT_EQ(box.ml.LineLength(-1), 4);
    EXPECT_EQ(box.ml.GetLine(-1), "cdef");
    EXPECT_EQ(box.ml.LineFromChar(-1), 0); // the start of the selection
    // Past the last line there is no line to measure.
    EXPECT_EQ(box.ml.LineIndex(3), -1);
    EXPECT_EQ(box.ml.LineLength(3), 0);
    EXPECT_EQ(box.ml.GetLine(3), "");
    Box empty("");
    EXPECT_EQ(empty.ml.LineCount(), 1);
    EXPECT_EQ(empty.ml.LineLength(-1), 0);
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

TEST(CTextBoxML, GivesAllLinesWithOrWithoutHardBreaks) {
    Box empty("");
    EXPECT_TRUE(empty.ml.GetAllLines().isEmpty());
    Box two("one\ntwo");
    EXPECT_EQ(two.ml.GetAllLines(), (QStringList{"one", "two"}));
    EXPECT_EQ(two.ml.GetAllLines(true), (QStringList{"one\r\n", "two\r\n"}));
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
