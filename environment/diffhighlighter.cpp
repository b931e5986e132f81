#include "diffhighlighter.h"

DiffHighlighter::DiffHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void DiffHighlighter::highlightBlock(const QString& text) {
    QTextCharFormat f;
    // The file headers first: "--- " and "+++ " would pass for changed lines.
    if (text.startsWith("--- ") || text.startsWith("+++ ")) {
        f.setFontWeight(QFont::Bold);
    } else if (text.startsWith("@@")) {
        f.setForeground(hunk());
    } else if (text.startsWith('+')) {
        f.setForeground(added());
    } else if (text.startsWith('-')) {
        f.setForeground(removed());
    } else {
        return;
    }
    setFormat(0, int(text.size()), f);
}
