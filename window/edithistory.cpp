#include "edithistory.h"

#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextDocument>

EditHistory* EditHistory::of(QPlainTextEdit* box) {
    if (auto* existing = box->findChild<EditHistory*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new EditHistory(box);
}

EditHistory::EditHistory(QPlainTextEdit* box)
    : QObject(box), m_box(box), m_current(box->toPlainText()) {
    // The box's own many-level undo would disagree with this one.
    box->document()->setUndoRedoEnabled(false);
    connect(box->document(), &QTextDocument::contentsChange, this, &EditHistory::changed);
    auto* shortcut = new QShortcut(QKeySequence::Undo, box, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, &EditHistory::undo);
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
