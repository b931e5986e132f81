#pragma once

#include <QObject>
#include <QString>

class QPlainTextEdit;

namespace forms::qt {

/// One level of undo for a multi-line box, as the edit control keeps it: the
/// last edit (a run of typing counts as one) can be undone, and undoing again
/// redoes it. Lives as a child of its box, made with the box.
class EditHistory : public QObject {
public:
    /// The history of `box`, made on first use.
    static EditHistory* of(QPlainTextEdit* box);

    bool canUndo() const { return m_hasStep; }
    void undo();
    /// Forgets the step; the history goes on from the text as it is now.
    void clear();

private:
    explicit EditHistory(QPlainTextEdit* box);
    void changed(int position, int removed, int added);

    QPlainTextEdit* m_box;
    QString m_current;
    QString m_before;
    int m_caretBefore = 0;
    int m_typingEnd = -1; ///< where a run of typing may continue
    bool m_hasStep = false;
    bool m_restoring = false;
};

} // namespace forms::qt
