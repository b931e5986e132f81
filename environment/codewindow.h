#pragma once

#include "codepage.h"

#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class VbHighlighter;
namespace trapline {
class Component;
}

/// A module's code as VB6's code window shows it: the hidden head and member
/// attributes left out, coloured, under the object list ("(General)") and the
/// procedure list ("(Declarations)" and the module's procedures, sorted).
/// Choosing a procedure puts the caret on its declaration; moving the caret
/// shows in the list the procedure it is in. Ctrl+F opens a find bar; F3
/// finds the next occurrence (letter case ignored, as VB6 does by default).
class CodeWindow : public QWidget {
    Q_OBJECT
public:
    explicit CodeWindow(QWidget* parent = nullptr);

    /// Shows `component` (null: nothing) decoded from `codepage`. Showing the
    /// same component again (after an add-in changed it) keeps the caret's
    /// line and the scroll position.
    void showModule(const trapline::Component* component, const trapline::Codepage& codepage);
    const trapline::Component* module() const { return m_component; }

    QPlainTextEdit* editor() const { return m_editor; }
    QComboBox* objects() const { return m_objects; }
    QComboBox* procedures() const { return m_procedures; }
    QLineEdit* findText() const { return m_findText; }

    /// Puts the caret on the declaration of the procedure at `index` of the
    /// procedure list (0: the declarations section) and scrolls it to the top.
    void goToProcedure(int index);
    /// Opens the find bar, filled with the selection or the word at the caret.
    void startFind();
    /// Selects the next occurrence of the find bar's text after the caret,
    /// going on from the top at the end; false (and says so) when there is none.
    bool findNext();

signals:
    /// The caret moved to `line`, `column` (both from 1).
    void caretMoved(int line, int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Procedure {
        QString label;
        long start, body, last;
    };
    void listProcedures(const trapline::Component& component, const trapline::Codepage& codepage);
    void followCaret();

    QComboBox* m_objects;
    QComboBox* m_procedures;
    QPlainTextEdit* m_editor;
    VbHighlighter* m_highlighter;
    QWidget* m_findBar;
    QLineEdit* m_findText;
    QLabel* m_findStatus;
    const trapline::Component* m_component = nullptr;
    std::vector<Procedure> m_procs; ///< in the order of the procedure list, after "(Declarations)"
};
