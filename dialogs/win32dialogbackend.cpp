#include "win32dialogbackend.h"

#include "win32dialogrecords.h" // last: windows.h

namespace {

using win32dlg::narrow;
using win32dlg::widen;

RectRecord fromRect(const RECT& r) {
    return RectRecord{r.left, r.top, r.right, r.bottom};
}

HWND hwnd(WindowHandle handle) {
    return static_cast<HWND>(handle);
}

} // namespace

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
