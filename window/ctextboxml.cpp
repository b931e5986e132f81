#include "ctextboxml.h"

#include "edithistory.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <vector>

namespace {

/// One line as the box shows it. `start` counts every line break before it
/// as the two characters CR LF, as the text is handed over and as the edit
/// control counts it; a wrapped line's pieces are lines of their own.
struct ShownLine {
    int start;
    int length;
    QTextBlock block;
    int offset; ///< where the line starts within its block's text
    bool endsParagraph;
};

std::vector<ShownLine> shownLines(const QPlainTextEdit* box) {
    std::vector<ShownLine> lines;
    int start = 0;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
        const int textLength = b.length() - 1;
        const QTextLayout* layout = b.layout();
        if (!layout || layout->lineCount() <= 1) {
            lines.push_back({start, textLength, b, 0, true});
        } else {
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine l = layout->lineAt(i);
                lines.push_back({start + l.textStart(), l.textLength(), b, l.textStart(),
                                 i + 1 == layout->lineCount()});
            }
        }
        start += textLength + 2;
    }
    return lines;
}

/// The line that holds the character at `charIndex`; a position on a line
/// break belongs to the line it ends, one past the end to the last line.
int lineHolding(const std::vector<ShownLine>& lines, int charIndex) {
    int line = 0;
    while (line + 1 < static_cast<int>(lines.size()) && lines[line + 1].start <= charIndex)
        ++line;
    return line;
}

/// A document position (one character per line break) as the edit control counts it.
int crlfPosition(const QPlainTextEdit* box, int position) {
    return position + box->document()->findBlock(position).blockNumber();
}

QString textOf(const ShownLine& line) {
    return line.block.text().mid(line.offset, line.length);
}

/// The average character width that dialog units count in, measured as the
/// system measures a dialog's base unit: over the 52 letters, rounded to whole
/// pixels. A font's own average is no good here: a bitmap font's tables may
/// claim hundreds of pixels.
int baseUnit(const QFont& font) {
    static const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    return (QFontMetrics(font).horizontalAdvance(letters) / 26 + 1) / 2;
}

} // namespace

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
    return static_cast<int>(shownLines(TextBox).size());
}

int CTextBoxML::FirstVisibleLine() const {
    const int top = TextBox->cursorForPosition(QPoint(0, 0)).position();
    return LineFromChar(crlfPosition(TextBox, top));
}

int CTextBoxML::LineFromChar(int charIndex) const {
    // With a selection the edit control answers for its start.
    if (charIndex < 0)
        charIndex = crlfPosition(TextBox, TextBox->textCursor().selectionStart());
    return lineHolding(shownLines(TextBox), charIndex);
}

int CTextBoxML::LineIndex(int lineNum) const {
    const std::vector<ShownLine> lines = shownLines(TextBox);
    if (lineNum < 0)
        lineNum = lineHolding(lines, crlfPosition(TextBox, TextBox->textCursor().position()));
    return lineNum < static_cast<int>(lines.size()) ? lines[lineNum].start : -1;
}

int CTextBoxML::LineLength(int lineNum) const {
    const int start = LineIndex(lineNum);
    if (start < 0)
        return 0;
    const std::vector<ShownLine> lines = shownLines(TextBox);
    return lines[lineHolding(lines, start)].length;
}

QString CTextBoxML::GetLine(int lineNum) const {
    const int start = LineIndex(lineNum);
    if (start < 0)
        return QString();
    const std::vector<ShownLine> lines = shownLines(TextBox);
    return textOf(lines[lineHolding(lines, start)]);
}

void CTextBoxML::GetLineColumn(int charIndex, int& line, int& column) const {
    if (charIndex < 0)
        charIndex = crlfPosition(TextBox, TextBox->textCursor().selectionStart());
    line = LineFromChar(charIndex);
    column = charIndex - LineIndex(line);
}

QStringList CTextBoxML::GetAllLines(bool KeepHardLineBreaks) const {
    QStringList out;
    if (TextBox->document()->isEmpty())
        return out;
    for (const ShownLine& line : shownLines(TextBox))
        out << (KeepHardLineBreaks && line.endsParagraph ? textOf(line) + "\r\n" : textOf(line));
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
    const int charWidth = baseUnit(TextBox->font());
    QScrollBar* h = TextBox->horizontalScrollBar();
    h->setValue(h->value() + HorizScroll * charWidth);
    QScrollBar* v = TextBox->verticalScrollBar();
    v->setValue(v->value() + VertScroll); // a plain text edit scrolls by lines
}

void CTextBoxML::ScrollCaret() {
    TextBox->ensureCursorVisible();
}

qreal CTextBoxML::tabPixels(int dialogUnits) const {
    return dialogUnits * baseUnit(TextBox->font()) / 4.0;
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
