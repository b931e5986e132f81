#pragma once

#include "codehistory.h"
#include "codepage.h"

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
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
///
/// The code is editable: each edit goes into the code model at once, line by
/// line, so what is shown is what a save writes. Undo and redo work on the
/// code model's states (see CodeHistory): a run of typing on one line is one
/// step, and so is an add-in's run over the module.
class CodeWindow : public QWidget {
    Q_OBJECT
public:
    explicit CodeWindow(QWidget* parent = nullptr);

    /// Shows `component` (null: nothing) decoded from `codepage`. Showing the
    /// same component again keeps the caret's line and the scroll position,
    /// and does nothing when its code has not changed since.
    void showModule(trapline::Component* component, const trapline::Codepage& codepage);
    const trapline::Component* module() const { return m_component; }

    CodeHistory& history() { return m_history; }
    bool canUndo() const;
    bool canRedo() const;
    /// Undoes the shown module's last step and shows where it was; false when there is none.
    bool undo();
    bool redo();
    /// The editor's context menu at `at`, its Undo and Redo working as ours; the caller owns it.
    QMenu* contextMenu(QPoint at);

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
    /// The window changed the shown module's code (an edit, undo or redo).
    void edited(trapline::Component* component);
    /// An edit could not be taken and was taken back; `why` says why.
    void refused(const QString& why);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Procedure {
        QString label;
        long start, body, last;
    };
    void listProcedures(const trapline::Component& component, const trapline::Codepage& codepage);
    void followCaret();
    /// Puts the shown module's code in the editor; the caret goes to
    /// `caretLine` (from 0), the view keeps its scroll position.
    void render(int caretLine);
    /// Takes a change of the editor's text into the code model.
    void takeEdit(int position, int removed, int added);
    /// Lines of the code model an edit replaces, and their new texts.
    struct LineChange {
        long line = 0, count = 0;
        std::vector<std::string> texts;
    };
    /// The lines an edit at `position` changed, those left as they were left
    /// out; false when none changed or they cannot be had (and says why).
    bool changedLines(int position, int added, LineChange& change);
    /// False (and says why) when a line `change` gives a new text holds bytes
    /// that the new text cannot give back.
    bool keepsEveryByte(const LineChange& change);
    /// The editor's lines `first`..`last` (from 0) in the module's code page;
    /// false (and says why) when one holds a character it does not have.
    bool encodeLines(int first, int last, std::vector<std::string>& out);
    /// Whether an edit at `position` joins the undo step of the one before.
    bool continuesTyping(int position, int removed, int added);
    void refuse(const QString& why);
    /// Shows the result of undo or redo: the caret on the first changed line.
    void showRestored();
    /// Writes into the editor the lines in which it and the shown module
    /// differ; the first of them (from 0).
    int renderChanged();

    QComboBox* m_objects;
    QComboBox* m_procedures;
    QPlainTextEdit* m_editor;
    VbHighlighter* m_highlighter;
    QWidget* m_findBar;
    QLineEdit* m_findText;
    QLabel* m_findStatus;
    trapline::Component* m_component = nullptr;
    trapline::Codepage m_codepage;
    CodeHistory m_history;
    /// Of the code as the editor shows it: which reading and which revision.
    uint64_t m_shownIdentity = 0, m_shownRevision = 0;
    bool m_rendering = false;
    /// The editor shows an edit that was not taken; it is shown anew shortly.
    bool m_stale = false;
    /// The last edit, to tell a run of typing: where it was and what it did.
    struct Typing {
        int block = -1, position = -1;
        bool insert = false;
    } m_typing;
    std::vector<Procedure> m_procs; ///< in the order of the procedure list, after "(Declarations)"
};
