#include "win32dialogbackend.h"

#include "dlgtext.h"
#include "mdl_dialoghook.h"

#include "win32dialogrecords.h" // last: windows.h

#include <cstddef>

namespace {

using win32dlg::Hooks;
using win32dlg::narrow;
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

template <class Native, class Record, class Call>
int32_t Win32DialogBackend::run(Record& record, Call call) {
    Native native(record);
    const BOOL result = call(&native.native);
    // Read at once: 0 after a cancel, the reason after a failure.
    m_extendedError = static_cast<int32_t>(::CommDlgExtendedError());
    native.deliver(record, result != 0);
    return static_cast<int32_t>(result);
}

int32_t Win32DialogBackend::GetOpenFileName(OpenFileNameRecord& ofn) {
    return run<win32dlg::NativeOpenFileName>(
        ofn, [](OPENFILENAMEW* n) { return ::GetOpenFileNameW(n); });
}

int32_t Win32DialogBackend::GetSaveFileName(OpenFileNameRecord& ofn) {
    return run<win32dlg::NativeOpenFileName>(
        ofn, [](OPENFILENAMEW* n) { return ::GetSaveFileNameW(n); });
}

int32_t Win32DialogBackend::ChooseColor(ChooseColorRecord& cc) {
    return run<win32dlg::NativeChooseColor>(cc, [](CHOOSECOLORW* n) { return ::ChooseColorW(n); });
}

int32_t Win32DialogBackend::ChooseFont(ChooseFontRecord& cf) {
    return run<win32dlg::NativeChooseFont>(cf, [](CHOOSEFONTW* n) { return ::ChooseFontW(n); });
}

int32_t Win32DialogBackend::PrintDlg(PrintDlgRecord& pd) {
    return run<win32dlg::NativePrintDlg>(pd, [](PRINTDLGW* n) { return ::PrintDlgW(n); });
}

int32_t Win32DialogBackend::PageSetupDlg(PageSetupDlgRecord& psd) {
    return run<win32dlg::NativePageSetupDlg>(psd,
                                             [](PAGESETUPDLGW* n) { return ::PageSetupDlgW(n); });
}

int32_t Win32DialogBackend::GetFileTitle(const std::string& file, std::string& buffer,
                                         int32_t size) {
    if (size <= 0 || size > 0xFFFF)
        return -1;
    std::wstring title(static_cast<size_t>(size), L'\0');
    const short result =
        ::GetFileTitleW(widen(file).c_str(), title.data(), static_cast<WORD>(size));
    if (result == 0)
        buffer = narrow(title);
    return result;
}

int32_t Win32DialogBackend::GetSysColor(int32_t index) {
    // COLOR_SCROLLBAR to COLOR_MENUBAR; 25 is unused.
    if (index < 0 || index > 30 || index == 25)
        return -1;
    return static_cast<int32_t>(::GetSysColor(index));
}

bool Win32DialogBackend::WinHelp(WindowHandle owner, const std::string& file, int32_t command,
                                 intptr_t data) {
    const BOOL ok = ::WinHelpW(hwnd(owner), widen(file).c_str(), static_cast<UINT>(command),
                               static_cast<ULONG_PTR>(data));
    m_lastError = ok ? 0 : static_cast<int32_t>(::GetLastError());
    return ok != 0;
}

std::string Win32DialogBackend::FormatMessage(int32_t code) {
    wchar_t text[512] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), 0, text, 512, nullptr);
    std::wstring message(text, length);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return narrow(message);
}

intptr_t Win32DialogBackend::PrinterDC() {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    const BOOL found = ::PrintDlgW(&pd);
    if (pd.hDevMode)
        ::GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        ::GlobalFree(pd.hDevNames);
    return found ? reinterpret_cast<intptr_t>(pd.hDC) : 0;
}

double Win32DialogBackend::TwipsPerPixelY() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

std::string Win32DialogBackend::ApplicationName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return narrow(name.substr(0, name.find_last_of(L'.')));
}

void Win32DialogBackend::SetWindowLong(WindowHandle hDlg, int index, intptr_t value) {
    if (hDlg)
        ::SetWindowLongPtrW(hwnd(hDlg), index == 0 ? DWLP_MSGRESULT : DWLP_USER, value);
}

intptr_t Win32DialogBackend::GetWindowLong(WindowHandle hDlg, int index) {
    return hDlg ? ::GetWindowLongPtrW(hwnd(hDlg), index == 0 ? DWLP_MSGRESULT : DWLP_USER) : 0;
}

WindowHandle Win32DialogBackend::GetParent(WindowHandle hWnd) {
    return hWnd ? ::GetParent(hwnd(hWnd)) : nullptr;
}

bool Win32DialogBackend::GetWindowRect(WindowHandle hWnd, RectRecord& rect) {
    RECT r{};
    if (!hWnd || !::GetWindowRect(hwnd(hWnd), &r))
        return false;
    rect = fromRect(r);
    return true;
}

void Win32DialogBackend::MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) {
    RECT r{};
    if (hWnd && ::GetWindowRect(hwnd(hWnd), &r))
        ::MoveWindow(hwnd(hWnd), left, top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool Win32DialogBackend::GetWorkArea(WindowHandle, RectRecord& rect) {
    RECT r{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
        rect = fromRect(r);
        return true;
    }
    rect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return rect.right > 0 && rect.bottom > 0;
}
