#include "edithistory.h"
#include "qtforms.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace forms {
namespace {

/// The edit control counts a line break as CR LF; Qt's document as one
/// character. Positions cross between the two here.
int toVb(const QString& text, int position) {
    return position + static_cast<int>(text.left(position).count('\n'));
}

int fromVb(const QString& text, int position) {
    int qtPosition = 0;
    for (int vb = 0; qtPosition < text.size() && vb < position; ++qtPosition)
        vb += text[qtPosition] == '\n' ? 2 : 1;
    return qtPosition;
}

QString lf(const std::string& text) {
    return qt::text(text).replace("\r\n", "\n");
}

std::string crlf(const QString& text) {
    return qt::text(QString(text).replace('\n', "\r\n"));
}

} // namespace

TextBox::TextBox(Control& parent, std::string name, Rect twips, bool multiLine)
    : Control(parent, std::move(name), twips,
              multiLine ? qt::make<QPlainTextEdit>(parent) : qt::make<QLineEdit>(parent)),
      m_multiLine(multiLine) {
    QWidget* w = qt::widget(*this);
    w->setObjectName(qt::text(Name()));
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        QObject::connect(edit, &QPlainTextEdit::textChanged, [this] { Change(); });
        qt::EditHistory::of(edit);
        // Tab moves on, as in a VB text box; the windows have a button to
        // insert one.
        edit->setTabChangesFocus(true);
    } else {
        QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::textChanged, [this] { Change(); });
    }
    qt::watchFocusAndKeys(*this);
}

std::string TextBox::Text() const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        return crlf(edit->toPlainText());
    return qt::text(qt::widget<QLineEdit>(*this)->text());
}

void TextBox::setText(const std::string& text) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        edit->setPlainText(lf(text));
    else
        qt::widget<QLineEdit>(*this)->setText(qt::text(text));
}

void TextBox::setLocked(bool locked) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        edit->setReadOnly(locked);
    else
        qt::widget<QLineEdit>(*this)->setReadOnly(locked);
}

void TextBox::setScrollBars(ScrollBars bars) {
    auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this));
    if (!edit)
        return;
    auto policy = [bars](ScrollBars bar) {
        return bars & bar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    };
    edit->setHorizontalScrollBarPolicy(policy(Horizontal));
    edit->setVerticalScrollBarPolicy(policy(Vertical));
    edit->setLineWrapMode(bars & Horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
}

int TextBox::SelStart() const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        return toVb(edit->toPlainText(), edit->textCursor().selectionStart());
    auto* line = qt::widget<QLineEdit>(*this);
    return line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
}

int TextBox::SelLength() const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this))) {
        const QTextCursor c = edit->textCursor();
        const QString text = edit->toPlainText();
        return toVb(text, c.selectionEnd()) - toVb(text, c.selectionStart());
    }
    return static_cast<int>(qt::widget<QLineEdit>(*this)->selectedText().size());
}

void TextBox::setSel(int start, int length) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this))) {
        const QString text = edit->toPlainText();
        QTextCursor c = edit->textCursor();
        c.setPosition(fromVb(text, start));
        c.setPosition(fromVb(text, start + length), QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
        return;
    }
    qt::widget<QLineEdit>(*this)->setSelection(start, length);
}

std::string TextBox::SelText() const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        return crlf(edit->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n'));
    return qt::text(qt::widget<QLineEdit>(*this)->selectedText());
}

void TextBox::setSelText(const std::string& text) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        edit->textCursor().insertText(lf(text));
    else
        qt::widget<QLineEdit>(*this)->insert(qt::text(text));
}

} // namespace forms
