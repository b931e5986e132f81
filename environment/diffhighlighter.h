#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

/// Colours a unified diff: file headers bold, hunk headers blue, added lines
/// green, removed lines red, context as it is.
class DiffHighlighter : public QSyntaxHighlighter {
public:
    explicit DiffHighlighter(QTextDocument* document);

    static QColor added() { return QColor(0, 128, 0); }
    static QColor removed() { return QColor(192, 0, 0); }
    static QColor hunk() { return QColor(0, 0, 192); }

protected:
    void highlightBlock(const QString& text) override;
};
