#include "codewindow.h"

#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "component.h"
#include "environmentwindow.h"
#include "projectexplorer.h"

#include "qtprinters.h"
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

const char* kClass = "VERSION 1.0 CLASS\r\n"
                     "BEGIN\r\n  MultiUse = -1\r\nEND\r\n"
                     "Attribute VB_Name = \"CAccount\"\r\n"
                     "Option Explicit\r\n"                     // 1
                     "Private m_value As Long\r\n"             // 2
                     "\r\n"                                    // 3
                     "Public Sub Zed()\r\n"                    // 4
                     "    m_value = 0\r\n"                     // 5
                     "End Sub\r\n"                             // 6
                     "' the value\r\n"                         // 7
                     "Public Property Get Value() As Long\r\n" // 8
                     "Attribute Value.VB_UserMemId = 0\r\n"
                     "    Value = m_value\r\n"                        // 9
                     "End Property\r\n"                               // 10
                     "Public Property Let Value(ByVal v As Long)\r\n" // 11
                     "    m_value = v\r\n"                            // 12
                     "End Property\r\n"                               // 13
                     "Function alpha() As Long\r\n"                   // 14
                     "    alpha = m_value\r\n"                        // 15
                     "End Function\r\n";                              // 16

struct OpenClass {
    OpenClass() : env(&boxes) {
        const std::string path = dir.write("CAccount.cls", kClass);
        EXPECT_TRUE(env.openProject(QString::fromStdString(path)));
        code = env.codeWindow();
    }
    int caretLine() const { return code->editor()->textCursor().blockNumber() + 1; }
    void caretTo(int line) {
        code->editor()->setTextCursor(
            QTextCursor(code->editor()->document()->findBlockByNumber(line - 1)));
    }
    QAction* editAction(const QString& text) const {
        for (QAction* a : env.menuBar()->findChild<QMenu*>("Edit")->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    TempDir dir;
    ScriptedMessageBox boxes;
    EnvironmentWindow env;
    CodeWindow* code;
};

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

TEST(CodeWindow, ShowsTheCodeWithoutHeadOrAttributesAndListsTheProceduresSorted) {
    OpenClass open;
    const QString text = open.code->editor()->toPlainText();
    EXPECT_TRUE(text.startsWith("Option Explicit\n"));
    EXPECT_FALSE(text.contains("Attribute"));
    EXPECT_EQ(items(open.code->objects()), QStringList{"(General)"});
    EXPECT_EQ(items(open.code->procedures()),
              QStringList({"(Declarations)", "alpha", "Value [PropertyGet]", "Value [PropertyLet]",
                           "Zed"}));
}

TEST(CodeWindow, ChoosingAProcedureGoesToItsDeclarationAndTheListFollowsTheCaret) {
    OpenClass open;
    struct Case {
        int index, line;
    } jumps[] = {{4, 4}, {2, 8}, {3, 11}, {1, 14}, {0, 1}};
    for (const Case& c : jumps) {
        open.code->goToProcedure(c.index);
        EXPECT_EQ(open.caretLine(), c.line) << c.index;
        EXPECT_EQ(open.code->editor()->verticalScrollBar()->value(), c.line - 1) << c.index;
        EXPECT_EQ(open.env.caretPosition()->text(), QString("Ln %1, Col 1").arg(c.line));
    }
    // A procedure owns the comments and blank lines above its declaration.
    struct Where {
        int line;
        QString procedure;
    } follows[] = {
        {2, "(Declarations)"},       {3, "Zed"},   {5, "Zed"}, {7, "Value [PropertyGet]"},
        {12, "Value [PropertyLet]"}, {16, "alpha"}};
    for (const Where& w : follows) {
        open.caretTo(w.line);
        EXPECT_EQ(open.code->procedures()->currentText(), w.procedure) << w.line;
    }
    QTextCursor c = open.code->editor()->textCursor();
    c.movePosition(QTextCursor::EndOfBlock);
    open.code->editor()->setTextCursor(c);
    EXPECT_EQ(open.env.caretPosition()->text(), "Ln 16, Col 13");
}

TEST(CodeWindow, FindAndFindNextGoRoundTheModuleAndSayWhenThereIsNothing) {
    OpenClass open;
    open.env.show();
    open.caretTo(5);
    QTextCursor onWord = open.code->editor()->textCursor();
    onWord.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 6);
    open.code->editor()->setTextCursor(onWord); // Find starts with the word at the caret
    open.editAction("&Find...")->trigger();
    EXPECT_EQ(open.code->findText()->text(), "m_value");
    QTest::keyClick(open.code->findText(), Qt::Key_Return);
    EXPECT_EQ(open.caretLine(), 9);
    QAction* next = open.editAction("Find &Next");
    EXPECT_EQ(next->shortcut(), QKeySequence(Qt::Key_F3));
    int lines[] = {12, 15, 2, 5};
    for (int line : lines) {
        next->trigger();
        EXPECT_EQ(open.caretLine(), line);
        EXPECT_EQ(open.code->editor()->textCursor().selectedText(), "m_value");
    }
    open.code->findText()->setText("nowhere");
    EXPECT_FALSE(open.code->findNext());
    EXPECT_EQ(open.caretLine(), 5); // the caret stays where it was
}

TEST(CodeWindow, AnAddInsChangeKeepsTheCaretOnItsLine) {
    OpenClass open;
    open.caretTo(12);
    trapline::Component* shown = open.env.explorer()->currentComponent();
    ASSERT_TRUE(shown->CodeModule().InsertLines(17, "' appended"));
    open.env.refresh();
    EXPECT_TRUE(open.code->editor()->toPlainText().endsWith("' appended"));
    EXPECT_EQ(open.caretLine(), 12);
    EXPECT_EQ(open.code->procedures()->currentText(), "Value [PropertyLet]");
}
