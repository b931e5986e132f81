#include "changesview.h"

#include "diffhighlighter.h"
#include "unifieddiff.h"
#include "workspace.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <filesystem>

namespace {

/// The diff of one component, or "" when it has no unsaved change.
std::string diffOfComponent(const trapline::Component& c) {
    if (!c.needsSave())
        return {};
    std::error_code ec;
    auto name = trapline::UnifiedDiff::patchName(c.path(), std::filesystem::current_path(ec));
    // Outside the current folder patch takes no name; the full one still says which file.
    return trapline::UnifiedDiff::of(name ? *name : c.path(), c.CodeModule().edits(),
                                     c.CodeModule().eol(), c.stamp().mtimeNs);
}

} // namespace

ChangesView::ChangesView(QWidget* parent) : QDialog(parent) {
    setObjectName("ChangesView");
    setWindowTitle("Changes");
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName("Diff");
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    m_text->setFont(mono);
    new DiffHighlighter(m_text->document());
    layout->addWidget(m_text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::string ChangesView::diffOf(const Workspace& workspace) {
    std::string out;
    for (const Workspace::Entry& e : workspace.entries())
        for (long i = 1; i <= e.project->VBComponents().Count(); ++i)
            out += diffOfComponent(**e.project->VBComponents().Item(i));
    return out;
}

void ChangesView::showChanges(const Workspace& workspace) {
    QString text;
    for (const Workspace::Entry& e : workspace.entries())
        for (long i = 1; i <= e.project->VBComponents().Count(); ++i)
            text += QString::fromStdString(
                e.project->codepage().toUtf8(diffOfComponent(**e.project->VBComponents().Item(i))));
    // Line ends are part of the diff's bytes, not of what is to be read.
    text.remove('\r');
    if (text.endsWith('\n'))
        text.chop(1);
    m_text->setPlainText(text.isEmpty() ? "No unsaved changes." : text);
}
