#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class QWidget;

/// A dialog hook: called with the hook's window, a message and its two
/// parameters while a hooked dialog is open.
using HookProc = intptr_t (*)(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);

/// The record of the open and save dialogs. Strings keep their NUL
/// characters: the filter is NUL-separated and the file buffer is padded
/// with NULs to `nMaxFile` characters.
struct OpenFileNameRecord {
    int32_t lStructSize = 76;
    QWidget* hwndOwner = nullptr; ///< null: no owner
    int32_t hInstance = 0;
    QString lpstrFilter;
    int32_t nFilterIndex = 0;
    QString lpstrFile;
    int32_t nMaxFile = 0;
    QString lpstrFileTitle;
    int32_t nMaxFileTitle = 0;
    QString lpstrInitialDir;
    QString lpstrTitle;
    int32_t Flags = 0;
    int32_t nFileOffset = 0;
    int32_t nFileExtension = 0;
    QString lpstrDefExt;
    HookProc lpfnHook = nullptr;
    int32_t lpTemplateName = 0;
};

/// The record of the colour dialog; colours are 0x00BBGGRR values.
struct ChooseColorRecord {
    int32_t lStructSize = 36;
    QWidget* hwndOwner = nullptr;
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
    QString lfFaceName; ///< 32 characters, NUL-filled
};

struct ChooseFontRecord {
    int32_t lStructSize = 60;
    QWidget* hwndOwner = nullptr;
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
    QWidget* hwndOwner = nullptr;
    std::optional<DevModeRecord> hDevMode; ///< filled by the dialog
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
    QWidget* hwndOwner = nullptr;
    std::optional<DevModeRecord> hDevMode;
    int32_t Flags = 0;
    int32_t ptPaperSizeX = 0;
    int32_t ptPaperSizeY = 0;
    RectRecord rtMinMargin;
    RectRecord rtMargin;
    HookProc lpfnPageSetupHook = nullptr;
};

/// What the system's common dialog library does: run a dialog on a record
/// and answer 0 (cancelled or failed) or 1 (confirmed). The library runs the
/// real Qt dialogs (QtDialogBackend); tests may put in a backend that plays
/// the user.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;

    virtual int32_t GetOpenFileName(OpenFileNameRecord& ofn) = 0;
    virtual int32_t GetSaveFileName(OpenFileNameRecord& ofn) = 0;
    /// Puts the file name of `file` (no folder) into `buffer`; 0 on success.
    virtual int32_t GetFileTitle(const QString& file, QString& buffer, int32_t size) = 0;
    virtual int32_t ChooseColor(ChooseColorRecord& cc) = 0;
    virtual int32_t ChooseFont(ChooseFontRecord& cf) = 0;
    virtual int32_t PrintDlg(PrintDlgRecord& pd) = 0;
    virtual int32_t PageSetupDlg(PageSetupDlgRecord& psd) = 0;
    /// Why the last dialog failed; 0 after a confirmation or a cancel.
    virtual int32_t CommDlgExtendedError() = 0;

    /// The system colour with a COLOR_* index, as 0x00BBGGRR; -1 for no such index.
    virtual int32_t GetSysColor(int32_t index) = 0;
    /// Shows help for `file`; false on failure, with the reason in GetLastError().
    virtual bool WinHelp(QWidget* owner, const QString& file, int32_t command, intptr_t data) = 0;
    virtual int32_t GetLastError() = 0;
    /// The system's text for an error code of GetLastError().
    virtual QString FormatMessage(int32_t code) = 0;
    /// The device context of the default printer; 0 where there is none.
    virtual intptr_t PrinterDC() = 0;
    /// Twips per pixel of the screen, vertically.
    virtual double TwipsPerPixelY() = 0;

    /// The backend dialogs run on: the one set with setCurrent(), else Qt's.
    static DialogBackend& current();
    /// Makes `backend` the current one (null: Qt's again); returns the one before.
    static DialogBackend* setCurrent(DialogBackend* backend);
};
