#include "ctextboxml.h"

#include <QFontMetricsF>
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

TEST(CTextBoxML, SetsTabStopsInDialogUnits) {
    Box box("a\tb");
    const qreal quarter = QFontMetricsF(box.edit.font()).averageCharWidth() / 4.0;
    box.ml.SetTabStopDistance(10);
    EXPECT_NEAR(box.edit.document()->defaultTextOption().tabStopDistance(), 10 * quarter, 0.01);
    box.ml.SetTabStops({8, 24, 40});
    const auto tabs = box.edit.document()->defaultTextOption().tabs();
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_NEAR(tabs[2].position, 40 * quarter, 0.01);
}
