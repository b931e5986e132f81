#include "edithistory.h"

#include "qtforms.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextDocument>

namespace forms {
namespace qt {
namespace {

// Found by name: the class carries no meta-object for qobject_cast.
const char* const kName = "forms-edit-history";

} // namespace

EditHistory* EditHistory::of(QPlainTextEdit* box) {
    if (auto* existing = box->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly))
        return static_cast<EditHistory*>(existing);
    return new EditHistory(box);
}

EditHistory::EditHistory(QPlainTextEdit* box)
    : QObject(box), m_box(box), m_current(box->toPlainText()) {
    setObjectName(kName);
    // The box's own many-level undo would disagree with this one.
    box->document()->setUndoRedoEnabled(false);
    connect(box->document(), &QTextDocument::contentsChange, this, &EditHistory::changed);
    auto* shortcut = new QShortcut(QKeySequence::Undo, box, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, &EditHistory::undo);
}

void EditHistory::clear() {
    m_hasStep = false;
    m_current = m_box->toPlainText();
    m_typingEnd = -1;
}

void EditHistory::changed(int position, int removed, int added) {
    if (m_restoring)
        return;
    const QString now = m_box->toPlainText();
    const bool typing = removed == 0 && added == 1;
    if (!(typing && m_hasStep && position == m_typingEnd)) {
        m_before = m_current;
        m_caretBefore = position;
        m_hasStep = true;
    }
    m_current = now;
    m_typingEnd = typing ? position + 1 : -1;
}

void EditHistory::undo() {
    if (!m_hasStep)
        return;
    m_restoring = true;
    const QString target = m_before;
    m_before = m_current;
    m_current = target;
    m_box->setPlainText(target);
    QTextCursor c = m_box->textCursor();
    c.setPosition(qMin(m_caretBefore, static_cast<int>(target.size())));
    m_box->setTextCursor(c);
    m_typingEnd = -1;
    m_restoring = false;
}

} // namespace qt

// A single-line box keeps Qt's own undo: the edit control's one level is
// what a line of text needs, and Qt's answers the same for one edit.
bool TextBox::CanUndo() const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        return qt::EditHistory::of(edit)->canUndo();
    return qt::widget<QLineEdit>(*this)->isUndoAvailable();
}

void TextBox::Undo() {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        qt::EditHistory::of(edit)->undo();
    else
        qt::widget<QLineEdit>(*this)->undo();
}

void TextBox::EmptyUndoBuffer() {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(qt::widget(*this)))
        qt::EditHistory::of(edit)->clear();
    else
        qt::widget<QLineEdit>(*this)->setText(qt::widget<QLineEdit>(*this)->text());
}

} // namespace forms
