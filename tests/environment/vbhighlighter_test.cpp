#include "vbhighlighter.h"

#include "environmenttest.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

/// One letter per character of each line: k keyword, c comment, s string,
/// n number, d directive, '.' plain.
QStringList colours(const QString& code) {
    QTextDocument document;
    VbHighlighter highlighter(&document);
    document.setPlainText(code);
    highlighter.rehighlight();
    const QList<std::pair<QColor, QChar>> names{{QColor(0, 0, 160), 'k'},
                                                {QColor(0, 128, 0), 'c'},
                                                {QColor(163, 21, 21), 's'},
                                                {QColor(9, 134, 88), 'n'},
                                                {QColor(128, 0, 128), 'd'}};
    QStringList out;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        QString mask(b.length() - 1, '.');
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            for (const auto& [colour, letter] : names)
                if (r.format.foreground().color() == colour)
                    for (int i = r.start; i < r.start + r.length && i < mask.size(); ++i)
                        mask[i] = letter;
        out << mask;
    }
    return out;
}

} // namespace

TEST(VbHighlighter, ColoursEachKindOfTokenAndCarriesACommentOrStatementOnPastAContinuation) {
    // Lines apart by '\n', in the code and in its mask.
    struct Case {
        QString code, mask;
    } cases[] = {
        {"Dim s As String ' note", "kkk...kk.kkkkkk.cccccc"},
        {"If x = \"a\"\"b\" Then", "kk.....ssssss.kkkk"},
        {"x = &HFF& + 1.5E+3", "....nnnnn...nnnnnn"},
        {"Rem old: Dim", "cccccccccccc"},
        {"#If DEBUG_BUILD Then ' on", "ddddddddddddddddddddd"
                                      "cccc"},
        {"Dim Сумма As Long", "kkk.......kk.kkkk"},
        {"' one _\nDim x _\nstill\nx = 1", "ccccccc\nccccccc\nccccc\n....n"},
        {"Call f(1, _\n  2)", "kkkk...n...\n..n."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(colours(c.code), c.mask.split('\n')) << c.code.toStdString();
}
