#include "ctextboxml.h"

#include "forms.h"

void CTextBoxML::bind(forms::TextBox* box) {
    TextBox = box;
    box->EmptyUndoBuffer();
}

bool CTextBoxML::CanUndo() const {
    return TextBox->CanUndo();
}

void CTextBoxML::Undo() {
    TextBox->Undo();
}

void CTextBoxML::EmptyUndoBuffer() {
    TextBox->EmptyUndoBuffer();
}

int CTextBoxML::LineCount() const {
    return TextBox->LineCount();
}

int CTextBoxML::FirstVisibleLine() const {
    return TextBox->FirstVisibleLine();
}

int CTextBoxML::LineFromChar(int charIndex) const {
    return TextBox->LineFromChar(charIndex < 0 ? -1 : charIndex);
}

int CTextBoxML::LineIndex(int lineNum) const {
    return TextBox->LineIndex(lineNum < 0 ? -1 : lineNum);
}

int CTextBoxML::LineLength(int lineNum) const {
    // The control measures the line holding a character; past the last line
    // there is none.
    const int start = LineIndex(lineNum);
    return start < 0 ? 0 : TextBox->LineLength(start);
}

std::string CTextBoxML::GetLine(int lineNum) const {
    const int start = LineIndex(lineNum);
    return start < 0 ? std::string() : TextBox->GetLine(TextBox->LineFromChar(start));
}

void CTextBoxML::GetLineColumn(int charIndex, int& line, int& column) const {
    if (charIndex < 0)
        charIndex = TextBox->SelStart();
    line = LineFromChar(charIndex);
    column = charIndex - LineIndex(line);
}

std::vector<std::string> CTextBoxML::GetAllLines(bool KeepHardLineBreaks) const {
    std::vector<std::string> out;
    if (TextBox->Text().empty())
        return out;
    const int count = LineCount();
    for (int line = 0; line < count; ++line) {
        std::string text = TextBox->GetLine(line);
        // A paragraph ends where the next line starts past a line break.
        const int start = TextBox->LineIndex(line);
        const int next = line + 1 < count ? TextBox->LineIndex(line + 1) : -1;
        const bool endsParagraph = next < 0 || next - start - TextBox->LineLength(start) >= 2;
        if (KeepHardLineBreaks && endsParagraph)
            text += "\r\n";
        out.push_back(std::move(text));
    }
    return out;
}

void CTextBoxML::GetRect(int& Left, int& Top, int& Right, int& Bottom) const {
    const auto r = TextBox->FormatRect();
    Left = r[0];
    Top = r[1];
    Right = r[2];
    Bottom = r[3];
}

void CTextBoxML::SetRect(int Left, int Top, int Right, int Bottom) {
    TextBox->setFormatRect({Left, Top, Right, Bottom});
}

void CTextBoxML::Scroll(int HorizScroll, int VertScroll) {
    TextBox->LineScroll(HorizScroll, VertScroll);
}

void CTextBoxML::ScrollCaret() {
    TextBox->ScrollCaret();
}

void CTextBoxML::SetTabStops(const std::vector<int>& tabStops) {
    TextBox->SetTabStops(tabStops);
}

void CTextBoxML::SetTabStopDistance(int distance) {
    TextBox->SetTabStops({distance});
}
