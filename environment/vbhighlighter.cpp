#include "vbhighlighter.h"

#include <QSet>

namespace {

enum State { Code = -1, ContinuedComment = 1 };

QTextCharFormat coloured(QColor colour) {
    QTextCharFormat f;
    f.setForeground(colour);
    return f;
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == '_';
}

} // namespace

VbHighlighter::VbHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document), m_keyword(coloured(QColor(0, 0, 160))),
      m_comment(coloured(QColor(0, 128, 0))), m_string(coloured(QColor(163, 21, 21))),
      m_number(coloured(QColor(9, 134, 88))), m_directive(coloured(QColor(128, 0, 128))) {}

bool VbHighlighter::isKeyword(const QString& word) {
    static const QSet<QString> words = [] {
        QSet<QString> s;
        for (const char* w :
             {"Alias",    "And",     "Any",        "Append",   "As",         "Attribute",
              "Base",     "Binary",  "Boolean",    "ByRef",    "Byte",       "ByVal",
              "Call",     "Case",    "Close",      "Compare",  "Const",      "Currency",
              "Date",     "Decimal", "Declare",    "Dim",      "Do",         "Double",
              "Each",     "Else",    "ElseIf",     "Empty",    "End",        "Enum",
              "Eqv",      "Erase",   "Error",      "Event",    "Exit",       "Explicit",
              "False",    "For",     "Friend",     "Function", "Get",        "Global",
              "GoSub",    "GoTo",    "If",         "Imp",      "Implements", "In",
              "Input",    "Integer", "Is",         "Let",      "Lib",        "Like",
              "Line",     "Load",    "Lock",       "Long",     "Loop",       "LSet",
              "Me",       "Mod",     "New",        "Next",     "Not",        "Nothing",
              "Null",     "Object",  "On",         "Open",     "Option",     "Optional",
              "Or",       "Output",  "ParamArray", "Preserve", "Print",      "Private",
              "Property", "PtrSafe", "Public",     "Put",      "RaiseEvent", "Random",
              "Read",     "ReDim",   "Resume",     "Return",   "RSet",       "Seek",
              "Select",   "Set",     "Shared",     "Single",   "Static",     "Step",
              "Stop",     "String",  "Sub",        "Text",     "Then",       "To",
              "True",     "Type",    "TypeOf",     "Unload",   "Unlock",     "Until",
              "Variant",  "Wend",    "While",      "With",     "WithEvents", "Write",
              "Xor"})
            s.insert(QString(w).toLower());
        return s;
    }();
    return words.contains(word.toLower());
}

void VbHighlighter::highlightBlock(const QString& text) {
    setCurrentBlockState(Code);
    if (previousBlockState() == ContinuedComment) {
        comment(text, 0);
        return;
    }
    qsizetype first = 0;
    while (first < text.size() && text[first].isSpace())
        ++first;
    if (first < text.size() && text[first] == '#') {
        // A directive line; only a comment after it keeps its own colour.
        const qsizetype quote = text.indexOf('\'', first);
        setFormat(int(first), int((quote < 0 ? text.size() : quote) - first), m_directive);
        if (quote >= 0)
            comment(text, int(quote));
        return;
    }
    bool statementStart = true;
    for (int i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == '\'') {
            comment(text, i);
            return;
        }
        const int next = token(text, i, statementStart);
        if (next < 0) { // Rem
            comment(text, i);
            return;
        }
        if (c == ':')
            statementStart = true;
        else if (!c.isSpace())
            statementStart = false;
        i = next;
    }
}

int VbHighlighter::token(const QString& text, int i, bool statementStart) {
    const int n = int(text.size());
    const QChar c = text[i];
    int end = i + 1;
    if (c == '"') {
        // "" inside a string is one quote.
        while (end < n && !(text[end] == '"' && (end + 1 >= n || text[end + 1] != '"')))
            end += text[end] == '"' ? 2 : 1;
        setFormat(i, std::min(end + 1, n) - i, m_string);
        return std::min(end + 1, n);
    }
    if (c.isLetter() || c == '_') {
        while (end < n && isWordChar(text[end]))
            ++end;
        const QString word = text.mid(i, end - i);
        if (statementStart && word.compare("Rem", Qt::CaseInsensitive) == 0)
            return -1;
        const bool member = i > 0 && text[i - 1] == '.'; // obj.Print is no keyword
        if (!member && isKeyword(word))
            setFormat(i, end - i, m_keyword);
        return end;
    }
    const bool radix = c == '&' && end < n && QString("HhOo").contains(text[end]);
    if (c.isDigit() || radix || (c == '.' && end < n && text[end].isDigit())) {
        const QString digits = radix ? "0123456789ABCDEFabcdef" : "0123456789.Ee";
        end += radix ? 1 : 0;
        while (end < n &&
               (digits.contains(text[end]) || (!radix && (text[end] == '+' || text[end] == '-') &&
                                               QString("Ee").contains(text[end - 1]))))
            ++end;
        if (end < n && QString("%&!#@^").contains(text[end]))
            ++end; // type suffix
        setFormat(i, end - i, m_number);
        return end;
    }
    if (c == '#' && end < n && text[end].isDigit()) {
        const qsizetype close = text.indexOf('#', end);
        if (close > 0) {
            setFormat(i, int(close) - i + 1, m_number);
            return int(close) + 1;
        }
    }
    return end;
}

void VbHighlighter::comment(const QString& text, int from) {
    setFormat(from, int(text.size()) - from, m_comment);
    const QString tail = text.trimmed();
    if (tail.endsWith(" _") || tail == "_")
        setCurrentBlockState(ContinuedComment);
}
