#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

class QPlainTextEdit;

/// The multi-line edit control's operations for one text box: undo (one
/// level), line arithmetic, the formatting rectangle, scrolling and tab
/// stops. Lines and character positions are 0-based; tab stops are in dialog
/// units, four to an average character width.
class CTextBoxML {
public:
    /// The box worked on; set by the owner before any other call.
    QPointer<QPlainTextEdit> TextBox;

    /// Sets `TextBox` and starts keeping its undo step from its text now.
    void bind(QPlainTextEdit* box);

    bool CanUndo() const;
    void Undo();
    void EmptyUndoBuffer();
    int LineCount() const;
    int FirstVisibleLine() const;
    int LineFromChar(int charIndex) const;
    /// Position of the first character of `lineNum`; -1 for the caret's line.
    int LineIndex(int lineNum) const;
    int LineLength(int lineNum) const;
    QString GetLine(int lineNum) const;
    /// Line and column of `charIndex`, or of the caret when it is negative.
    void GetLineColumn(int charIndex, int& line, int& column) const;
    /// One element per line; with `KeepHardLineBreaks` each ends in CR LF.
    QStringList GetAllLines(bool KeepHardLineBreaks = false) const;
    void GetRect(int& Left, int& Top, int& Right, int& Bottom) const;
    void SetRect(int Left, int Top, int Right, int Bottom);
    void Scroll(int HorizScroll, int VertScroll);
    void ScrollCaret();
    void SetTabStops(const QVector<int>& tabStops);
    void SetTabStopDistance(int distance);

    /// The tab stop distance in pixels that `dialogUnits` stands for.
    qreal tabPixels(int dialogUnits) const;
};
