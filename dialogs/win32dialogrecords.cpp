#include "dlgtext.h"
#include "mdl_dialoghook.h"

#include "win32dialogrecords.h" // last: windows.h

#include <algorithm>
#include <cstddef>

namespace {

using win32dlg::Hooks;
using win32dlg::widen;

static_assert(sizeof(wchar_t) == sizeof(char16_t));
// A real notification is read through the seam's header as it comes.
static_assert(sizeof(NotifyHeader) == sizeof(NMHDR));
static_assert(offsetof(NotifyHeader, idFrom) == offsetof(NMHDR, idFrom));
static_assert(offsetof(NotifyHeader, code) == offsetof(NMHDR, code));

const wchar_t kHooksProperty[] = L"TraplineDialogHooks";

/// The real hook of every dialog: from WM_INITDIALOG on, whose lParam is
/// the native structure, the dialog window keeps the record's hooks, and
/// each message goes to the record's hook with the real window.
template <class Native, bool Setup>
UINT_PTR CALLBACK hook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* hooks = static_cast<Hooks*>(::GetPropW(hDlg, kHooksProperty));
    if (msg == WM_INITDIALOG && lParam) {
        hooks = reinterpret_cast<Hooks*>(reinterpret_cast<const Native*>(lParam)->lCustData);
        ::SetPropW(hDlg, kHooksProperty, hooks);
    }
    const HookProc proc = hooks ? (Setup ? hooks->setup : hooks->main) : nullptr;
    const intptr_t answer =
        proc ? proc(hDlg, msg, static_cast<intptr_t>(wParam), static_cast<intptr_t>(lParam)) : 0;
    if (msg == WM_NCDESTROY)
        ::RemovePropW(hDlg, kHooksProperty);
    return static_cast<UINT_PTR>(answer);
}

/// `text` as a buffer of exactly `size` characters, NUL-filled or cut. Its
/// last character is always a NUL: the system reads the initial name up to
/// one, and a name that fills the buffer would send it past the end.
std::wstring sized(std::wstring text, int32_t size) {
    text.resize(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (!text.empty())
        text.back() = L'\0';
    return text;
}

const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

RECT toRect(const RectRecord& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

RectRecord fromRect(const RECT& r) {
    return RectRecord{r.left, r.top, r.right, r.bottom};
}

HWND hwnd(WindowHandle handle) {
    return static_cast<HWND>(handle);
}

} // namespace

namespace win32dlg {

std::wstring widen(const std::string& text) {
    const std::u16string wide = dlgtext::toUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string narrow(const std::wstring& text) {
    return dlgtext::fromUtf16(std::u16string(text.begin(), text.end()));
}

NativeOpenFileName::NativeOpenFileName(const OpenFileNameRecord& r)
    : filter(widen(r.lpstrFilter)), file(sized(widen(r.lpstrFile), r.nMaxFile)),
      fileTitle(sized(widen(r.lpstrFileTitle), r.nMaxFileTitle)),
      initialDir(widen(r.lpstrInitialDir)), title(widen(r.lpstrTitle)),
      defExt(widen(r.lpstrDefExt)) {
    // The list ends with two NULs: the string's own is the second.
    if (!filter.empty() && filter.back() != L'\0')
        filter.push_back(L'\0');
    hooks.main = r.lpfnHook;
    native.lStructSize = sizeof(OPENFILENAMEW);
    native.hwndOwner = hwnd(r.hwndOwner);
    native.hInstance = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(r.hInstance));
    native.lpstrFilter = orNull(filter);
    native.nFilterIndex = static_cast<DWORD>(r.nFilterIndex);
    native.lpstrFile = file.data();
    native.nMaxFile = static_cast<DWORD>(file.size());
    native.lpstrFileTitle = fileTitle.empty() ? nullptr : fileTitle.data();
    native.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    native.lpstrInitialDir = orNull(initialDir);
    native.lpstrTitle = orNull(title);
    native.Flags = static_cast<DWORD>(r.Flags);
    native.lpstrDefExt = orNull(defExt);
    native.lCustData = reinterpret_cast<LPARAM>(&hooks);
    native.lpfnHook = r.lpfnHook ? &hook<OPENFILENAMEW, false> : nullptr;
    native.lpTemplateName =
        r.lpTemplateName ? MAKEINTRESOURCEW(static_cast<WORD>(r.lpTemplateName)) : nullptr;
}

void NativeOpenFileName::deliver(OpenFileNameRecord& r, bool confirmed) const {
    if (!confirmed)
        return;
    r.Flags = static_cast<int32_t>(native.Flags);
    r.nFilterIndex = static_cast<int32_t>(native.nFilterIndex);
    r.nFileOffset = native.nFileOffset;
    r.nFileExtension = native.nFileExtension;
    // Whole buffers: a multi-selection is folder, NUL, names, NUL, NUL.
    r.lpstrFile = narrow(file);
    r.lpstrFileTitle = narrow(fileTitle);
}

NativeChooseColor::NativeChooseColor(const ChooseColorRecord& r) {
    if (r.lpCustColors)
        for (size_t i = 0; i < 16; ++i)
            custom[i] = static_cast<COLORREF>((*r.lpCustColors)[i]);
    hooks.main = r.lpfnHook;
    native.lStructSize = sizeof(CHOOSECOLORW);
    native.hwndOwner = hwnd(r.hwndOwner);
    native.rgbResult = static_cast<COLORREF>(r.rgbResult);
    native.lpCustColors = custom;
    native.Flags = static_cast<DWORD>(r.Flags);
    native.lCustData = reinterpret_cast<LPARAM>(&hooks);
    native.lpfnHook = r.lpfnHook ? &hook<CHOOSECOLORW, false> : nullptr;
}

void NativeChooseColor::deliver(ChooseColorRecord& r, bool confirmed) const {
    if (r.lpCustColors)
        for (size_t i = 0; i < 16; ++i)
            (*r.lpCustColors)[i] = static_cast<int32_t>(custom[i]);
    if (!confirmed)
        return;
    r.rgbResult = static_cast<int32_t>(native.rgbResult);
    r.Flags = static_cast<int32_t>(native.Flags);
}

NativeChooseFont::NativeChooseFont(const ChooseFontRecord& r) {
    font.lfCharSet = DEFAULT_CHARSET;
    if (const LogFontRecord* lf = r.lpLogFont) {
        font.lfHeight = lf->lfHeight;
        font.lfWeight = lf->lfWeight;
        font.lfItalic = lf->lfItalic;
        font.lfUnderline = lf->lfUnderline;
        font.lfStrikeOut = lf->lfStrikeOut;
        const std::wstring face = widen(dlgtext::cutAtNul(lf->lfFaceName));
        face.copy(font.lfFaceName, std::min<size_t>(face.size(), LF_FACESIZE - 1));
    }
    hooks.main = r.lpfnHook;
    native.lStructSize = sizeof(CHOOSEFONTW);
    native.hwndOwner = hwnd(r.hwndOwner);
    native.hDC = reinterpret_cast<HDC>(r.hDC);
    native.lpLogFont = &font;
    native.iPointSize = r.iPointSize;
    native.Flags = static_cast<DWORD>(r.Flags);
    native.rgbColors = static_cast<COLORREF>(r.rgbColors);
    native.lCustData = reinterpret_cast<LPARAM>(&hooks);
    native.lpfnHook = r.lpfnHook ? &hook<CHOOSEFONTW, false> : nullptr;
    native.nFontType = static_cast<WORD>(r.nFontType);
    native.nSizeMin = r.nSizeMin;
    native.nSizeMax = r.nSizeMax;
}

void NativeChooseFont::deliver(ChooseFontRecord& r, bool confirmed) const {
    if (!confirmed)
        return;
    r.iPointSize = native.iPointSize;
    r.Flags = static_cast<int32_t>(native.Flags);
    r.rgbColors = static_cast<int32_t>(native.rgbColors);
    r.nFontType = native.nFontType;
    if (LogFontRecord* lf = r.lpLogFont) {
        lf->lfHeight = font.lfHeight;
        lf->lfWeight = font.lfWeight;
        lf->lfItalic = font.lfItalic;
        lf->lfUnderline = font.lfUnderline;
        lf->lfStrikeOut = font.lfStrikeOut;
        lf->lfFaceName = dlgtext::padded(narrow(font.lfFaceName), LF_FACESIZE);
    }
}

NativePrintDlg::NativePrintDlg(const PrintDlgRecord& r) {
    hooks.main = r.lpfnPrintHook;
    hooks.setup = r.lpfnSetupHook;
    native.lStructSize = sizeof(PRINTDLGW);
    native.hwndOwner = hwnd(r.hwndOwner);
    native.Flags = static_cast<DWORD>(r.Flags);
    native.nFromPage = r.nFromPage;
    native.nToPage = r.nToPage;
    native.nMinPage = r.nMinPage;
    native.nMaxPage = r.nMaxPage;
    native.nCopies = r.nCopies;
    native.lCustData = reinterpret_cast<LPARAM>(&hooks);
    native.lpfnPrintHook = r.lpfnPrintHook ? &hook<PRINTDLGW, false> : nullptr;
    native.lpfnSetupHook = r.lpfnSetupHook ? &hook<PRINTDLGW, true> : nullptr;
}

NativePrintDlg::~NativePrintDlg() {
    if (native.hDevMode)
        ::GlobalFree(native.hDevMode);
    if (native.hDevNames)
        ::GlobalFree(native.hDevNames);
}

void NativePrintDlg::deliver(PrintDlgRecord& r, bool confirmed) const {
    if (!confirmed)
        return;
    r.Flags = static_cast<int32_t>(native.Flags);
    r.hDC = reinterpret_cast<intptr_t>(native.hDC);
    r.nFromPage = native.nFromPage;
    r.nToPage = native.nToPage;
    r.nCopies = native.nCopies;
    r.hDevMode = readDevMode(native.hDevMode);
}

NativePageSetupDlg::NativePageSetupDlg(const PageSetupDlgRecord& r) {
    hooks.main = r.lpfnPageSetupHook;
    native.lStructSize = sizeof(PAGESETUPDLGW);
    native.hwndOwner = hwnd(r.hwndOwner);
    native.Flags = static_cast<DWORD>(r.Flags);
    native.ptPaperSize = POINT{r.ptPaperSizeX, r.ptPaperSizeY};
    native.rtMinMargin = toRect(r.rtMinMargin);
    native.rtMargin = toRect(r.rtMargin);
    native.lCustData = reinterpret_cast<LPARAM>(&hooks);
    native.lpfnPageSetupHook = r.lpfnPageSetupHook ? &hook<PAGESETUPDLGW, false> : nullptr;
}

NativePageSetupDlg::~NativePageSetupDlg() {
    if (native.hDevMode)
        ::GlobalFree(native.hDevMode);
    if (native.hDevNames)
        ::GlobalFree(native.hDevNames);
}

void NativePageSetupDlg::deliver(PageSetupDlgRecord& r, bool confirmed) const {
    if (!confirmed)
        return;
    r.Flags = static_cast<int32_t>(native.Flags);
    r.ptPaperSizeX = native.ptPaperSize.x;
    r.ptPaperSizeY = native.ptPaperSize.y;
    r.rtMinMargin = fromRect(native.rtMinMargin);
    r.rtMargin = fromRect(native.rtMargin);
    r.hDevMode = readDevMode(native.hDevMode);
}

std::optional<DevModeRecord> readDevMode(HGLOBAL handle) {
    if (!handle)
        return std::nullopt;
    const auto* dm = static_cast<const DEVMODEW*>(::GlobalLock(handle));
    if (!dm)
        return std::nullopt;
    const DevModeRecord record{dm->dmOrientation, dm->dmPaperSize, dm->dmCopies, dm->dmPrintQuality,
                               dm->dmCollate};
    ::GlobalUnlock(handle);
    return record;
}

} // namespace win32dlg
