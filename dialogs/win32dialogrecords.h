#pragma once

// The records of the dialog seam as the wide structures of comdlg32, and
// back. Include it after every header of ours: windows.h defines macros
// that would rename the seam's members, and those that clash are undefined
// here (the wide functions are called by their own names).

#include "dialogbackend.h"

#include <optional>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#undef ChooseColor
#undef ChooseFont
#undef FormatMessage
#undef GetFileTitle
#undef GetOpenFileName
#undef GetSaveFileName
#undef GetWindowLong
#undef PageSetupDlg
#undef PrintDlg
#undef SetWindowLong
#undef WinHelp

namespace win32dlg {

/// UTF-8 to a wide string and back, NULs kept.
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

/// The hooks a record names, as the real hooks find them: the native
/// structure's lCustData points here, and the dialog window keeps it from
/// WM_INITDIALOG on.
struct Hooks {
    HookProc main = nullptr;
    HookProc setup = nullptr; ///< the print dialog's setup hook
};

/// An OPENFILENAMEW with the buffers it points into.
struct NativeOpenFileName {
    explicit NativeOpenFileName(const OpenFileNameRecord& r);
    NativeOpenFileName(const NativeOpenFileName&) = delete;
    NativeOpenFileName& operator=(const NativeOpenFileName&) = delete;
    /// What the dialog returned: flags, filter index, offsets, file and title buffers.
    void deliver(OpenFileNameRecord& r, bool confirmed) const;

    OPENFILENAMEW native{};
    Hooks hooks;
    std::wstring filter, file, fileTitle, initialDir, title, defExt;
};

/// A CHOOSECOLORW with its custom colour table, which goes back to the
/// record's table whatever the outcome: the dialog edits it in place.
struct NativeChooseColor {
    explicit NativeChooseColor(const ChooseColorRecord& r);
    NativeChooseColor(const NativeChooseColor&) = delete;
    NativeChooseColor& operator=(const NativeChooseColor&) = delete;
    void deliver(ChooseColorRecord& r, bool confirmed) const;

    CHOOSECOLORW native{};
    Hooks hooks;
    COLORREF custom[16]{};
};

struct NativeChooseFont {
    explicit NativeChooseFont(const ChooseFontRecord& r);
    NativeChooseFont(const NativeChooseFont&) = delete;
    NativeChooseFont& operator=(const NativeChooseFont&) = delete;
    void deliver(ChooseFontRecord& r, bool confirmed) const;

    CHOOSEFONTW native{};
    Hooks hooks;
    LOGFONTW font{};
};

/// A PRINTDLGW; the device mode and names it returns are read and freed.
struct NativePrintDlg {
    explicit NativePrintDlg(const PrintDlgRecord& r);
    ~NativePrintDlg();
    NativePrintDlg(const NativePrintDlg&) = delete;
    NativePrintDlg& operator=(const NativePrintDlg&) = delete;
    void deliver(PrintDlgRecord& r, bool confirmed) const;

    PRINTDLGW native{};
    Hooks hooks;
};

struct NativePageSetupDlg {
    explicit NativePageSetupDlg(const PageSetupDlgRecord& r);
    ~NativePageSetupDlg();
    NativePageSetupDlg(const NativePageSetupDlg&) = delete;
    NativePageSetupDlg& operator=(const NativePageSetupDlg&) = delete;
    void deliver(PageSetupDlgRecord& r, bool confirmed) const;

    PAGESETUPDLGW native{};
    Hooks hooks;
};

/// The fields of a device mode block (a global memory handle) that the
/// records carry; none for no handle.
std::optional<DevModeRecord> readDevMode(HGLOBAL handle);

} // namespace win32dlg
