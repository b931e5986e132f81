#pragma once

#include "dialogeventsink.h"
#include "dlgresult.h"
#include "globalcomdlg.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// An event of the dialog object with a do-nothing default: assign a
/// handler, and the object calls it without asking whether there is one.
/// A reference argument is one the handler may change.
template <class... Args> class DlgEvent {
public:
    DlgEvent& operator=(std::function<void(Args...)> handler) {
        m_handler = std::move(handler);
        return *this;
    }
    void operator()(Args... args) const {
        if (m_handler)
            m_handler(std::forward<Args>(args)...);
    }

private:
    std::function<void(Args...)> m_handler;
};

/// The common dialog object: set its properties, call a Show operation, read
/// the results back from the same properties.
///
///     CommonDLG dlg;
///     dlg.setFilter("On Error Template|*.ert");
///     dlg.setCancelError(true);
///     if (DlgResult<void> shown = dlg.ShowOpen(); !shown)
///         report(shown.error()); // 20001 "User selected cancel." when cancelled
///     else
///         open(dlg.Filename());
///
/// The option bits of `flags` choose the dialog's options; a cancelled open,
/// save, colour or font dialog is error 20001 when CancelError is on; with
/// HookDialog on, the dialog's notifications come back as the object's
/// events, on the same thread, before the Show operation returns. Text is UTF-8.
class CommonDLG : public DialogEventSink {
public:
    /// Dialogs run on `backend`; by default on the current one (the system's).
    CommonDLG();
    explicit CommonDLG(DialogBackend& backend);
    ~CommonDLG() override;
    CommonDLG(const CommonDLG&) = delete;
    CommonDLG& operator=(const CommonDLG&) = delete;

    // Settings and results. Each Show operation overwrites the settings it returns in.
    bool CancelError() const { return m_CancelError; }
    void setCancelError(bool v) { m_CancelError = v; }
    std::string Filename() const { return m_Filename; }
    void setFilename(const std::string& v) { m_Filename = v; }
    std::string FileTitle() const { return m_FileTitle; }
    void setFileTitle(const std::string& v) { m_FileTitle = v; }
    /// "Description|pattern|..."; after a confirmed dialog the chosen entry
    /// as description, NUL, pattern; empty after a cancel.
    std::string Filter() const { return m_Filter; }
    void setFilter(const std::string& v) { m_Filter = v; }
    /// 1-based; -1 after a cancelled open, 0 after a cancelled save.
    int32_t FilterIndex() const { return m_FilterIndex; }
    void setFilterIndex(int32_t v) { m_FilterIndex = v; }
    std::string DefaultExt() const { return m_DefaultExt; }
    void setDefaultExt(const std::string& v) { m_DefaultExt = v; }
    std::string DialogTitle() const { return m_DialogTitle; }
    void setDialogTitle(const std::string& v) { m_DialogTitle = v; }
    std::string InitDir() const { return m_InitDir; }
    void setInitDir(const std::string& v) { m_InitDir = v; }
    int32_t flags() const { return m_flags; }
    void setFlags(int32_t v) { m_flags = v; }
    /// The owner window of every dialog (forms::Control::windowHandle()
    /// gives a form's); null for none.
    WindowHandle hwnd() const { return m_hwnd; }
    void setHwnd(WindowHandle v) { m_hwnd = v; }
    bool HookDialog() const { return m_HookDialog; }
    void setHookDialog(bool v) { m_HookDialog = v; }
    int32_t hInstance() const { return m_hInstance; }
    void setHInstance(int32_t v) { m_hInstance = v; }
    int32_t TemplateName() const { return m_TemplateName; }
    void setTemplateName(int32_t v) { m_TemplateName = v; }

    /// 0x00BBGGRR, or a system colour 0x800000nn as input.
    int32_t Color() const { return m_Color; }
    void setColor(int32_t v) { m_Color = v; }
    /// Entry `i` of the custom colour table (system colours at first); -1 outside 0..15.
    int32_t CustomColor(int16_t i);
    void setCustomColor(int16_t i, int32_t v);

    /// The font of the font dialog, made on first use.
    DlgFont Font();
    void setFont(const DlgFont& v) { m_font = v; }
    std::string FontName() { return Font().Name; }
    void setFontName(const std::string& v);
    /// Whole points, halves to even.
    int32_t FontSize();
    void setFontSize(int32_t v);
    bool FontBold() { return Font().Bold; }
    void setFontBold(bool v);
    bool FontItalic() { return Font().Italic; }
    void setFontItalic(bool v);
    bool FontUnderline() { return Font().Underline; }
    void setFontUnderline(bool v);
    bool FontStrikethru() { return Font().Strikethrough; }
    void setFontStrikethru(bool v);
    int32_t FontColor() const { return m_FontColor; }
    void setFontColor(int32_t v) { m_FontColor = v; }
    int32_t Min() const { return m_Min; }
    void setMin(int32_t v) { m_Min = v; }
    int32_t Max() const { return m_Max; }
    void setMax(int32_t v) { m_Max = v; }

    int32_t Copies() const { return m_Copies; }
    void setCopies(int32_t v) { m_Copies = v; }
    int32_t FromPage() const { return m_FromPage; }
    void setFromPage(int32_t v) { m_FromPage = v; }
    int32_t ToPage() const { return m_ToPage; }
    void setToPage(int32_t v) { m_ToPage = v; }
    /// The printer object told the copies, orientation, paper size and
    /// quality chosen; not owned, and it must outlive the dialogs it is set for.
    PrinterObject* Object() const { return m_Object; }
    void setObject(PrinterObject* v) { m_Object = v; }

    std::string HelpFile() const { return m_HelpFile; }
    void setHelpFile(const std::string& v) { m_HelpFile = v; }
    int32_t HelpCommand() const { return m_HelpCommand; }
    void setHelpCommand(int32_t v) { m_HelpCommand = v; }
    std::string HelpContext() const { return m_HelpContext; }
    void setHelpContext(const std::string& v) { m_HelpContext = v; }
    std::string HelpKey() const { return m_HelpKey; }
    void setHelpKey(const std::string& v) { m_HelpKey = v; }
    int32_t MaxFileSize() const { return m_MaxFileSize; }
    void setMaxFileSize(int32_t v) { m_MaxFileSize = v; }
    int16_t PrinterDefault() const { return m_PrinterDefault; }
    void setPrinterDefault(int16_t v) { m_PrinterDefault = v; }

    /// The open dialog; a cancel is error 20001 with CancelError on.
    DlgResult<void> ShowOpen();
    /// The save dialog; asks before overwriting only with OFN_OVERWRITEPROMPT.
    DlgResult<void> ShowSave();
    DlgResult<void> ShowColor();
    DlgResult<void> ShowFont();
    /// The print dialog. A cancel is never an error; Copies outside 16 bits is error 6.
    DlgResult<void> ShowPrinter();
    /// Shows HelpFile with HelpCommand; the commands 0x201 and 0x203 are refused (13705).
    DlgResult<void> ShowHelp();

    /// Splits Filename after an open dialog: the folder into `sDir` (when it
    /// is empty on entry) and the names onto `sFiles`, counting on from
    /// `iFileCount`. After a single choice, the text after the last
    /// separator is the one name.
    void ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles,
                            int32_t& iFileCount) const;
    /// Centres the open dialog on the window `oCentreTo`, or on the
    /// screen's work area when it is null or no window; call it from OnInitDialog.
    void CentreDialog(WindowHandle hDlg, WindowHandle oCentreTo) const;
    /// Left, top, width and height of the open dialog.
    void GetDialogSize(WindowHandle hDlg, int32_t& lL, int32_t& lT, int32_t& lW, int32_t& lH) const;
    /// Places the help window of HelpFile.
    void SetHelpPosition(int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t eWindowType);
    /// This platform has no dialog template libraries: hInstance becomes 0.
    void cdLoadLibrary(const std::string& DllName);
    void cdFreeLibrary();

    /// "<application>.CommonDLG", the source of the object's errors.
    std::string errorSource() const;

    // DialogEventSink: each raises one event.
    int32_t InitDialog(WindowHandle hDlg) override;
    int32_t FileChange(WindowHandle hDlg) override;
    int32_t FolderChange(WindowHandle hDlg) override;
    bool ConfirmOK() override;
    int32_t TypeChange(WindowHandle hDlg) override;
    void DialogClose() override;
    void WMCommand(WindowHandle hDlg, intptr_t& wParam, intptr_t& lParam) override;

    // The events, each with the hook's window.
    DlgEvent<WindowHandle> OnInitDialog;
    DlgEvent<WindowHandle> OnFileChange;
    DlgEvent<WindowHandle> OnFolderChange;
    /// Set `bCancel` to refuse the file name; the dialog stays open.
    DlgEvent<bool&> OnConfirmOK;
    DlgEvent<WindowHandle> OnTypeChange;
    DlgEvent<> OnDialogClose;
    DlgEvent<WindowHandle, intptr_t&, intptr_t&> OnWMCommand;

private:
    GlobalComDLG& api();
    DlgResult<void> RaiseDialogError() const;
    int32_t TranslateColor(int32_t color);
    WindowHandle dialogWindow(WindowHandle hDlg) const;

    DialogBackend& m_backend;
    std::unique_ptr<GlobalComDLG> m_api;
    bool m_ExplorerStyle = false;

    bool m_CancelError = false;
    std::string m_Filename, m_FileTitle, m_Filter, m_DefaultExt, m_DialogTitle, m_InitDir;
    int32_t m_FilterIndex = 1;
    int32_t m_flags = 0;
    WindowHandle m_hwnd = nullptr;
    bool m_HookDialog = false;
    int32_t m_hInstance = 0;
    int32_t m_TemplateName = 0;
    int32_t m_Color = 0;
    std::optional<DlgFont> m_font;
    int32_t m_FontColor = 0, m_Min = 0, m_Max = 0;
    int32_t m_Copies = 0, m_FromPage = 0, m_ToPage = 0;
    PrinterObject* m_Object = nullptr;
    std::string m_HelpFile, m_HelpContext, m_HelpKey;
    int32_t m_HelpCommand = 0;
    int32_t m_MaxFileSize = 0;
    int16_t m_PrinterDefault = 0;
};
