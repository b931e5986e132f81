#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class Workspace;

/// View > Changes: the unsaved changes of every open module as one coloured
/// unified diff, the text `trapline insert --dry-run` prints for the same
/// changes (files named as `patch -p0` run in the current folder finds them,
/// three lines of context), so what is seen here is what File > Save writes.
class ChangesView : public QDialog {
    Q_OBJECT
public:
    explicit ChangesView(QWidget* parent = nullptr);

    /// Shows the changes `workspace` holds now.
    void showChanges(const Workspace& workspace);
    QPlainTextEdit* text() const { return m_text; }

    /// The diff of every changed component of `workspace`, in the order of
    /// the projects and their components, in the projects' code pages: the
    /// bytes a patch file would hold. Empty when nothing changed.
    static std::string diffOf(const Workspace& workspace);

private:
    QPlainTextEdit* m_text;
};
