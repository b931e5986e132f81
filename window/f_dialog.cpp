#include "f_dialog.h"

#include "templatefiles.h"

f_Dialog::f_Dialog(Owner owner) : Form("f_Dialog", owner) {
    setCaption("Диалог ввода текста");
    setToolWindow(true);
    setSizable(true);
    setSize(kWidth, kHeight);
    setMinimumSize(kMinWidth, kMinHeight);
    const struct {
        forms::CommandButton& button;
        const char* picture;
        const char* tip;
    } tools[] = {{cmdLoadFromFile, "load.xpm", "Загрузить из файла"},
                 {cmdSaveToFile, "save.xpm", "Сохранить"},
                 {cmdUndo, "undo.xpm", "Отменить"},
                 {cmdTab, "tab.xpm", "Вставить символ табуляции"}};
    for (const auto& tool : tools) {
        tool.button.setPicture(tool.picture);
        tool.button.setToolTipText(tool.tip);
    }
    cmdModule.setToolTipText("Вставить имя модуля");
    cmdProc.setToolTipText("Вставить имя процедуры");
    TXT.setScrollBars(forms::TextBox::Both);
    TXT.setTabIndex(0);
    OKButton.setDefault(true);
    CancelButton.setCancel(true);

    OKButton.Click = [this] {
        ResultText = TXT.Text();
        Confirmed = true;
        Hide();
    };
    CancelButton.Click = [this] {
        Confirmed = false;
        Hide();
    };
    // Closed by its frame, the text was not confirmed.
    QueryUnload = [this](int&, int) { Confirmed = false; };
    Resize = [this] { Form_Resize(); };
    TXT.KeyDown = [this](int& KeyCode, int Shift) { TXT_KeyDown(KeyCode, Shift); };
    cmdLoadFromFile.Click = [this] { cmdLoadFromFile_Click(); };
    cmdSaveToFile.Click = [this] { cmdSaveToFile_Click(); };
    cmdUndo.Click = [this] { TxtML.Undo(); };
    // The text goes where the caret was; the focus stays on the button.
    cmdTab.Click = [this] { TXT.setSelText("\t"); };
    cmdModule.Click = [this] { TXT.setSelText("#MODULE#"); };
    cmdProc.Click = [this] { TXT.setSelText("#PROC#"); };

    // Load.
    setTopMost(true);
    TxtML.bind(&TXT);
    TxtML.SetTabStopDistance(10);
}

void f_Dialog::Form_Resize() {
    const int width = Width(), height = Height();
    frCmd.Move({width - frCmd.Width(), frCmd.Top(), frCmd.Width(), frCmd.Height()});
    const int left = 90;
    TXT.Move({left, TXT.Top(), width - left - frCmd.Width(), height - TXT.Top() - left});
}

void f_Dialog::TXT_KeyDown(int& KeyCode, int Shift) {
    // Enter confirms, as from any control; Ctrl+Enter is the line break.
    constexpr int vbKeyReturn = 13;
    if (KeyCode != vbKeyReturn)
        return;
    KeyCode = 0;
    if (Shift & forms::vbCtrlMask)
        TXT.setSelText("\r\n");
    else
        OKButton.setValue(true);
}

void f_Dialog::cmdLoadFromFile_Click() {
    if (!Files)
        return;
    const std::string text = Files->LoadTextFromFile(this);
    if (!text.empty())
        TXT.setText(TemplateFiles::boxText(text));
}

void f_Dialog::cmdSaveToFile_Click() {
    if (Files)
        Files->SaveTextToFile(TemplateFiles::fileText(TXT.Text()), this);
}
