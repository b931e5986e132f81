#pragma once

#include "ctextboxml.h"
#include "forms.h"

#include <string>

class TemplateFiles;

/// "Диалог ввода текста": one template text in a larger, resizable box.
class f_Dialog : public forms::Form {
public:
    explicit f_Dialog(Owner owner = {});

    /// Set by OK (true) and by Cancel or closing the window (false).
    bool Confirmed = false;
    /// The text when OK was pressed, line breaks CR LF.
    std::string ResultText;
    CTextBoxML TxtML;
    /// Where the load and save buttons keep templates; they do nothing without it.
    TemplateFiles* Files = nullptr;

    /// The size it opens at, and the smallest outer size the user can make it.
    static constexpr int kWidth = 6060, kHeight = 3465;
    static constexpr int kMinWidth = 3500, kMinHeight = 2000;

    forms::CommandButton cmdLoadFromFile{*this, "cmdLoadFromFile", {90, 45, 330, 285}, ""};
    forms::CommandButton cmdSaveToFile{*this, "cmdSaveToFile", {420, 45, 330, 285}, ""};
    forms::CommandButton cmdUndo{*this, "cmdUndo", {750, 45, 330, 285}, ""};
    forms::CommandButton cmdTab{*this, "cmdTab", {1080, 45, 330, 285}, ""};
    forms::CommandButton cmdModule{*this, "cmdModule", {1410, 45, 330, 285}, "M"};
    forms::CommandButton cmdProc{*this, "cmdProc", {1740, 45, 330, 285}, "P"};
    forms::TextBox TXT{*this, "TXT", {90, 405, 4515, 2715}, true};
    forms::Frame frCmd{*this, "frCmd", {4680, 405, 1320, 915}};
    forms::CommandButton OKButton{frCmd, "OKButton", {45, 45, 1215, 375}, "OK"};
    forms::CommandButton CancelButton{frCmd, "CancelButton", {45, 450, 1215, 375}, "Cancel"};

private:
    void Form_Resize();
    void TXT_KeyDown(int& KeyCode, int Shift);
    void cmdLoadFromFile_Click();
    void cmdSaveToFile_Click();
};
