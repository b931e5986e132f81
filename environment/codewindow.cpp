#include "codewindow.h"

#include "component.h"
#include "vbhighlighter.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

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
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
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

void CodeWindow::showModule(const trapline::Component* component,
                            const trapline::Codepage& codepage) {
    const bool again = component && component == m_component;
    const int line = m_editor->textCursor().blockNumber();
    const int scroll = m_editor->verticalScrollBar()->value();
    m_component = component;
    m_objects->clear();
    m_procedures->clear();
    m_procs.clear();
    if (!component) {
        m_editor->clear();
        return;
    }
    const trapline::CodeModule& code = component->CodeModule();
    QStringList lines;
    lines.reserve(code.CountOfLines());
    for (long l = 1; l <= code.CountOfLines(); ++l)
        lines << QString::fromStdString(codepage.toUtf8(code.line(l)));
    m_editor->setPlainText(lines.join('\n'));
    m_objects->addItem("(General)");
    listProcedures(*component, codepage);
    if (again) {
        QTextCursor caret(m_editor->document()->findBlockByNumber(
            std::min(line, m_editor->document()->blockCount() - 1)));
        m_editor->setTextCursor(caret);
        m_editor->verticalScrollBar()->setValue(scroll);
    }
    followCaret();
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
    if (watched == m_findText && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_findBar->hide();
        m_editor->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
