#include "codewindow.h"

#include "component.h"
#include "vbhighlighter.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

// How VB6 names the kinds of a property in its procedure list.
const char* kindSuffix(int kind) {
    switch (kind) {
    case 1:
        return " [PropertyLet]";
    case 2:
        return " [PropertySet]";
    case 3:
        return " [PropertyGet]";
    default:
        return "";
    }
}

} // namespace

CodeWindow::CodeWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("CodeWindow");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* lists = new QHBoxLayout;
    m_objects = new QComboBox(this);
    m_objects->setObjectName("Objects");
    m_procedures = new QComboBox(this);
    m_procedures->setObjectName("Procedures");
    lists->addWidget(m_objects, 1);
    lists->addWidget(m_procedures, 1);
    layout->addLayout(lists);

    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName("Code");
    m_editor->setReadOnly(true);
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editor->installEventFilter(this);
    m_editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_editor, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        QMenu* menu = contextMenu(at);
        menu->exec(m_editor->viewport()->mapToGlobal(at));
        delete menu;
    });
    // Undo is ours, on the code model; the document keeps no history of its own.
    m_editor->document()->setUndoRedoEnabled(false);
    // Connected before the highlighter, whose re-colouring reports changes too.
    connect(m_editor->document(), &QTextDocument::contentsChange, this, &CodeWindow::takeEdit);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    m_editor->setFont(mono);
    m_editor->setTabStopDistance(4 * QFontMetricsF(mono).horizontalAdvance(' '));
    m_highlighter = new VbHighlighter(m_editor->document());
    layout->addWidget(m_editor, 1);

    m_findBar = new QWidget(this);
    auto* find = new QHBoxLayout(m_findBar);
    find->setContentsMargins(0, 0, 0, 0);
    find->addWidget(new QLabel("Find what:", m_findBar));
    m_findText = new QLineEdit(m_findBar);
    m_findText->setObjectName("FindText");
    m_findText->installEventFilter(this);
    find->addWidget(m_findText, 1);
    m_findStatus = new QLabel(m_findBar);
    find->addWidget(m_findStatus);
    m_findBar->hide();
    layout->addWidget(m_findBar);

    connect(m_findText, &QLineEdit::returnPressed, this, &CodeWindow::findNext);
    connect(m_procedures, &QComboBox::activated, this, &CodeWindow::goToProcedure);
    connect(m_editor, &QPlainTextEdit::cursorPositionChanged, this, &CodeWindow::followCaret);
}

void CodeWindow::showModule(trapline::Component* component, const trapline::Codepage& codepage) {
    const bool again = component && component == m_component;
    if (again && !m_stale && std::as_const(*component).CodeModule().identity() == m_shownIdentity &&
        std::as_const(*component).CodeModule().revision() == m_shownRevision)
        return;
    m_typing = {};
    if (again && !m_stale && std::as_const(*component).CodeModule().identity() == m_shownIdentity) {
        // Changed by an add-in: only its changes are written into the editor,
        // so caret, selection and scroll position stay where they were.
        renderChanged();
        followCaret();
        return;
    }
    m_component = component;
    m_codepage = codepage;
    render(again ? m_editor->textCursor().blockNumber() : 0);
    if (!again)
        m_editor->verticalScrollBar()->setValue(0);
}

void CodeWindow::render(int caretLine) {
    const int scroll = m_editor->verticalScrollBar()->value();
    m_objects->clear();
    m_procedures->clear();
    m_procs.clear();
    m_rendering = true;
    if (!m_component) {
        m_editor->clear();
        m_editor->setReadOnly(true);
        m_rendering = false;
        return;
    }
    const trapline::CodeModule& code = std::as_const(*m_component).CodeModule();
    QStringList lines;
    lines.reserve(code.CountOfLines());
    for (long l = 1; l <= code.CountOfLines(); ++l)
        lines << QString::fromStdString(m_codepage.toUtf8(code.line(l)));
    m_editor->setPlainText(lines.join('\n'));
    m_rendering = false;
    m_stale = false;
    m_shownIdentity = code.identity();
    m_shownRevision = code.revision();
    // A module whose file could not be read is shown empty, never edited:
    // its save is refused anyway. Nor is one with a character the editor
    // takes for a line break (U+2029 in a UTF-8 module): its lines and the
    // editor's would not be the same.
    const bool linesMatch = m_editor->document()->blockCount() == std::max(1L, code.CountOfLines());
    m_editor->setReadOnly(!m_component->isLoaded() || !linesMatch);
    if (!linesMatch)
        emit refused("This module holds a character the code window takes for a line break; "
                     "it is shown, not edited");
    m_objects->addItem("(General)");
    listProcedures(*m_component, m_codepage);
    QTextCursor caret(m_editor->document()->findBlockByNumber(
        std::clamp(caretLine, 0, m_editor->document()->blockCount() - 1)));
    m_editor->setTextCursor(caret);
    m_editor->verticalScrollBar()->setValue(scroll);
    followCaret();
}

bool CodeWindow::encodeLines(int first, int last, std::vector<std::string>& out) {
    for (QTextBlock b = m_editor->document()->findBlockByNumber(first);
         b.isValid() && b.blockNumber() <= last; b = b.next()) {
        auto bytes = m_codepage.fromUtf8(b.text().toStdString());
        if (!bytes) {
            refuse(QString("Line %1: %2 (code page %3)")
                       .arg(b.blockNumber() + 1)
                       .arg(QString::fromStdString(bytes.error().description),
                            QString::fromStdString(m_codepage.name())));
            return false;
        }
        out.push_back(std::move(*bytes));
    }
    return true;
}

void CodeWindow::takeEdit(int position, int removed, int added) {
    if (m_rendering || m_stale || !m_component || !m_component->isLoaded())
        return;
    // An edit of text that is no longer the module's (an add-in changed it
    // since it was shown) cannot be placed: the module is shown again.
    const trapline::CodeModule& held = std::as_const(*m_component).CodeModule();
    if (held.identity() != m_shownIdentity || held.revision() != m_shownRevision) {
        refuse("The module was changed meanwhile; it is shown again as it is now");
        return;
    }
    LineChange change;
    if (!changedLines(position, added, change) || !keepsEveryByte(change))
        return;
    // Joining or splitting lines is a step of its own, never part of typing.
    const bool sameLines = static_cast<long>(change.texts.size()) == change.count;
    const bool typing = continuesTyping(position, removed, added) && sameLines;
    if (!sameLines)
        m_typing = {};
    m_history.beforeEdit(*m_component, !typing);
    trapline::CodeModule& code = m_component->CodeModule();
    const std::vector<std::string_view> views(change.texts.begin(), change.texts.end());
    if (auto done = code.replaceLines(change.line, change.count, views); !done) {
        refuse(QString::fromStdString(done.error().description));
        return;
    }
    m_history.afterEdit(*m_component);
    m_shownRevision = code.revision();
    m_procedures->clear();
    m_procs.clear();
    listProcedures(*m_component, m_codepage);
    followCaret();
    emit edited(m_component);
}

bool CodeWindow::changedLines(int position, int added, LineChange& change) {
    const QTextDocument* doc = m_editor->document();
    const trapline::CodeModule& code = std::as_const(*m_component).CodeModule();
    // An empty module shows one empty line.
    const long shown = std::max(1L, code.CountOfLines());
    const int first = doc->findBlock(position).blockNumber();
    const int last =
        doc->findBlock(std::min(position + added, doc->characterCount() - 1)).blockNumber();
    long count = (last - first + 1) - (doc->blockCount() - shown);
    if (first < 0 || count < 0 || first + count > shown) {
        refuse("The code window lost track of an edit; the module is shown as it is held");
        return false;
    }
    std::vector<std::string> texts;
    if (!encodeLines(first, last, texts))
        return false;
    if (code.CountOfLines() == 0) {
        count = 0;
        if (texts == std::vector<std::string>{""})
            return false;
    }
    // Leave out the lines that are as they were (a change of colour is
    // reported as a change too), so that those keep their hidden lines.
    long line = first + 1;
    size_t from = 0, to = texts.size();
    while (from < to && count > 0 && code.line(line) == texts[from])
        ++from, ++line, --count;
    while (to > from && count > 0 && code.line(line + count - 1) == texts[to - 1])
        --to, --count;
    if (from == to && count == 0)
        return false;
    change.line = line;
    change.count = count;
    change.texts.assign(std::make_move_iterator(texts.begin() + long(from)),
                        std::make_move_iterator(texts.begin() + long(to)));
    return true;
}

bool CodeWindow::keepsEveryByte(const LineChange& change) {
    // A line given a new text is written from that text: one holding bytes
    // the code page does not define would not come back as it was.
    const trapline::CodeModule& code = std::as_const(*m_component).CodeModule();
    const long given = std::min<long>(change.count, long(change.texts.size()));
    for (long i = 0; i < given; ++i) {
        const std::string_view old = code.line(change.line + i);
        auto again = m_codepage.fromUtf8(m_codepage.toUtf8(old));
        if (!again || *again != old) {
            refuse(QString("Line %1 holds bytes that code page %2 does not define; edit it "
                           "in an editor that keeps them")
                       .arg(change.line + i)
                       .arg(QString::fromStdString(m_codepage.name())));
            return false;
        }
    }
    return true;
}

bool CodeWindow::continuesTyping(int position, int removed, int added) {
    const int block = m_editor->document()->findBlock(position).blockNumber();
    const QChar typed = added == 1 ? m_editor->document()->characterAt(position) : QChar();
    const bool letter = added == 1 && removed == 0 && typed != QChar::ParagraphSeparator;
    const bool erased = added == 0 && removed == 1;
    const Typing before = m_typing;
    // Anything but a letter typed or erased stands alone.
    m_typing = letter || erased ? Typing{block, position + (letter ? 1 : 0), letter} : Typing{};
    if (before.block != block || !(letter || erased) || before.insert != letter)
        return false;
    // Typing goes on where it stopped; Backspace one back, Delete in place.
    return letter ? position == before.position
                  : position == before.position || position == before.position - 1;
}

QMenu* CodeWindow::contextMenu(QPoint at) {
    QMenu* menu = m_editor->createStandardContextMenu(at);
    // The editor's own Undo and Redo would work on its document's history.
    for (QAction* a : menu->actions()) {
        const bool isUndo = a->objectName() == "edit-undo";
        if (!isUndo && a->objectName() != "edit-redo")
            continue;
        a->disconnect();
        a->setEnabled(isUndo ? canUndo() : canRedo());
        connect(a, &QAction::triggered, this, isUndo ? &CodeWindow::undo : &CodeWindow::redo);
    }
    return menu;
}

void CodeWindow::refuse(const QString& why) {
    m_typing = {};
    // Shown again once the editor has finished telling of this change: a new
    // text now would leave it (and the colouring) half told. Edits until then
    // are not taken.
    if (!m_stale) {
        m_stale = true;
        QTimer::singleShot(0, this, [this] {
            if (m_stale)
                render(m_editor->textCursor().blockNumber());
        });
    }
    emit refused(why);
}

bool CodeWindow::canUndo() const {
    return m_component && m_component->isLoaded() && m_history.canUndo(*m_component);
}

bool CodeWindow::canRedo() const {
    return m_component && m_component->isLoaded() && m_history.canRedo(*m_component);
}

bool CodeWindow::undo() {
    if (!canUndo() || !m_history.undo(*m_component))
        return false;
    showRestored();
    return true;
}

bool CodeWindow::redo() {
    if (!canRedo() || !m_history.redo(*m_component))
        return false;
    showRestored();
    return true;
}

void CodeWindow::showRestored() {
    m_typing = {};
    const int changed = renderChanged();
    // The caret goes to the change undone or redone.
    m_editor->setTextCursor(QTextCursor(m_editor->document()->findBlockByNumber(changed)));
    m_editor->ensureCursorVisible();
    emit edited(m_component);
}

int CodeWindow::renderChanged() {
    const trapline::CodeModule& code = std::as_const(*m_component).CodeModule();
    QTextDocument* doc = m_editor->document();
    // The editor's lines and the module's, alike from the top and from the
    // bottom; only what lies between is written again, so that neither the
    // whole text nor its colouring is made anew for a change of a few lines.
    const int shown = doc->blockCount();
    const int held = int(code.CountOfLines());
    auto heldText = [&](int i) {
        return QString::fromStdString(m_codepage.toUtf8(code.line(i + 1)));
    };
    int top = 0;
    for (QTextBlock b = doc->begin(); top < shown && top < held && b.text() == heldText(top);
         b = b.next())
        ++top;
    int shownLast = shown - 1, heldLast = held - 1;
    for (QTextBlock b = doc->lastBlock();
         shownLast >= top && heldLast >= top && b.text() == heldText(heldLast); b = b.previous())
        --shownLast, --heldLast;
    QStringList lines;
    for (int i = top; i <= heldLast; ++i)
        lines << heldText(i);

    m_rendering = true;
    QTextCursor c(doc);
    c.beginEditBlock();
    const bool oldLines = shownLast >= top, newLines = heldLast >= top;
    if (oldLines) {
        c.setPosition(doc->findBlockByNumber(top).position());
        // Taken out with the line break after them, or before them at the end.
        if (!newLines && shownLast + 1 < shown) {
            c.setPosition(doc->findBlockByNumber(shownLast + 1).position(),
                          QTextCursor::KeepAnchor);
        } else {
            if (!newLines && top > 0)
                c.setPosition(doc->findBlockByNumber(top - 1).position() +
                              doc->findBlockByNumber(top - 1).length() - 1);
            const QTextBlock last = doc->findBlockByNumber(shownLast);
            c.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        }
        c.insertText(lines.join('\n'));
    } else if (newLines) {
        if (top < shown) {
            c.setPosition(doc->findBlockByNumber(top).position());
            c.insertText(lines.join('\n') + '\n');
        } else {
            c.movePosition(QTextCursor::End);
            c.insertText((held > int(lines.size()) ? "\n" : "") + lines.join('\n'));
        }
    }
    c.endEditBlock();
    m_rendering = false;
    m_shownRevision = code.revision();
    if (doc->blockCount() != std::max(1, held))
        render(top); // not expected; the whole text then, rather than a wrong one
    m_procedures->clear();
    m_procs.clear();
    listProcedures(*m_component, m_codepage);
    return std::min(top, doc->blockCount() - 1);
}

void CodeWindow::listProcedures(const trapline::Component& component,
                                const trapline::Codepage& codepage) {
    const trapline::CodeModule& code = component.CodeModule();
    for (const trapline::Member& m : code.Members()) {
        // A Sub or Function has kind 0; a property up to three, each listed.
        for (int kind : m.Type == 1 ? std::vector<int>{0} : std::vector<int>{3, 1, 2}) {
            auto start = code.ProcStartLine(m.Name, kind);
            auto body = code.ProcBodyLine(m.Name, kind);
            auto count = code.ProcCountLines(m.Name, kind);
            if (start && body && count)
                m_procs.push_back(
                    {QString::fromStdString(codepage.toUtf8(m.Name)) + kindSuffix(kind), *start,
                     *body, *start + *count - 1});
        }
    }
    std::stable_sort(m_procs.begin(), m_procs.end(), [](const Procedure& a, const Procedure& b) {
        return a.label.compare(b.label, Qt::CaseInsensitive) < 0;
    });
    m_procedures->addItem("(Declarations)");
    for (const Procedure& p : m_procs)
        m_procedures->addItem(p.label);
}

void CodeWindow::goToProcedure(int index) {
    if (index < 0 || index > int(m_procs.size()))
        return;
    const long line = index == 0 ? 1 : m_procs[index - 1].body;
    QTextCursor caret(m_editor->document()->findBlockByNumber(int(line) - 1));
    m_editor->setTextCursor(caret);
    // Without wrapping, the scroll bar counts lines: the declaration goes to the top.
    m_editor->verticalScrollBar()->setValue(int(line) - 1);
    m_editor->setFocus();
}

void CodeWindow::followCaret() {
    const QTextCursor caret = m_editor->textCursor();
    const long line = caret.blockNumber() + 1;
    int index = 0;
    for (size_t i = 0; i < m_procs.size(); ++i)
        if (m_procs[i].start <= line && line <= m_procs[i].last)
            index = int(i) + 1;
    if (m_procedures->count() > index)
        m_procedures->setCurrentIndex(index);
    emit caretMoved(int(line), caret.positionInBlock() + 1);
}

void CodeWindow::startFind() {
    QTextCursor caret = m_editor->textCursor();
    if (!caret.hasSelection())
        caret.select(QTextCursor::WordUnderCursor);
    if (caret.hasSelection() && !caret.selectedText().contains(QChar::ParagraphSeparator))
        m_findText->setText(caret.selectedText());
    m_findStatus->clear();
    m_findBar->show();
    m_findText->selectAll();
    m_findText->setFocus();
}

bool CodeWindow::findNext() {
    const QString text = m_findText->text();
    if (text.isEmpty()) {
        startFind();
        return false;
    }
    m_findStatus->clear();
    if (m_editor->find(text))
        return true;
    // Go on from the top, as VB6's Find Next does.
    const QTextCursor before = m_editor->textCursor();
    m_editor->moveCursor(QTextCursor::Start);
    if (m_editor->find(text))
        return true;
    m_editor->setTextCursor(before);
    m_findStatus->setText("Not found");
    return false;
}

bool CodeWindow::eventFilter(QObject* watched, QEvent* event) {
    // The editor would take Undo and Redo keys for its document's history,
    // which it has none of: they go to the code model's.
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            key->matches(QKeySequence::Undo) ? undo() : redo();
            return true;
        }
    }
    if (watched == m_findText && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_findBar->hide();
        m_editor->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
