// The edit control's line arithmetic, scrolling and tab stops over a
// QPlainTextEdit. A single-line box is one line of its own.

#include "qtforms.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <vector>

namespace forms {
namespace {

/// One line as the box shows it. `start` counts every line break before it
/// as the two characters CR LF, as the text is handed over and as the edit
/// control counts it; a wrapped line's pieces are lines of their own.
struct ShownLine {
    int start;
    int length;
    QString text;
};

std::vector<ShownLine> shownLines(const QWidget* w) {
    if (auto* line = qobject_cast<const QLineEdit*>(w))
        return {{0, static_cast<int>(line->text().size()), line->text()}};
    std::vector<ShownLine> lines;
    int start = 0;
    auto* box = static_cast<const QPlainTextEdit*>(w);
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
        const int textLength = b.length() - 1;
        const QTextLayout* layout = b.layout();
        if (!layout || layout->lineCount() <= 1) {
            lines.push_back({start, textLength, b.text()});
        } else {
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine l = layout->lineAt(i);
                lines.push_back({start + l.textStart(), l.textLength(),
                                 b.text().mid(l.textStart(), l.textLength())});
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

/// A document position (one character per line break) as the edit control
/// counts it: at the start of the selection, or at the caret.
int crlfPosition(const QWidget* w, bool selectionStart) {
    if (auto* line = qobject_cast<const QLineEdit*>(w))
        return selectionStart && line->hasSelectedText() ? line->selectionStart()
                                                         : line->cursorPosition();
    auto* box = static_cast<const QPlainTextEdit*>(w);
    const QTextCursor c = box->textCursor();
    const int position = selectionStart ? c.selectionStart() : c.position();
    return position + box->document()->findBlock(position).blockNumber();
}

/// The average character width that dialog units count in, measured as the
/// system measures a dialog's base unit: over the 52 letters, rounded to whole
/// pixels. A font's own average is no good here: a bitmap font's tables may
/// claim hundreds of pixels.
int baseUnit(const QFont& font) {
    static const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    return (QFontMetrics(font).horizontalAdvance(letters) / 26 + 1) / 2;
}

QPlainTextEdit* multiLine(const TextBox& box) {
    return qobject_cast<QPlainTextEdit*>(qt::widget(box));
}

} // namespace

int TextBox::LineCount() const {
    return static_cast<int>(shownLines(qt::widget(*this)).size());
}

int TextBox::FirstVisibleLine() const {
    QPlainTextEdit* box = multiLine(*this);
    if (!box)
        return 0;
    const int top = box->cursorForPosition(QPoint(0, 0)).position();
    return lineHolding(shownLines(box), top + box->document()->findBlock(top).blockNumber());
}

int TextBox::LineFromChar(int charIndex) const {
    // With a selection the edit control answers for its start.
    if (charIndex < 0)
        charIndex = crlfPosition(qt::widget(*this), true);
    return lineHolding(shownLines(qt::widget(*this)), charIndex);
}

int TextBox::LineIndex(int line) const {
    const std::vector<ShownLine> lines = shownLines(qt::widget(*this));
    if (line < 0)
        line = lineHolding(lines, crlfPosition(qt::widget(*this), false));
    return line < static_cast<int>(lines.size()) ? lines[line].start : -1;
}

int TextBox::LineLength(int charIndex) const {
    const std::vector<ShownLine> lines = shownLines(qt::widget(*this));
    if (charIndex < 0)
        charIndex = crlfPosition(qt::widget(*this), false);
    return lines[lineHolding(lines, charIndex)].length;
}

std::string TextBox::GetLine(int line) const {
    const std::vector<ShownLine> lines = shownLines(qt::widget(*this));
    if (line < 0 || line >= static_cast<int>(lines.size()))
        return {};
    return qt::text(lines[line].text);
}

std::array<int, 4> TextBox::FormatRect() const {
    QPlainTextEdit* box = multiLine(*this);
    const QRect r = box ? box->viewport()->geometry() : qt::widget(*this)->contentsRect();
    return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

void TextBox::setFormatRect(const std::array<int, 4>& rect) {
    // The formatting rectangle is where the viewport sits inside the box:
    // the margins around it move it there.
    QPlainTextEdit* box = multiLine(*this);
    if (!box)
        return;
    const QRect now = box->viewport()->geometry();
    const QMargins m = box->contentsMargins();
    box->setContentsMargins(m.left() + rect[0] - now.left(), m.top() + rect[1] - now.top(),
                            m.right() + now.right() + 1 - rect[2],
                            m.bottom() + now.bottom() + 1 - rect[3]);
}

void TextBox::LineScroll(int characters, int lines) {
    QPlainTextEdit* box = multiLine(*this);
    if (!box)
        return;
    QScrollBar* h = box->horizontalScrollBar();
    h->setValue(h->value() + characters * baseUnit(box->font()));
    QScrollBar* v = box->verticalScrollBar();
    v->setValue(v->value() + lines); // a plain text edit scrolls by lines
}

void TextBox::ScrollCaret() {
    if (QPlainTextEdit* box = multiLine(*this))
        box->ensureCursorVisible();
}

void TextBox::SetTabStops(const std::vector<int>& dialogUnits) {
    if (QPlainTextEdit* box = multiLine(*this))
        qt::setTabStops(box, dialogUnits);
}

void qt::setTabStops(QPlainTextEdit* box, const std::vector<int>& dialogUnits) {
    const int unit = baseUnit(box->font());
    auto pixels = [unit](int units) { return units * unit / 4.0; };
    QTextOption option = box->document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    if (dialogUnits.size() > 1)
        for (int stop : dialogUnits)
            tabs << QTextOption::Tab(pixels(stop), QTextOption::LeftTab);
    option.setTabs(tabs);
    if (dialogUnits.size() <= 1)
        option.setTabStopDistance(pixels(dialogUnits.empty() ? 32 : dialogUnits.front()));
    box->document()->setDefaultTextOption(option);
}

} // namespace forms
