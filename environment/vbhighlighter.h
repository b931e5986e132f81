#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

/// Colours Visual Basic code as a code window shows it: keywords, comments
/// (also "Rem" and comments continued onto the next line with " _"),
/// strings, numbers (decimal, &H hex, &O octal, #date# literals) and
/// conditional-compilation lines (#If, #Else, #End If, #Const).
class VbHighlighter : public QSyntaxHighlighter {
public:
    explicit VbHighlighter(QTextDocument* document);

    /// Whether `word` is a Visual Basic keyword (letter case ignored).
    static bool isKeyword(const QString& word);

protected:
    void highlightBlock(const QString& text) override;

private:
    /// Colours the comment from `from` to the end; it goes on in the next
    /// line when it ends with " _".
    void comment(const QString& text, int from);
    /// Colours one token at `i` and returns where the next one starts.
    int token(const QString& text, int i, bool statementStart);

    QTextCharFormat m_keyword, m_comment, m_string, m_number, m_directive;
};
