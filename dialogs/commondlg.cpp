#include "commondlg.h"

#include "cmemory.h"
#include "comdlgconsts.h"
#include "dialogbackend.h"
#include "globalcomdlg.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace comdlg;

namespace {

bool HasFlag(int32_t flags, int32_t mask) {
    return (flags & mask) == mask;
}

/// The help engine's record for placing its window: 26 bytes, the padding
/// after them is not part of it.
constexpr size_t kHelpWinInfoSize = 26;
struct HelpWinInfo {
    int32_t wStructSize = kHelpWinInfoSize;
    int32_t x = 0, y = 0, dx = 0, dy = 0, wMax = 0;
    char rgchMember[2] = {0, 0};
};

} // namespace

CommonDLG::CommonDLG() : CommonDLG(DialogBackend::current()) {}

CommonDLG::CommonDLG(DialogBackend& backend) : m_backend(backend) {}

CommonDLG::~CommonDLG() = default;

std::string CommonDLG::errorSource() const {
    return m_backend.ApplicationName() + ".CommonDLG";
}

GlobalComDLG& CommonDLG::api() {
    if (!m_api)
        m_api = std::make_unique<GlobalComDLG>(m_backend);
    return *m_api;
}

DlgResult<void> CommonDLG::RaiseDialogError() const {
    // A failure is told from a cancel by the system's extended error too:
    // the system answers 0 for both.
    if (m_api->APIReturn() != 0 || m_api->ExtendedError() != 0)
        return DlgError{m_api->ExtendedError() | dlgerrors::DialogFailure, errorSource(), {}};
    if (m_CancelError)
        return DlgError{dlgerrors::Cancelled, errorSource(), "User selected cancel."};
    return {};
}

DlgResult<void> CommonDLG::ShowOpen() {
    m_ExplorerStyle = true;
    if (HasFlag(m_flags, OFN_ENABLETEMPLATE) && m_hInstance < 1)
        m_flags &= ~OFN_ENABLETEMPLATE;
    if (m_FilterIndex == 0)
        m_FilterIndex = 1;
    OpenFileArgs a{m_Filename,
                   m_FileTitle,
                   HasFlag(m_flags, OFN_FILEMUSTEXIST),
                   HasFlag(m_flags, OFN_ALLOWMULTISELECT),
                   HasFlag(m_flags, OFN_READONLY),
                   HasFlag(m_flags, OFN_HIDEREADONLY),
                   m_Filter,
                   m_FilterIndex,
                   m_InitDir,
                   m_DialogTitle,
                   m_DefaultExt,
                   m_hwnd,
                   m_flags,
                   m_HookDialog,
                   m_hInstance,
                   m_TemplateName,
                   this};
    DlgResult<bool> shown = api().VBGetOpenFileName2(a);
    if (!shown)
        return shown.error();
    m_Filename = a.Filename;
    m_FileTitle = a.FileTitle;
    m_Filter = a.Filter;
    m_FilterIndex = a.FilterIndex;
    m_flags = a.flags;
    return *shown ? DlgResult<void>() : RaiseDialogError();
}

DlgResult<void> CommonDLG::ShowSave() {
    m_ExplorerStyle = true;
    if (HasFlag(m_flags, OFN_ENABLETEMPLATE) && m_hInstance < 1)
        m_flags &= ~OFN_ENABLETEMPLATE;
    SaveFileArgs a{m_Filename,     m_FileTitle,   HasFlag(m_flags, OFN_OVERWRITEPROMPT),
                   m_Filter,       m_FilterIndex, m_InitDir,
                   m_DialogTitle,  m_DefaultExt,  m_hwnd,
                   m_flags,        m_HookDialog,  m_hInstance,
                   m_TemplateName, this};
    DlgResult<bool> shown = api().VBGetSaveFileName2(a);
    if (!shown)
        return shown.error();
    m_Filename = a.Filename;
    m_FileTitle = a.FileTitle;
    m_Filter = a.Filter;
    m_FilterIndex = a.FilterIndex;
    m_flags = a.flags;
    return *shown ? DlgResult<void>() : RaiseDialogError();
}

int32_t CommonDLG::TranslateColor(int32_t color) {
    // A system colour is 0x80 in the high byte and its index below; an RGB
    // value has 0 there. No palette: anything else cannot be translated.
    const uint32_t value = static_cast<uint32_t>(color);
    if ((value & 0xFF000000u) == 0)
        return color;
    if ((value & 0xFF000000u) == 0x80000000u)
        return m_backend.GetSysColor(static_cast<int32_t>(value & 0x00FFFFFFu));
    return -1;
}

DlgResult<void> CommonDLG::ShowColor() {
    m_ExplorerStyle = false;
    ColorArgs a;
    a.Color = TranslateColor(m_Color);
    a.AnyColor = HasFlag(m_flags, CC_ANYCOLOR);
    a.FullOpen = HasFlag(m_flags, CC_FULLOPEN);
    a.DisableFullOpen = HasFlag(m_flags, CC_PREVENTFULLOPEN);
    a.Owner = m_hwnd;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    if (!api().VBChooseColor(a))
        return RaiseDialogError();
    m_Color = a.Color;
    return {};
}

DlgResult<void> CommonDLG::ShowFont() {
    m_ExplorerStyle = false;
    FontArgs a;
    a.CurFont = Font();
    a.PrinterDC = -1;
    a.Owner = m_hwnd;
    a.Color = m_FontColor;
    a.MinSize = m_Min;
    a.MaxSize = m_Max;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    const bool chosen = api().VBChooseFont(a);
    m_flags = a.flags;
    if (!chosen)
        return RaiseDialogError();
    m_font = a.CurFont;
    m_FontColor = a.Color;
    return {};
}

DlgResult<void> CommonDLG::ShowPrinter() {
    m_ExplorerStyle = false;
    if (m_Copies < -32768 || m_Copies > 32767)
        return DlgError{dlgerrors::Overflow, m_backend.ApplicationName(), "Overflow"};
    PrintArgs a;
    a.PrintRange = PrintRangeAll;
    a.DisablePageNumbers = !HasFlag(m_flags, PD_PAGENUMS);
    a.FromPage = m_FromPage;
    a.ToPage = m_ToPage;
    a.DisableSelection = HasFlag(m_flags, PD_NOSELECTION);
    a.Copies = static_cast<int16_t>(m_Copies);
    a.ShowPrintToFile = !HasFlag(m_flags, PD_HIDEPRINTTOFILE);
    a.DisablePrintToFile = HasFlag(m_flags, PD_DISABLEPRINTTOFILE);
    a.PrintToFile = HasFlag(m_flags, PD_PRINTTOFILE);
    a.Collate = HasFlag(m_flags, PD_COLLATE);
    a.PreventWarning = HasFlag(m_flags, PD_NOWARNING);
    a.Owner = m_hwnd;
    a.Printer = m_Object;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    DlgResult<bool> shown = api().VBPrintDlg(a);
    if (!shown)
        return shown.error();
    if (*shown) {
        m_Copies = a.Copies;
        m_FromPage = a.FromPage;
        m_ToPage = a.ToPage;
    }
    return {};
}

DlgResult<void> CommonDLG::ShowHelp() {
    m_ExplorerStyle = false;
    if (m_HelpCommand == HELP_MULTIKEY || m_HelpCommand == HELP_SETWINPOS)
        return DlgError{dlgerrors::InvalidHelpCmd, errorSource(),
                        "Invalid WinHelp Command Passed to ShowHelp function."};
    if (!m_backend.WinHelp(m_hwnd, m_HelpFile, m_HelpCommand, 0)) {
        const int32_t code = m_backend.GetLastError();
        return DlgError{code, errorSource(), m_backend.FormatMessage(code)};
    }
    return {};
}

int32_t CommonDLG::CustomColor(int16_t i) {
    return api().CustomColor(i);
}

void CommonDLG::setCustomColor(int16_t i, int32_t v) {
    api().setCustomColor(i, v);
}

DlgFont CommonDLG::Font() {
    if (!m_font)
        m_font = DlgFont();
    return *m_font;
}

void CommonDLG::setFontName(const std::string& v) {
    Font();
    m_font->Name = v;
}

int32_t CommonDLG::FontSize() {
    const DlgFont f = Font();
    return static_cast<int32_t>(std::nearbyint(f.Size > 0 ? f.Size : 0.0));
}

void CommonDLG::setFontSize(int32_t v) {
    Font();
    if (v > 0)
        m_font->Size = v;
}

void CommonDLG::setFontBold(bool v) {
    Font();
    m_font->Bold = v;
    m_font->Weight = v ? 700 : 400;
}

void CommonDLG::setFontItalic(bool v) {
    Font();
    m_font->Italic = v;
}

void CommonDLG::setFontUnderline(bool v) {
    Font();
    m_font->Underline = v;
}

void CommonDLG::setFontStrikethru(bool v) {
    Font();
    m_font->Strikethrough = v;
}

int32_t CommonDLG::InitDialog(WindowHandle hDlg) {
    OnInitDialog(hDlg);
    return 0;
}

int32_t CommonDLG::FileChange(WindowHandle hDlg) {
    OnFileChange(hDlg);
    return 0;
}

int32_t CommonDLG::FolderChange(WindowHandle hDlg) {
    OnFolderChange(hDlg);
    return 0;
}

bool CommonDLG::ConfirmOK() {
    bool bCancel = false;
    OnConfirmOK(bCancel);
    return !bCancel;
}

int32_t CommonDLG::TypeChange(WindowHandle hDlg) {
    OnTypeChange(hDlg);
    return 0;
}

void CommonDLG::DialogClose() {
    OnDialogClose();
}

void CommonDLG::WMCommand(WindowHandle hDlg, intptr_t& wParam, intptr_t& lParam) {
    OnWMCommand(hDlg, wParam, lParam);
}

void CommonDLG::ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles,
                                   int32_t& iFileCount) const {
    const size_t end = m_Filename.find(std::string(2, '\0'));
    if (end != std::string::npos) {
        std::vector<std::string> pieces;
        for (size_t start = 0;;) {
            const size_t nul = m_Filename.find('\0', start);
            if (nul >= end) {
                pieces.push_back(m_Filename.substr(start, end - start));
                break;
            }
            pieces.push_back(m_Filename.substr(start, nul - start));
            start = nul + 1;
        }
        for (size_t i = 0; i < pieces.size(); ++i) {
            const bool last = i + 1 == pieces.size();
            if (!last && sDir.empty()) {
                sDir = pieces[i];
                continue;
            }
            ++iFileCount;
            if (sFiles.size() < static_cast<size_t>(iFileCount))
                sFiles.resize(static_cast<size_t>(iFileCount));
            sFiles[static_cast<size_t>(iFileCount) - 1] = pieces[i];
        }
        return;
    }
    iFileCount = 1;
    sFiles = std::vector<std::string>{std::string()};
    // This platform's separator and the one of names written elsewhere.
    const size_t slash = m_Filename.find_last_of("\\/");
    if (slash != std::string::npos && slash >= 1) {
        sDir = m_Filename.substr(0, slash);
        sFiles[0] = m_Filename.substr(slash + 1);
    } else {
        sDir.clear();
        sFiles[0] = m_Filename;
    }
}

WindowHandle CommonDLG::dialogWindow(WindowHandle hDlg) const {
    if (!hDlg)
        return nullptr;
    return m_ExplorerStyle ? m_backend.GetParent(hDlg) : hDlg;
}

void CommonDLG::CentreDialog(WindowHandle hDlg, WindowHandle oCentreTo) const {
    WindowHandle w = dialogWindow(hDlg);
    RectRecord dialog;
    if (!w || !m_backend.GetWindowRect(w, dialog))
        return;
    RectRecord target;
    if (!oCentreTo || !m_backend.GetWindowRect(oCentreTo, target))
        if (!m_backend.GetWorkArea(w, target))
            return;
    if (target.right <= 0 || target.bottom <= 0)
        return;
    // Integer halves truncate toward zero, as the system's arithmetic does.
    const int32_t left =
        target.left + ((target.right - target.left) - (dialog.right - dialog.left)) / 2;
    const int32_t top =
        target.top + ((target.bottom - target.top) - (dialog.bottom - dialog.top)) / 2;
    m_backend.MoveWindow(w, left, top);
}

void CommonDLG::GetDialogSize(WindowHandle hDlg, int32_t& lL, int32_t& lT, int32_t& lW,
                              int32_t& lH) const {
    WindowHandle w = dialogWindow(hDlg);
    RectRecord r;
    if (!w || !m_backend.GetWindowRect(w, r))
        return;
    lL = r.left;
    lT = r.top;
    lW = r.right - r.left;
    lH = r.bottom - r.top;
}

void CommonDLG::SetHelpPosition(int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t eWindowType) {
    HelpWinInfo info;
    info.x = x;
    info.y = y;
    info.dx = dx;
    info.dy = dy;
    info.wMax = eWindowType;
    cMemory block;
    if (!block.AllocateMemory(kHelpWinInfoSize))
        return;
    void* address = block.Pointer();
    if (!address)
        return;
    std::memcpy(address, &info, kHelpWinInfoSize);
    m_backend.WinHelp(m_hwnd, m_HelpFile, HELP_SETWINPOS, reinterpret_cast<intptr_t>(address));
    block.FreeMemory();
}

void CommonDLG::cdLoadLibrary(const std::string&) {
    m_hInstance = 0;
}

void CommonDLG::cdFreeLibrary() {}
