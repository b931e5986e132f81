#pragma once

#include <string>
#include <vector>

namespace forms {
class TextBox;
}

/// The multi-line edit control's operations for one text box: undo (one
/// level), line arithmetic, the formatting rectangle, scrolling and tab
/// stops. Lines and character positions are 0-based; a line is a line as the
/// box shows it (each piece of a wrapped paragraph is one), and a line break
/// between paragraphs counts as the two characters CR LF. Tab stops are in
/// dialog units, four to an average character width.
class CTextBoxML {
public:
    /// The box worked on; set by the owner before any other call.
    forms::TextBox* TextBox = nullptr;

    /// Sets `TextBox` and starts keeping its undo step from its text now.
    void bind(forms::TextBox* box);

    bool CanUndo() const;
    void Undo();
    void EmptyUndoBuffer();
    /// The number of lines; an empty box has one.
    int LineCount() const;
    int FirstVisibleLine() const;
    /// The line that holds `charIndex` (its line break included); -1 for the
    /// line of the caret, or of the start of the selection.
    int LineFromChar(int charIndex) const;
    /// Position of the first character of `lineNum`; a negative `lineNum`
    /// means the caret's line; -1 past the last line.
    int LineIndex(int lineNum) const;
    /// Characters of `lineNum` without its line break; a negative `lineNum`
    /// means the caret's line; 0 past the last line.
    ///
    ///     "ab\r\ncdef", caret in "cdef":  LineLength(-1) == 4, GetLine(-1) == "cdef"
    int LineLength(int lineNum) const;
    /// The text of `lineNum` without its line break, chosen as for `LineLength`.
    std::string GetLine(int lineNum) const;
    /// Line and column of `charIndex`, or of the caret when it is negative.
    void GetLineColumn(int charIndex, int& line, int& column) const;
    /// One element per line; with `KeepHardLineBreaks` each that ends a
    /// paragraph ends in CR LF. An empty box has none.
    std::vector<std::string> GetAllLines(bool KeepHardLineBreaks = false) const;
    void GetRect(int& Left, int& Top, int& Right, int& Bottom) const;
    void SetRect(int Left, int Top, int Right, int Bottom);
    void Scroll(int HorizScroll, int VertScroll);
    void ScrollCaret();
    void SetTabStops(const std::vector<int>& tabStops);
    void SetTabStopDistance(int distance);
};
