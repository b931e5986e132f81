#include "frmaddin.h"

#include "../tips/frmabout.h"
#include "../tips/frmtip.h"
#include "../tips/modresfiles.h"
#include "errormodule.h"
#include "f_dialog.h"
#include "insertionrun.h"
#include "platform/filesystem.h"
#include "procpicker.h"
#include "settingsservice.h"
#include "vbe.h"
#include "versionrecord.h"

#include <climits>
#include <fstream>

namespace {

const char* const kOptions = "Options";
const char* const kShowTips = "Show Tips at Startup";

/// The window's log box and the hourglass, for the engine's runs. Lines are
/// kept and go into the box together: each insertion lays the box out again,
/// which over a run of thousands of procedures costs more than the run. The
/// box is whole whenever the user can see it: when the run ends and before
/// each of its message boxes (see FlushingMessages).
class WindowReporter : public trapline::RunReporter {
public:
    explicit WindowReporter(forms::TextBox& log) : m_log(log) {}
    ~WindowReporter() override { flush(); }
    WindowReporter(const WindowReporter&) = delete;
    WindowReporter& operator=(const WindowReporter&) = delete;

    void log(const std::string& line) override { m_pending += line; }
    void busy(bool on) override {
        if (!on)
            flush();
        forms::showHourglass(on);
    }
    void flush() {
        if (m_pending.empty())
            return;
        // At the end, the user's own selection kept.
        const int start = m_log.SelStart(), length = m_log.SelLength();
        m_log.setSel(INT_MAX, 0);
        m_log.setSelText(m_pending);
        m_log.setSel(start, length);
        m_pending.clear();
    }

private:
    forms::TextBox& m_log;
    std::string m_pending;
};

/// The add-in's message boxes, with the log box brought up to date first.
class FlushingMessages : public trapline::MessageBoxService {
public:
    FlushingMessages(trapline::MessageBoxService& boxes, WindowReporter& reporter)
        : m_boxes(boxes), m_reporter(reporter) {}
    trapline::MsgAnswer show(const std::string& text, const std::string& title,
                             trapline::MsgIcon icon, trapline::MsgButtons buttons) override {
        m_reporter.flush();
        return m_boxes.show(text, title, icon, buttons);
    }

private:
    trapline::MessageBoxService& m_boxes;
    WindowReporter& m_reporter;
};

/// A setting read as a whole number, as Val-less VB code reads it: text that
/// is no number, blanks around it aside, gives `fallback`.
int number(const std::string& text, int fallback) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return fallback;
    const std::string trimmed = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    size_t used = 0;
    try {
        const int value = std::stoi(trimmed, &used);
        return used == trimmed.size() ? value : fallback;
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

frmAddIn::frmAddIn(trapline::VBE* vbe, Services services, Owner owner)
    : Form("frmAddIn", owner), VBInstance(vbe), m_services(std::move(services)),
      m_templateFiles({m_services.messages, m_services.addInFolder, [this] {
                           const trapline::Project* project =
                               VBInstance ? VBInstance->ActiveVBProject() : nullptr;
                           return project ? project->codepage() : trapline::Codepage();
                       }}) {
    // The designed inside; the size never changes.
    setSize(4605, 9015);
    setMinButton(true);
    setIcon("trapline.xpm");
    setBackColor(0xE0E0E0);
    for (forms::Label* label : {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6})
        label->setFont({"MS Sans Serif", 8.25, true});
    for (forms::CheckBox* box : {&HasOnError, &WithComment, &DefaultTXT})
        box->setValue(forms::vbChecked);
    for (forms::ComboBox* box : {&MdlName, &SubName})
        box->setText("*");
    const struct {
        forms::CommandButton& button;
        const char* picture;
        const char* tip;
    } pictures[] = {{cmdEdit, "edit.xpm", "Редактировать в окне"},
                    {cmdLoadFromFile, "load.xpm", "Загрузить из файла"},
                    {cmdSaveToFile, "save.xpm", "Сохранить"},
                    {cmdUndo, "undo.xpm", "Отменить"},
                    {cmdTab, "tab.xpm", "Вставить символ табуляции"},
                    {OKButton, "ok.xpm", "Вставлять обработчик ошибок"},
                    {CancelButton, "cancel.xpm", "Выход"},
                    {cmdTips, "tips.xpm", "Показать подсказки"},
                    {cmdAbout, "about.xpm", "О программе"}};
    for (const auto& p : pictures) {
        p.button.setPicture(p.picture);
        p.button.setToolTipText(p.tip);
    }
    cmdModule.setToolTipText("Вставить имя модуля");
    cmdProc.setToolTipText("Вставить имя процедуры");
    Header.setScrollBars(forms::TextBox::Both);
    Footer.setScrollBars(forms::TextBox::Both);
    DebugTxt.setScrollBars(forms::TextBox::Vertical);
    Header.setText("ON ERROR GOTO err_debug\r\n");
    CancelButton.setCancel(true);

    OKButton.Click = [this] { OKButton_Click(); };
    CancelButton.Click = [this] { CancelButton_Click(); };
    cmdTips.Click = [this] { cmdTips_Click(); };
    cmdAbout.Click = [this] { cmdAbout_Click(); };
    cmdClear.Click = [this] { cmdClear_Click(); };
    SubName.DropDown = [this] { SubName_DropDown(); };
    cmdModule.Click = [this] { cmdModule_Click(); };
    cmdProc.Click = [this] { cmdProc_Click(); };
    cmdTab.Click = [this] { cmdTab_Click(); };
    cmdUndo.Click = [this] { cmdUndo_Click(); };
    cmdEdit.Click = [this] { cmdEdit_Click(); };
    cmdLoadFromFile.Click = [this] { cmdLoadFromFile_Click(); };
    cmdSaveToFile.Click = [this] { cmdSaveToFile_Click(); };
    bttn_InsCode.Click = [this] { bttn_InsCode_Click(); };
    Header.GotFocus = [this] { setActiveText(Header.Name()); };
    Footer.GotFocus = [this] { setActiveText(Footer.Name()); };
    // Enter presses OK from every control but a button, which takes it
    // itself. OK is no default button: it would be drawn as one.
    for (forms::Control* control : tabOrder())
        if (!dynamic_cast<forms::CommandButton*>(control))
            control->KeyDown = [this, control](int& KeyCode, int Shift) {
                Control_KeyDown(*control, KeyCode, Shift);
            };
    QueryUnload = [this](int& Cancel, int UnloadMode) { Form_QueryUnload(Cancel, UnloadMode); };

    centerOnScreen();
    Form_Load();
}

frmAddIn::~frmAddIn() {
    // Unloading releases the helpers.
    FooterML.TextBox = nullptr;
    HeaderML.TextBox = nullptr;
}

std::string frmAddIn::tipsFile() const {
    // UTF-8 both ways: a std::string path would go through the ANSI code
    // page on Windows.
    namespace platform = trapline::platform;
    return platform::fromPath(platform::toPath(m_services.addInFolder) / frmTip::kFileName);
}

frmTip* frmAddIn::tipWindow() const {
    return m_tip && m_tip->Loaded() ? m_tip.get() : nullptr;
}

void frmAddIn::ensureTipsFile() {
    namespace platform = trapline::platform;
    const std::string path = tipsFile();
    platform::FileStatus status;
    if (!platform::status(path, status))
        return;
    if (ModResFiles::ExtractResourceToFile("RUSTIPS", path))
        return;
    // Without the resource the file is made without tips, as the run time's
    // Print # of an empty string writes it: one line end.
    std::ofstream(platform::toPath(path), std::ios::binary) << "\r\n";
}

void frmAddIn::Form_Load() {
    ensureTipsFile();
    setTopMost(true);
    setCaption("TRAPLINE");
    MdlName.Clear();
    MdlName.AddItem("*");
    if (trapline::Project* project = VBInstance ? VBInstance->ActiveVBProject() : nullptr) {
        const auto& components = project->VBComponents();
        for (long i = 1; i <= components.Count(); ++i)
            MdlName.AddItem(project->codepage().toUtf8((*components.Item(i))->Name()));
    }
    Footer.setText(trapline::kDefaultFooter);
    setActiveText(Header.Name());
    FooterML.bind(&Footer);
    FooterML.SetTabStopDistance(10);
    HeaderML.bind(&Header);
    HeaderML.SetTabStopDistance(10);
    // A stored value that is no number counts as the default, 1.
    if (number(m_services.settings.setting(VersionRecord::kProductName, kOptions, kShowTips), 1) ==
        1)
        showTips();
}

void frmAddIn::Form_QueryUnload(int& /*Cancel*/, int /*UnloadMode*/) {
    // The windows it opened go with it.
    if (m_dialog && m_dialog->Visible())
        m_dialog->Unload();
    if (m_tip && m_tip->Loaded())
        m_tip->Unload();
}

void frmAddIn::Control_KeyDown(forms::Control& control, int& KeyCode, int Shift) {
    // In a text box Ctrl+Enter is the line break; elsewhere it does nothing.
    constexpr int vbKeyReturn = 13;
    if (KeyCode != vbKeyReturn)
        return;
    auto* box = dynamic_cast<forms::TextBox*>(&control);
    if (Shift & forms::vbCtrlMask) {
        if (!box)
            return;
        box->setSelText("\r\n");
    } else {
        OKButton.setValue(true);
    }
    KeyCode = 0;
}

void frmAddIn::showTips() {
    // One tip window: showing it again brings the loaded one forward, as
    // showing a loaded form does; closed, it is unloaded and made anew.
    if (!m_tip || !m_tip->Loaded())
        m_tip = std::make_unique<frmTip>(m_services.settings, tipsFile(), Owner{this});
    m_tip->Show();
}

void frmAddIn::setActiveText(const std::string& vNewValue) {
    m_activeText = vNewValue;
    const forms::TextBox* box = activeBox();
    if (!box)
        return;
    TextBorder.Move({box->Left() - 10, box->Top() - 10, box->Width() + 30, box->Height() + 30});
}

forms::TextBox* frmAddIn::activeBox() {
    for (forms::TextBox* box : {&Header, &Footer})
        if (box->Name() == m_activeText)
            return box;
    return nullptr;
}

bool frmAddIn::freshProject() {
    bool ok = true;
    projectNeeded(ok);
    return ok;
}

void frmAddIn::OKButton_Click() {
    // The user may have edited the code since it was last read: the run
    // starts from what the environment holds now.
    if (!freshProject())
        return;
    trapline::InsertionOptions o;
    o.moduleName = MdlName.Text();
    o.procName = SubName.Text();
    o.onlySub = OnlySub.Value() == forms::vbChecked;
    o.onlyFunc = OnlyFunc.Value() == forms::vbChecked;
    o.onlyProperty = OnlyProperty.Value() == forms::vbChecked;
    o.skipTrapped = HasOnError.Value() == forms::vbChecked;
    o.withComment = WithComment.Value() == forms::vbChecked;
    o.useDefault = DefaultTXT.Value() == forms::vbChecked;
    o.header = Header.Text();
    o.footer = Footer.Text();
    o.confirm = true;
    WindowReporter reporter(DebugTxt);
    FlushingMessages messages(m_services.messages, reporter);
    trapline::InsertionRun run(*VBInstance, messages, reporter);
    run.setApplicationTitle("TRAPLINE");
    trapline::RunSummary summary = run.run(o);
    if (!summary.treated.empty())
        projectChanged();
}

void frmAddIn::CancelButton_Click() {
    // The connection hides the window and also forgets that it is displayed.
    if (Connect)
        Connect->Hide();
    else
        Hide();
}

void frmAddIn::cmdTips_Click() {
    m_services.settings.saveSetting(VersionRecord::kProductName, kOptions, kShowTips, "1");
    showTips();
}

void frmAddIn::cmdAbout_Click() {
    frmAbout about(m_services.registry, m_services.messages, m_services.startProgram, Owner{this});
    about.ShowModal();
}

void frmAddIn::cmdClear_Click() {
    DebugTxt.setText("");
}

void frmAddIn::SubName_DropDown() {
    if (!freshProject())
        return;
    trapline::InsertionOptions o;
    o.moduleName = MdlName.Text();
    o.onlySub = OnlySub.Value() == forms::vbChecked;
    o.onlyFunc = OnlyFunc.Value() == forms::vbChecked;
    o.onlyProperty = OnlyProperty.Value() == forms::vbChecked;
    o.skipTrapped = HasOnError.Value() == forms::vbChecked;
    WindowReporter reporter(DebugTxt);
    FlushingMessages messages(m_services.messages, reporter);
    trapline::ProcPicker picker(*VBInstance, messages, reporter);
    if (auto list = picker.fill(o)) {
        SubName.Clear();
        for (const std::string& name : *list)
            SubName.AddItem(name);
    }
}

void frmAddIn::replaceSelection(const std::string& text) {
    forms::TextBox* box = activeBox();
    if (!box)
        return;
    // The box takes the focus first: its caret and selection are where the
    // programmer left them.
    box->SetFocus();
    box->setSelText(text);
}

void frmAddIn::cmdModule_Click() {
    replaceSelection("#MODULE#");
}

void frmAddIn::cmdProc_Click() {
    replaceSelection("#PROC#");
}

void frmAddIn::cmdTab_Click() {
    replaceSelection("\t");
}

void frmAddIn::cmdUndo_Click() {
    if (m_activeText == Footer.Name())
        FooterML.Undo();
    else if (m_activeText == Header.Name())
        HeaderML.Undo();
}

f_Dialog& frmAddIn::dialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<f_Dialog>(Owner{this});
        m_dialog->Files = &m_templateFiles;
    }
    return *m_dialog;
}

std::string frmAddIn::EditText(const std::string& TextVal, bool& Success) {
    std::string result;
    f_Dialog& d = dialog();
    d.TXT.setText(TextVal);
    d.TxtML.EmptyUndoBuffer();
    d.Confirmed = false;
    // Every opening starts at the design size, as a dialog loaded anew does,
    // and typing goes into the text, whatever had the focus when it closed.
    d.setSize(f_Dialog::kWidth, f_Dialog::kHeight);
    d.TXT.SetFocus();
    d.ShowModal();
    if (d.Confirmed)
        result = d.ResultText;
    Success = d.Confirmed;
    return result;
}

void frmAddIn::cmdEdit_Click() {
    forms::TextBox* box = activeBox();
    if (!box)
        return;
    bool success = false;
    const std::string text = EditText(box->Text(), success);
    if (success)
        box->setText(text);
}

void frmAddIn::cmdLoadFromFile_Click() {
    forms::TextBox* box = activeBox();
    if (!box)
        return;
    const std::string text = m_templateFiles.LoadTextFromFile(this);
    if (!text.empty())
        box->setText(TemplateFiles::boxText(text));
}

void frmAddIn::cmdSaveToFile_Click() {
    if (forms::TextBox* box = activeBox())
        m_templateFiles.SaveTextToFile(TemplateFiles::fileText(box->Text()), this);
}

void frmAddIn::bttn_InsCode_Click() {
    // A module of that name added in the environment meanwhile must be seen.
    if (!freshProject())
        return;
    auto added = trapline::ErrorModuleInstaller::install(*VBInstance, m_services.messages);
    if (!added) {
        m_services.messages.show(
            std::to_string(added.error().number) + ": " + added.error().description, "TRAPLINE",
            trapline::MsgIcon::Exclamation, trapline::MsgButtons::Ok);
        return;
    }
    if (*added)
        projectChanged();
}
