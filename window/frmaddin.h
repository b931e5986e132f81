#pragma once

#include "addinconnect.h"
#include "ctextboxml.h"
#include "forms.h"
#include "templatefiles.h"

#include <functional>
#include <memory>
#include <string>

class RegistryLookup;
class SettingsService;
class f_Dialog;
class frmTip;
namespace trapline {
class MessageBoxService;
class VBE;
} // namespace trapline

/// The add-in's tool window: choose modules and procedures, set the options,
/// edit the templates, insert, and read the log.
class frmAddIn : public forms::Form {
public:
    /// What the window needs of its surroundings.
    struct Services {
        trapline::MessageBoxService& messages;
        SettingsService& settings;
        RegistryLookup& registry;
        /// Starts a program (the About box's System Information); false on failure.
        std::function<bool(const std::string&)> startProgram;
        /// The folder of the add-in's own library, where the tips file lives.
        std::string addInFolder;
    };

    /// Creates the window and runs its loading sequence.
    frmAddIn(trapline::VBE* VBInstance, Services services, Owner owner = {});
    ~frmAddIn() override;

    trapline::VBE* VBInstance;
    /// The connection that shows this window; null when the window stands alone.
    AddInConnect* Connect = nullptr;

    const std::string& ActiveText() const { return m_activeText; }
    void setActiveText(const std::string& vNewValue);

    /// Edits `TextVal` in the text input dialog; `Success` tells whether it
    /// was confirmed. Line breaks are CR LF both ways.
    std::string EditText(const std::string& TextVal, bool& Success);

    /// The tips file: the add-in's folder and "TIPOFDAY.TXT".
    std::string tipsFile() const;
    /// The tip window while it is loaded, shown or hidden; null otherwise.
    frmTip* tipWindow() const;
    /// The shared text input dialog, made on first use.
    f_Dialog& dialog();

    /// The project's code changed (an insertion run, the error module added).
    forms::Event<> projectChanged;
    /// The window is about to read the project's code (a run, the procedure
    /// list, the error module); a handler that could not bring the code up
    /// to date clears `ok`, and the action is not done.
    forms::Event<bool&> projectNeeded;

    // Controls, named as in the window's design; the outline comes first so
    // that it lies below the boxes it surrounds. A label paints the whole of
    // its place on Win32, so no control reaches into another: each label
    // ends where the control below it (or the Clear button beside the log's)
    // begins, and Clear sits below the marker drawn around the footer.
    forms::Frame TextBorder{*this, "TextBorder", {45, 3195, 4560, 1140}, true};
    forms::Label Label2{*this, "Label2", {135, 15, 3435, 255}, "Вставить обработку ошибок в"};
    forms::Label Label4{*this, "Label4", {135, 270, 2055, 255}, "Модуль"};
    forms::ComboBox MdlName{
        *this, "MdlName", {135, 525, 3675, 315}, forms::ComboBox::DropDownCombo, true};
    forms::CheckBox OnlyFunc{*this, "OnlyFunc", {150, 915, 1590, 210}, "Только функции"};
    forms::CheckBox OnlySub{*this, "OnlySub", {1920, 915, 1860, 210}, "Только процедуры"};
    forms::CheckBox OnlyProperty{*this, "OnlyProperty", {150, 1170, 2355, 240}, "Только свойства"};
    forms::CheckBox HasOnError{
        *this, "HasOnError", {150, 1485, 3615, 210}, "Только где нет ON ERROR"};
    forms::Label Label3{*this, "Label3", {120, 1740, 3435, 240}, "Процедура"};
    forms::ComboBox SubName{
        *this, "SubName", {120, 1980, 3690, 315}, forms::ComboBox::DropDownCombo, true};
    forms::CheckBox WithComment{
        *this, "WithComment", {135, 2370, 3615, 240}, "Вставлять закомментированный текст"};
    forms::CheckBox DefaultTXT{
        *this, "DefaultTXT", {135, 2625, 3615, 240}, "Стандартный текст обработки"};
    forms::Label Label1{*this, "Label1", {90, 2970, 2055, 270}, "Заголовок"};
    forms::CommandButton cmdEdit{*this, "cmdEdit", {2160, 2925, 330, 285}, ""};
    forms::CommandButton cmdLoadFromFile{*this, "cmdLoadFromFile", {2490, 2925, 330, 285}, ""};
    forms::CommandButton cmdSaveToFile{*this, "cmdSaveToFile", {2820, 2925, 330, 285}, ""};
    forms::CommandButton cmdUndo{*this, "cmdUndo", {3150, 2925, 330, 285}, ""};
    forms::CommandButton cmdTab{*this, "cmdTab", {3480, 2925, 330, 285}, ""};
    forms::CommandButton cmdModule{*this, "cmdModule", {3810, 2925, 330, 285}, "M"};
    forms::CommandButton cmdProc{*this, "cmdProc", {4140, 2925, 330, 285}, "P"};
    forms::TextBox Header{*this, "Header", {120, 3270, 4350, 975}, true};
    forms::Label Label5{*this, "Label5", {120, 4290, 3435, 240}, "Окончание"};
    forms::TextBox Footer{*this, "Footer", {120, 4545, 4365, 1695}, true};
    forms::CommandButton cmdClear{*this, "cmdClear", {3375, 6270, 1095, 240}, "Clear"};
    forms::Label Label6{*this, "Label6", {150, 6285, 3165, 225}, "Журнал"};
    forms::TextBox DebugTxt{*this, "DebugTxt", {135, 6510, 4350, 2055}, true};
    forms::CommandButton bttn_InsCode{
        *this, "bttn_InsCode", {135, 8625, 4350, 315}, "Добавить функцию обработки ошибки !"};
    forms::CommandButton OKButton{*this, "OKButton", {3915, 90, 585, 525}, ""};
    forms::CommandButton CancelButton{*this, "CancelButton", {3915, 615, 585, 525}, ""};
    forms::CommandButton cmdTips{*this, "cmdTips", {3915, 1140, 585, 525}, ""};
    forms::CommandButton cmdAbout{*this, "cmdAbout", {3915, 1665, 585, 525}, ""};

    CTextBoxML HeaderML;
    CTextBoxML FooterML;

    void OKButton_Click();
    void CancelButton_Click();
    void cmdTips_Click();
    void cmdAbout_Click();
    void cmdClear_Click();
    void SubName_DropDown();
    void cmdModule_Click();
    void cmdProc_Click();
    void cmdTab_Click();
    void cmdUndo_Click();
    void cmdEdit_Click();
    void cmdLoadFromFile_Click();
    void cmdSaveToFile_Click();
    void bttn_InsCode_Click();

private:
    /// Raises projectNeeded; false when the code could not be brought up to date.
    bool freshProject();
    void Form_Load();
    void Form_QueryUnload(int& Cancel, int UnloadMode);
    void Control_KeyDown(forms::Control& control, int& KeyCode, int Shift);
    void ensureTipsFile();
    void showTips();
    forms::TextBox* activeBox();
    void replaceSelection(const std::string& text);

    Services m_services;
    std::string m_activeText;
    std::unique_ptr<f_Dialog> m_dialog;
    TemplateFiles m_templateFiles;
    std::unique_ptr<frmTip> m_tip;
};
