#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

/// A window as the system knows it: an HWND on Windows, the QWidget on the
/// Qt side; null for none.
using WindowHandle = void*;

/// A dialog hook: called with the hook's window, a message and its two
/// parameters while a hooked dialog is open.
using HookProc = intptr_t (*)(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);

/// The record of the open and save dialogs. Text is UTF-8 and keeps its NUL
/// characters: the filter is NUL-separated and the file buffer is padded
/// with NULs to `nMaxFile` characters (UTF-16 units, see dlgtext.h).
struct OpenFileNameRecord {
    int32_t lStructSize = 76;
    WindowHandle hwndOwner = nullptr; ///< null: no owner
    int32_t hInstance = 0;
    std::string lpstrFilter{};
    int32_t nFilterIndex = 0;
    std::string lpstrFile{};
    int32_t nMaxFile = 0;
    std::string lpstrFileTitle{};
    int32_t nMaxFileTitle = 0;
    std::string lpstrInitialDir{};
    std::string lpstrTitle{};
    int32_t Flags = 0;
    int32_t nFileOffset = 0; ///< in characters, as the system counts them
    int32_t nFileExtension = 0;
    std::string lpstrDefExt{};
    HookProc lpfnHook = nullptr;
    int32_t lpTemplateName = 0;
};

/// The record of the colour dialog; colours are 0x00BBGGRR values.
struct ChooseColorRecord {
    int32_t lStructSize = 36;
    WindowHandle hwndOwner = nullptr;
    int32_t rgbResult = 0;
    std::array<int32_t, 16>* lpCustColors = nullptr;
    int32_t Flags = 0;
    HookProc lpfnHook = nullptr;
};

/// The logical font the font dialog starts from and fills in.
struct LogFontRecord {
    int32_t lfHeight = 0; ///< minus the character height in pixels
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    std::string lfFaceName{}; ///< 32 characters, NUL-filled
};

struct ChooseFontRecord {
    int32_t lStructSize = 60;
    WindowHandle hwndOwner = nullptr;
    intptr_t hDC = 0;
    LogFontRecord* lpLogFont = nullptr;
    int32_t iPointSize = 0; ///< tenths of a point
    int32_t Flags = 0;
    int32_t rgbColors = 0;
    HookProc lpfnHook = nullptr;
    int32_t nFontType = 0;
    int32_t nSizeMin = 0;
    int32_t nSizeMax = 0;
};

/// The fields of the printer's device mode the library reads.
struct DevModeRecord {
    int16_t dmOrientation = 1; ///< 1 portrait, 2 landscape
    int16_t dmPaperSize = 0;   ///< DMPAPER_* (1 letter, 9 A4, ...)
    int16_t dmCopies = 1;
    int16_t dmPrintQuality = 0; ///< dots per inch, or a negative DMRES_* value
    int16_t dmCollate = 0;
};

struct PrintDlgRecord {
    int32_t lStructSize = 66;
    WindowHandle hwndOwner = nullptr;
    std::optional<DevModeRecord> hDevMode{}; ///< filled by the dialog
    intptr_t hDC = 0;
    int32_t Flags = 0;
    uint16_t nFromPage = 0;
    uint16_t nToPage = 0;
    uint16_t nMinPage = 0;
    uint16_t nMaxPage = 0;
    uint16_t nCopies = 0;
    HookProc lpfnPrintHook = nullptr;
    HookProc lpfnSetupHook = nullptr;
};

struct RectRecord {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

/// Margins in thousandths of an inch or hundredths of a millimetre, as the
/// flags say.
struct PageSetupDlgRecord {
    int32_t lStructSize = 84;
    WindowHandle hwndOwner = nullptr;
    std::optional<DevModeRecord> hDevMode{};
    int32_t Flags = 0;
    int32_t ptPaperSizeX = 0;
    int32_t ptPaperSizeY = 0;
    RectRecord rtMinMargin{};
    RectRecord rtMargin{};
    HookProc lpfnPageSetupHook = nullptr;
};

/// What the system's common dialog library does: run a dialog on a record
/// and answer 0 (cancelled or failed) or 1 (confirmed). The library runs the
/// real dialogs (comdlg32 on Windows, Qt's on Linux); tests may put in a
/// backend that plays the user. The window services the dialog utilities
/// need come through here too, so that nothing above it knows the toolkit.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;

    virtual int32_t GetOpenFileName(OpenFileNameRecord& ofn) = 0;
    virtual int32_t GetSaveFileName(OpenFileNameRecord& ofn) = 0;
    /// Puts the file name of `file` (no folder) into `buffer`; 0 on success.
    virtual int32_t GetFileTitle(const std::string& file, std::string& buffer, int32_t size) = 0;
    virtual int32_t ChooseColor(ChooseColorRecord& cc) = 0;
    virtual int32_t ChooseFont(ChooseFontRecord& cf) = 0;
    virtual int32_t PrintDlg(PrintDlgRecord& pd) = 0;
    virtual int32_t PageSetupDlg(PageSetupDlgRecord& psd) = 0;
    /// Why the last dialog failed; 0 after a confirmation or a cancel.
    virtual int32_t CommDlgExtendedError() = 0;

    /// The system colour with a COLOR_* index, as 0x00BBGGRR; -1 for no such index.
    virtual int32_t GetSysColor(int32_t index) = 0;
    /// Shows help for `file`; false on failure, with the reason in GetLastError().
    virtual bool WinHelp(WindowHandle owner, const std::string& file, int32_t command,
                         intptr_t data) = 0;
    virtual int32_t GetLastError() = 0;
    /// The system's text for an error code of GetLastError().
    virtual std::string FormatMessage(int32_t code) = 0;
    /// The device context of the default printer; 0 where there is none.
    virtual intptr_t PrinterDC() = 0;
    /// Twips per pixel of the screen, vertically.
    virtual double TwipsPerPixelY() = 0;
    /// The application's name, the source of the run time's errors.
    virtual std::string ApplicationName() = 0;

    /// A value of a dialog window: index 0 is its message result
    /// (DWL_MSGRESULT), how a hook answers a notification; any other index
    /// its user value. 0 for a value never set or no window.
    virtual void SetWindowLong(WindowHandle hDlg, int index, intptr_t value) = 0;
    virtual intptr_t GetWindowLong(WindowHandle hDlg, int index) = 0;
    /// The window that holds `hWnd`; null for a top-level window.
    virtual WindowHandle GetParent(WindowHandle hWnd) = 0;
    /// The window's frame on the screen, in pixels; false for no window.
    virtual bool GetWindowRect(WindowHandle hWnd, RectRecord& rect) = 0;
    /// Moves the window's frame to `left`, `top`, its size unchanged.
    virtual void MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) = 0;
    /// The desktop's work area of the screen that shows `hWnd` (the main
    /// screen for none); false when the system cannot tell.
    virtual bool GetWorkArea(WindowHandle hWnd, RectRecord& rect) = 0;

    /// The backend dialogs run on: the one set with setCurrent(), else the
    /// system's (comdlg32 on Windows, Qt's elsewhere).
    static DialogBackend& current();
    /// Makes `backend` the current one (null: the system's again); returns the one before.
    static DialogBackend* setCurrent(DialogBackend* backend);
};
