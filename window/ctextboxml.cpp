#include "ctextboxml.h"

#include "edithistory.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace {

/// The lines of one block as the box shows them (several when it wraps).
QStringList displayedLines(const QTextBlock& block) {
    QStringList lines;
    const QString text = block.text();
    QTextLayout* layout = block.layout();
    if (!layout || layout->lineCount() <= 1) {
        lines << text;
        return lines;
    }
    for (int i = 0; i < layout->lineCount(); ++i) {
        QTextLine line = layout->lineAt(i);
        lines << text.mid(line.textStart(), line.textLength());
    }
    return lines;
}

} // namespace

// Positions count a line break as the two characters CR LF, as the text is
// handed over and as the edit control counts it.

void CTextBoxML::bind(QPlainTextEdit* box) {
    TextBox = box;
    EditHistory::of(box);
}

bool CTextBoxML::CanUndo() const {
    return EditHistory::of(TextBox)->canUndo();
}

void CTextBoxML::Undo() {
    EditHistory::of(TextBox)->undo();
}

void CTextBoxML::EmptyUndoBuffer() {
    EditHistory::of(TextBox)->clear();
}

int CTextBoxML::LineCount() const {
    int count = 0;
    for (QTextBlock b = TextBox->document()->begin(); b.isValid(); b = b.next())
        count += static_cast<int>(displayedLines(b).size());
    return count;
}

int CTextBoxML::FirstVisibleLine() const {
    int line = 0;
    const QTextBlock first = TextBox->cursorForPosition(QPoint(0, 0)).block();
    for (QTextBlock b = TextBox->document()->begin(); b.isValid() && b != first; b = b.next())
        line += static_cast<int>(displayedLines(b).size());
    return line;
}

int CTextBoxML::LineFromChar(int charIndex) const {
    if (charIndex < 0)
        return TextBox->document()->findBlock(TextBox->textCursor().selectionStart()).blockNumber();
    int start = 0;
    QTextBlock b = TextBox->document()->begin();
    for (; b.isValid() && b.next().isValid(); b = b.next()) {
        // A line owns its text and the CR LF after it.
        if (charIndex < start + b.length() + 1)
            return b.blockNumber();
        start += b.length() + 1;
    }
    return b.isValid() ? b.blockNumber() : 0;
}

int CTextBoxML::LineIndex(int lineNum) const {
    if (lineNum < 0)
        lineNum = TextBox->textCursor().block().blockNumber();
    int start = 0, line = 0;
    for (QTextBlock b = TextBox->document()->begin(); b.isValid(); b = b.next(), ++line) {
        if (line == lineNum)
            return start;
        start += b.length() + 1; // text, then CR LF
    }
    return -1;
}

int CTextBoxML::LineLength(int lineNum) const {
    QTextBlock b = TextBox->document()->findBlockByNumber(lineNum < 0 ? 0 : lineNum);
    return b.isValid() ? b.length() - 1 : 0;
}

QString CTextBoxML::GetLine(int lineNum) const {
    QTextBlock b = TextBox->document()->findBlockByNumber(lineNum);
    return b.isValid() ? b.text() : QString();
}

void CTextBoxML::GetLineColumn(int charIndex, int& line, int& column) const {
    if (charIndex < 0) {
        const QTextCursor c = TextBox->textCursor();
        const QTextBlock b = TextBox->document()->findBlock(c.selectionStart());
        line = b.blockNumber();
        column = c.selectionStart() - b.position();
        return;
    }
    line = LineFromChar(charIndex);
    column = charIndex - LineIndex(line);
}

QStringList CTextBoxML::GetAllLines(bool KeepHardLineBreaks) const {
    QStringList out;
    if (TextBox->document()->isEmpty())
        return out;
    for (QTextBlock b = TextBox->document()->begin(); b.isValid(); b = b.next()) {
        QStringList lines = displayedLines(b);
        // Wrapped pieces carry no break; the last piece of a block ends a paragraph.
        for (int i = 0; i < lines.size(); ++i)
            out << (KeepHardLineBreaks && i + 1 == lines.size() ? lines[i] + "\r\n" : lines[i]);
    }
    return out;
}

void CTextBoxML::GetRect(int& Left, int& Top, int& Right, int& Bottom) const {
    const QRect r = TextBox->viewport()->geometry();
    Left = r.left();
    Top = r.top();
    Right = r.right() + 1;
    Bottom = r.bottom() + 1;
}

void CTextBoxML::SetRect(int Left, int Top, int Right, int Bottom) {
    // The formatting rectangle is where the viewport sits inside the box:
    // the margins around it move it there.
    const QRect now = TextBox->viewport()->geometry();
    const QMargins m = TextBox->contentsMargins();
    TextBox->setContentsMargins(m.left() + Left - now.left(), m.top() + Top - now.top(),
                                m.right() + now.right() + 1 - Right,
                                m.bottom() + now.bottom() + 1 - Bottom);
}

void CTextBoxML::Scroll(int HorizScroll, int VertScroll) {
    const qreal charWidth = QFontMetricsF(TextBox->font()).averageCharWidth();
    QScrollBar* h = TextBox->horizontalScrollBar();
    h->setValue(h->value() + qRound(HorizScroll * charWidth));
    QScrollBar* v = TextBox->verticalScrollBar();
    v->setValue(v->value() + VertScroll); // a plain text edit scrolls by lines
}

void CTextBoxML::ScrollCaret() {
    TextBox->ensureCursorVisible();
}

qreal CTextBoxML::tabPixels(int dialogUnits) const {
    return dialogUnits * QFontMetricsF(TextBox->font()).averageCharWidth() / 4.0;
}

void CTextBoxML::SetTabStops(const QVector<int>& tabStops) {
    if (tabStops.size() == 1) {
        SetTabStopDistance(tabStops.front());
        return;
    }
    QTextOption option = TextBox->document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    for (int stop : tabStops)
        tabs << QTextOption::Tab(tabPixels(stop), QTextOption::LeftTab);
    option.setTabs(tabs);
    if (tabStops.isEmpty())
        option.setTabStopDistance(tabPixels(32)); // the control's default
    TextBox->document()->setDefaultTextOption(option);
}

void CTextBoxML::SetTabStopDistance(int distance) {
    QTextOption option = TextBox->document()->defaultTextOption();
    option.setTabs({});
    option.setTabStopDistance(tabPixels(distance));
    TextBox->document()->setDefaultTextOption(option);
}
