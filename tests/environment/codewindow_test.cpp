#include "codewindow.h"

#include "component.h"
#include "environmenttest.h"
#include "projectexplorer.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
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

/// A module (the class above unless told) open in a window, on screen
/// unless the test wants it too small to hold the whole module.
struct OpenModule : Session {
    explicit OpenModule(bool shown = true, std::string file = "CAccount.cls",
                        const std::string& bytes = kClass)
        : code(env.codeWindow()), name(std::move(file)) {
        EXPECT_TRUE(open(name, bytes));
        env.setVisible(shown);
    }
    int caretLine() const { return code->editor()->textCursor().blockNumber() + 1; }
    void caretTo(int line) {
        code->editor()->setTextCursor(
            QTextCursor(code->editor()->document()->findBlockByNumber(line - 1)));
    }
    /// Types `text` there as a keyboard of any language would, one key a character.
    void typeAtEndOf(int line, const QString& text) {
        caretTo(line);
        QTest::keyClick(code->editor(), Qt::Key_End);
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, code->editor(), Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
    }
    std::string file() const { return TempDir::read(dir.file(name)); }
    CodeWindow* code;
    std::string name;
};

} // namespace

TEST(CodeWindow, ListsItsProceduresSortedGoingToEachAndFollowingTheCaret) {
    OpenModule open(false);
    EXPECT_EQ(items(open.code->procedures()),
              QStringList({"(Declarations)", "alpha", "Value [PropertyGet]", "Value [PropertyLet]",
                           "Zed"}));
    for (const auto& [index, line] : {std::pair{4, 4}, {2, 8}, {3, 11}, {1, 14}, {0, 1}}) {
        open.code->goToProcedure(index);
        EXPECT_EQ(open.caretLine(), line) << index;
    }
    // A procedure owns the comments and blank lines above its declaration.
    for (const auto& [line, procedure] :
         {std::pair<int, QString>{2, "(Declarations)"}, {3, "Zed"}, {7, "Value [PropertyGet]"}}) {
        open.caretTo(line);
        EXPECT_EQ(open.code->procedures()->currentText(), procedure) << line;
    }
}

TEST(CodeWindow, EditsGoIntoTheCodeModelAndUndoThenSaveGivesBackTheOriginalBytes) {
    OpenModule open;
    QPlainTextEdit* editor = open.code->editor();
    // On the declaration that carries the hidden attribute line: its text
    // changes, the attribute stays after it.
    open.typeAtEndOf(8, " ' default");
    // Enter in the middle of a line and Backspace again leave it as it was.
    open.caretTo(5);
    QTest::keyClick(editor, Qt::Key_Right);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Backspace);
    // Lines selected across a procedure's end and deleted.
    QTextCursor lines(editor->document()->findBlockByNumber(12));
    lines.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
    editor->setTextCursor(lines);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_TRUE(open.env.explorer()->currentItem()->text(0).startsWith("* "));
    EXPECT_EQ(open.code->procedures()->count(), 4); // alpha went with its declaration

    ASSERT_TRUE(open.env.saveProject());
    const std::string saved = open.file();
    // What is shown is what was written, with the hidden lines where they were.
    QStringList shown = open.shownLines();
    shown.insert(8, "Attribute Value.VB_UserMemId = 0");
    EXPECT_EQ(saved, std::string(kClass).substr(0, std::string(kClass).find("Option")) +
                         shown.join("\r\n").toStdString() + "\r\n");

    int steps = 0;
    for (; open.code->canUndo(); ++steps)
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(steps, 4);                // the typing, Enter, Backspace, the deletion
    EXPECT_TRUE(open.env.isModified()); // the file holds the saved version now
    ASSERT_TRUE(open.env.saveProject());
    EXPECT_EQ(open.file(), kClass);

    // Redo brings back what was saved before, byte for byte.
    while (open.code->canRedo())
        open.env.redoAction()->trigger();
    ASSERT_TRUE(open.env.saveProject());
    EXPECT_EQ(open.file(), saved);
}

TEST(CodeWindow, AnEditTheCodePageCannotHoldIsTakenBackAndSaid) {
    // Windows-1251 has no byte 0x98 and no Chinese.
    const std::string module = "Attribute VB_Name = \"modText\"\r\nConst A = \"\x98\"\r\n"
                               "Const B = \"\xcf\xf0\xe8\xe2\xe5\xf2\"\r\n";
    OpenModule open(true, "modText.bas", module);
    EXPECT_EQ(open.shownLines()[1], QString::fromUtf8("Const B = \"Привет\""));
    for (const auto& [line, typed] : {std::pair<int, QString>{2, "你"}, {1, "x"}}) {
        open.typeAtEndOf(line, typed);
        EXPECT_FALSE(open.env.isModified()) << line;
        EXPECT_TRUE(open.env.statusBar()->currentMessage().contains(QString("Line %1").arg(line)))
            << open.env.statusBar()->currentMessage().toStdString();
        QApplication::processEvents(); // the module is shown again as it is held
        EXPECT_FALSE(open.code->editor()->toPlainText().contains(typed));
    }
    // Other lines take Cyrillic as the code page has it.
    open.typeAtEndOf(2, QString::fromUtf8(" ' мир"));
    ASSERT_TRUE(open.env.saveProject());
    EXPECT_EQ(open.file(), module.substr(0, module.size() - 2) + " ' \xec\xe8\xf0\r\n");
}

TEST(CodeWindow, AnAddInsChangeKeepsTheCaretOnItsCodeAndAKeyLandsOnTheCodeAsItIsNow) {
    OpenModule open;
    trapline::CodeModule& held = open.env.explorer()->currentComponent()->CodeModule();
    open.caretTo(12);
    ASSERT_TRUE(held.InsertLines(17, "' appended"));
    open.env.refresh();
    EXPECT_EQ(open.shownLines().back(), "' appended");
    EXPECT_EQ(open.caretLine(), 12);
    EXPECT_EQ(open.code->procedures()->currentText(), "Value [PropertyLet]");
    // An add-in puts two lines at the top; the window has not looked yet.
    open.caretTo(2);
    ASSERT_TRUE(held.InsertLines(1, "' added 1\r\n' added 2"));
    QTest::keyClick(open.code->editor(), Qt::Key_End);
    QTest::keyClicks(open.code->editor(), " ' typed");
    // A module added meanwhile, as an add-in does, keeps the steps before it.
    ASSERT_TRUE(open.env.vbe().ActiveVBProject()->VBComponents().Add(1));
    open.env.checkpoint(); // the next key or click
    open.env.refresh();
    QStringList lines;
    for (long l = 1; l <= held.CountOfLines(); ++l)
        lines << QString::fromStdString(std::string(held.line(l)));
    EXPECT_EQ(open.shownLines(), lines);
    EXPECT_EQ(lines[3], "Private m_value As Long ' typed");
    // Two steps: the typing, then the add-in's lines.
    open.env.undoAction()->trigger();
    EXPECT_EQ(open.shownLines()[3], "Private m_value As Long");
    open.env.undoAction()->trigger();
    EXPECT_EQ(open.env.explorer()->currentComponent()->serialize(), kClass);
}

TEST(CodeWindow, ShowsAnAddInsChangeAndItsUndoingLineForLineWhateverTheyTouch) {
    const std::pair<QStringList, QStringList> cases[] = {
        {{"a", "b", "c"}, {"a", "c"}},
        {{"a", "b"}, {"b"}},
        {{"a", "c"}, {"a", "b", "c"}},
        {{"a", "b"}, {}},
        {{}, {"x", "y"}},
        {{"a", "b", "c"}, {"x"}},
        {{"a", "b"}, {"a", "b", ""}},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE((before.join(",") + " -> " + after.join(",")).toStdString());
        Session s;
        const QString code = before.isEmpty() ? "" : before.join("\r\n") + "\r\n";
        ASSERT_TRUE(s.open("M.bas", "Attribute VB_Name = \"M\"\r\n" + code.toStdString()));
        trapline::CodeModule& module = s.env.explorer()->currentComponent()->CodeModule();
        std::vector<std::string> lines;
        for (const QString& line : after)
            lines.push_back(line.toStdString());
        ASSERT_TRUE(module.replaceLines(1, module.CountOfLines(),
                                        std::vector<std::string_view>(lines.begin(), lines.end())));
        s.env.refresh();
        EXPECT_EQ(s.env.codeView()->toPlainText(), after.join("\n"));
        s.env.undoAction()->trigger();
        EXPECT_EQ(s.env.codeView()->toPlainText(), before.join("\n"));
        EXPECT_EQ(s.env.codeView()->document()->blockCount(),
                  std::max<qsizetype>(1, before.size()));
    }
}
