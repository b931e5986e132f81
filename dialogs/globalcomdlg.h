#pragma once

#include "dialogbackend.h"
#include "dlgresult.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class DialogEventSink;

/// The font the font dialog shows and chooses, as the run time's font
/// object has it. Setting Bold through CommonDLG moves Weight to 700 or 400.
struct DlgFont {
    std::string Name = "MS Sans Serif";
    double Size = 8.25; ///< points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int32_t Weight = 400; ///< 1 to 1000; 0 for whatever Bold says
};

/// The printer object the print and page-setup dialogs tell their choice:
/// it is given "Copies", "Orientation", "PaperSize" and "PrintQuality" by
/// name, and ignores a name it does not have.
class PrinterObject {
public:
    virtual ~PrinterObject() = default;
    virtual void setProperty(std::string_view name, int32_t value) = 0;
};

/// Settings and results of the open dialog. Every field is in/out: the
/// defaults are those of a caller that leaves the argument out, and the
/// dialog writes its results back into the same fields.
struct OpenFileArgs {
    std::string Filename{};
    std::string FileTitle{};
    bool FileMustExist = true;
    bool MultiSelect = false;
    bool ReadOnly = false;
    bool HideReadOnly = false;
    std::string Filter = "All (*.*)| *.*";
    int32_t FilterIndex = 1;
    std::string InitDir{};
    std::string DlgTitle{};
    std::string DefaultExt{};
    WindowHandle Owner = nullptr; ///< null: the dialog has no owner
    int32_t flags = 0;
    bool Hook = false;
    int32_t hInstance = 0;
    int32_t TemplateName = 0;
    DialogEventSink* EventSink = nullptr;
};

/// Settings and results of the save dialog (see OpenFileArgs).
struct SaveFileArgs {
    std::string Filename{};
    std::string FileTitle{};
    bool OverWritePrompt = true;
    std::string Filter = "All (*.*)| *.*";
    int32_t FilterIndex = 1;
    std::string InitDir{};
    std::string DlgTitle{};
    std::string DefaultExt{};
    WindowHandle Owner = nullptr;
    int32_t flags = 0;
    bool Hook = false;
    int32_t hInstance = 0;
    int32_t TemplateName = 0;
    DialogEventSink* EventSink = nullptr;
};

/// Settings and results of the colour dialog; colours are 0x00BBGGRR.
struct ColorArgs {
    int32_t Color = 0;
    bool AnyColor = true;
    bool FullOpen = false;
    bool DisableFullOpen = false;
    WindowHandle Owner = nullptr;
    int32_t flags = 0; ///< not read
    bool Hook = false;
    DialogEventSink* EventSink = nullptr;
};

/// Settings and results of the font dialog.
struct FontArgs {
    DlgFont CurFont{};
    intptr_t PrinterDC = -1; ///< -1: the printer's only when `flags` asks for printer fonts
    WindowHandle Owner = nullptr;
    int32_t Color = 0;
    int32_t MinSize = 0;
    int32_t MaxSize = 0;
    int32_t flags = 0;
    bool Hook = false;
    DialogEventSink* EventSink = nullptr;
};

/// Settings and results of the print dialog.
struct PrintArgs {
    intptr_t hdc = 0; ///< out
    int32_t PrintRange = 0;
    bool DisablePageNumbers = false;
    int32_t FromPage = 1;
    int32_t ToPage = -1;
    bool DisableSelection = false;
    int16_t Copies = 0; ///< out
    bool ShowPrintToFile = false;
    bool DisablePrintToFile = true;
    bool PrintToFile = false;
    bool Collate = false;
    bool PreventWarning = false;
    WindowHandle Owner = nullptr;
    PrinterObject* Printer = nullptr; ///< receives Copies, Orientation, PaperSize, PrintQuality
    int32_t flags = 0;
    bool Hook = false;
    DialogEventSink* EventSink = nullptr;
};

/// Settings and results of the page-setup dialog; `Units` 0 is inches, any
/// other value millimetres.
template <class Margin> struct PageSetupArgsOf {
    WindowHandle Owner = nullptr;
    bool DisableMargins = false;
    bool DisableOrientation = false;
    bool DisablePaper = false;
    bool DisablePrinter = false;
    Margin LeftMargin = 0, MinLeftMargin = 0, RightMargin = 0, MinRightMargin = 0;
    Margin TopMargin = 0, MinTopMargin = 0, BottomMargin = 0, MinBottomMargin = 0;
    int32_t PaperSize = 1;
    int32_t Orientation = 1;
    int32_t PrintQuality = -1;
    int32_t Units = 0;
    PrinterObject* Printer = nullptr;
    int32_t flags = 0; ///< not read
    bool Hook = false;
    DialogEventSink* EventSink = nullptr;
};
using PageSetupArgs2 = PageSetupArgsOf<float>;
using PageSetupArgs = PageSetupArgsOf<int32_t>;

/// The library's layer over the system's common dialogs: each function fills
/// the dialog's record from its arguments, runs the dialog modally, writes
/// the user's choice back into the arguments and answers whether the user
/// confirmed. APIReturn() and ExtendedError() keep the system's verdict.
class GlobalComDLG {
public:
    /// Dialogs run on `backend` (the current one by default).
    explicit GlobalComDLG(DialogBackend& backend = DialogBackend::current());
    ~GlobalComDLG();
    GlobalComDLG(const GlobalComDLG&) = delete;
    GlobalComDLG& operator=(const GlobalComDLG&) = delete;

    /// The open dialog. Fails with error 5, before any dialog, when
    /// `Filename` or `FileTitle` is longer than its buffer (8192 characters
    /// with multi-selection, else 260).
    DlgResult<bool> VBGetOpenFileName2(OpenFileArgs& a);
    /// As VBGetOpenFileName2 without a custom template: clears
    /// OFN_ENABLETEMPLATE in `a.flags` first, whatever the outcome.
    DlgResult<bool> VBGetOpenFileName(OpenFileArgs& a);
    DlgResult<bool> VBGetSaveFileName2(SaveFileArgs& a);
    DlgResult<bool> VBGetSaveFileName(SaveFileArgs& a);
    /// The name of `sFIle` without its folder; empty when the system cannot tell.
    std::string VBGetFileTitle(const std::string& sFIle);

    /// The colour dialog; a cancel leaves `a.Color` at -1.
    bool VBChooseColor(ColorArgs& a);
    /// Entry `i` of the custom colour table; -1 outside 0..15.
    int32_t CustomColor(int16_t i);
    /// Sets entry `i`; ignored outside 0..15.
    void setCustomColor(int16_t i, int32_t iValue);

    /// The font dialog. `a.flags` is adjusted before the dialog opens,
    /// whatever the outcome.
    bool VBChooseFont(FontArgs& a);

    /// The print dialog; error 6 when FromPage or ToPage does not fit in 16 bits.
    DlgResult<bool> VBPrintDlg(PrintArgs& a);

    bool VBPageSetupDlg2(PageSetupArgs2& a);
    /// As VBPageSetupDlg2 with whole-number margins; the margins given are
    /// not passed on, the ones returned are rounded (halves to even).
    bool VBPageSetupDlg(PageSetupArgs& a);

    /// The result of the last system dialog call: 0 cancelled or failed, 1 confirmed.
    int32_t APIReturn() const { return m_APIReturn; }
    /// Why the last dialog failed; 0 after a confirmation or a plain cancel.
    int32_t ExtendedError() const { return m_ExtendedError; }

    /// Turns a hook message into a call on the event sink; empty when it
    /// has no answer for the system.
    std::optional<int32_t> DialogHook(WindowHandle hDlg, uint32_t msg, intptr_t wParam,
                                      intptr_t lParam);
    /// The backend the dialogs run on, whose windows the hook sees.
    DialogBackend& backend() const { return m_backend; }

    /// "A|b|C|d" as the system wants it: every "|" and ":" a NUL, two NULs after.
    static std::string ConvertFilter(const std::string& filter);
    /// Entry `index` (1-based) of a converted filter: description, NUL, pattern.
    static std::string FilterEntry(const std::string& converted, int32_t index);

    /// The face name field of a logical font: at most 31 characters, NUL-filled to 32.
    static std::string StrToFaceName(const std::string& name);
    static std::string FaceNameToStr(const std::string& field);

private:
    void reset();
    void endCall();
    void hookUp(DialogEventSink* sink);
    void noteFailure(int32_t result);
    void InitCustomColors();
    DlgError runtimeError(int32_t number, const char* description) const;
    template <class Args> DlgResult<void> checkBuffers(const Args& a, int32_t size) const;
    template <class Args> void fillCommon(OpenFileNameRecord& ofn, const Args& a, int32_t size);
    template <class Args> void deliverCommon(const OpenFileNameRecord& ofn, Args& a);

    DialogBackend& m_backend;
    int32_t m_APIReturn = 0;
    int32_t m_ExtendedError = 0;
    DialogEventSink* m_eventSink = nullptr;
    std::array<int32_t, 16> m_customColors{};
    bool m_colorsInitialised = false;
};
