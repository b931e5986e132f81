// The comdlg32 backend: its records as the system's wide structures, and
// the real dialogs, driven by messages their hooks post. Verified under wine
// only; a display is needed (xvfb-run in tools/build-windows.sh).
#include "win32dialogbackend.h"

#include "commondlg.h"
#include "dialogevents.h"
#include "dlgtext.h"
#include "scripteddialogbackend.h"

#include "win32dialogrecords.h" // last: windows.h

#include <dlgs.h>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

using namespace std::string_literals;
using namespace win32dlg;

namespace {

intptr_t recordingHook(WindowHandle, uint32_t, intptr_t, intptr_t) {
    return 0;
}

/// `length` characters at `text` (NULs kept), or up to its NUL; "(null)" for no text.
std::wstring wide(const wchar_t* text, size_t length = std::wstring::npos) {
    if (!text)
        return L"(null)";
    return length == std::wstring::npos ? std::wstring(text) : std::wstring(text, length);
}

} // namespace

TEST(Win32Records, AnOpenFileRecordBecomesTheWideStructureFieldByFieldAndComesBack) {
    const struct {
        OpenFileNameRecord record;
        std::wstring file;   ///< the file buffer, whole
        std::wstring filter; ///< up to and with its two NULs; (null) for none
        std::wstring initialDir, title;
        bool hooked;
        ULONG_PTR templateName;
    } rows[] = {
        {{.lpstrFilter = withNuls("Шаблон\0*.ert\0\0"),
          .nFilterIndex = 2,
          .lpstrFile = dlgtext::padded("старт", 8),
          .nMaxFile = 8,
          .lpstrInitialDir = "C:\\Шаблоны",
          .lpstrTitle = "Укажите путь к файлу",
          .Flags = 0x1800},
         L"старт\0\0\0"s,
         L"Шаблон\0*.ert\0\0"s,
         L"C:\\Шаблоны",
         L"Укажите путь к файлу",
         false,
         0},
        // A name that fills its buffer loses its last character to the NUL
        // the system reads up to; a filter without its NULs gets them.
        {{.hInstance = 7,
          .lpstrFilter = "All|*.*",
          .lpstrFile = "toolong",
          .nMaxFile = 4,
          .Flags = 0x80060,
          .lpfnHook = recordingHook,
          .lpTemplateName = 9},
         L"too\0"s,
         L"All|*.*\0\0"s,
         L"(null)",
         L"(null)",
         true,
         9},
    };
    for (const auto& row : rows) {
        NativeOpenFileName n(row.record);
        const OPENFILENAMEW& o = n.native;
        EXPECT_EQ(std::tuple(o.lStructSize, o.Flags, o.nFilterIndex, o.nMaxFile,
                             reinterpret_cast<intptr_t>(o.hInstance), o.lpfnHook != nullptr,
                             reinterpret_cast<ULONG_PTR>(o.lpTemplateName)),
                  std::tuple(DWORD(sizeof(OPENFILENAMEW)), DWORD(row.record.Flags),
                             DWORD(row.record.nFilterIndex), DWORD(row.record.nMaxFile),
                             row.record.hInstance, row.hooked, row.templateName));
        EXPECT_EQ(
            std::tuple(wide(o.lpstrFile, o.nMaxFile), wide(o.lpstrFilter, row.filter.size()),
                       wide(o.lpstrInitialDir), wide(o.lpstrTitle), wide(o.lpstrDefExt),
                       wide(o.lpstrFileTitle)),
            std::tuple(row.file, row.filter, row.initialDir, row.title, L"(null)"s, L"(null)"s));
    }

    // What the dialog returns comes back whole: a multi-selection keeps its NULs.
    OpenFileNameRecord r{.lpstrFile = std::string(), .nMaxFile = 32, .nMaxFileTitle = 8};
    NativeOpenFileName n(r);
    const std::wstring chosen = L"C:\\t\0a.ert\0б.ert\0\0"s;
    chosen.copy(n.native.lpstrFile, chosen.size());
    n.native.Flags = 0x281201;
    n.native.nFilterIndex = 3;
    n.native.nFileOffset = 5;
    n.deliver(r, false);
    EXPECT_EQ(std::tuple(r.Flags, r.nFilterIndex, r.lpstrFile), std::tuple(0, 0, std::string()));
    n.deliver(r, true);
    EXPECT_EQ(std::tuple(r.Flags, r.nFilterIndex, r.nFileOffset), std::tuple(0x281201, 3, 5));
    EXPECT_EQ(r.lpstrFile, dlgtext::padded(withNuls("C:\\t\0a.ert\0б.ert\0\0"), 32));
    EXPECT_EQ(r.lpstrFileTitle, std::string(8, '\0'));
}

namespace {

/// Hooks of a real open dialog that act as the user once it is up: each
/// posts its messages to the dialog, the parent of the hook's window.
intptr_t cancel(WindowHandle hDlg, uint32_t msg, intptr_t, intptr_t) {
    if (msg == WM_INITDIALOG)
        ::PostMessageW(::GetParent(static_cast<HWND>(hDlg)), WM_COMMAND, IDCANCEL, 0);
    return 0;
}

intptr_t acceptWinIni(WindowHandle hDlg, uint32_t msg, intptr_t, intptr_t) {
    static const wchar_t name[] = L"C:\\windows\\win.ini";
    if (msg == WM_INITDIALOG) {
        HWND dialog = ::GetParent(static_cast<HWND>(hDlg));
        // The name box is one of these, as the system's version has it.
        for (WPARAM box : {edt1, cmb13})
            ::PostMessageW(dialog, CDM_SETCONTROLTEXT, box, reinterpret_cast<LPARAM>(name));
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

} // namespace

TEST(RealOpenDialog, AChoiceACancelAndATooSmallBufferComeBackAsTheSystemSaysThem) {
    const struct {
        HookProc user;
        int32_t nMaxFile;
        int32_t result;
        int32_t extendedError;
        std::string file;
    } rows[] = {
        {acceptWinIni, 260, 1, 0, "C:\\windows\\win.ini"},
        {cancel, 260, 0, 0, ""},
        // A failure, not a cancel: the system's extended error tells them apart.
        {acceptWinIni, 4, 0, FNERR_BUFFERTOOSMALL, ""},
    };
    Win32DialogBackend system;
    for (const auto& row : rows) {
        OpenFileNameRecord ofn{.lpstrFilter = withNuls("Ini\0*.ini\0\0"),
                               .nFilterIndex = 1,
                               .lpstrFile = dlgtext::padded("", size_t(row.nMaxFile)),
                               .nMaxFile = row.nMaxFile,
                               .lpstrFileTitle = dlgtext::padded("", 260),
                               .nMaxFileTitle = 260,
                               .Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY,
                               .lpfnHook = row.user};
        EXPECT_EQ(system.GetOpenFileName(ofn), row.result) << row.nMaxFile;
        EXPECT_EQ(system.CommDlgExtendedError(), row.extendedError) << row.nMaxFile;
        if (row.result != 1)
            continue;
        EXPECT_EQ(std::tuple(dlgtext::cutAtNul(ofn.lpstrFile),
                             dlgtext::cutAtNul(ofn.lpstrFileTitle), ofn.nFileOffset,
                             ofn.nFileExtension, dlgtext::units(ofn.lpstrFile)),
                  std::tuple(row.file, "win.ini"s, 11, 15, size_t(260)));
    }
}

TEST(RealOpenDialog, TheHookIsToldOfTheRealDialogAndACancelIsError20001WhenAskedFor) {
    Win32DialogBackend system;
    CommonDLG dlg(system);
    dlg.setCancelError(true);
    dlg.setHookDialog(true);
    dlg.setDialogTitle("Укажите путь к файлу");
    dlg.setFilter("On Error Template|*.ert");
    DialogEvents events(dlg);
    dlg.OnInitDialog = [&](WindowHandle hook) {
        events.add("init", hook);
        ::PostMessageW(::GetParent(static_cast<HWND>(hook)), WM_COMMAND, IDCANCEL, 0);
    };
    DlgResult<void> shown = dlg.ShowOpen();
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.error().number, 20001);
    ASSERT_FALSE(events.names.empty());
    EXPECT_EQ(std::tuple(events.names.front(), events.names.back()), std::tuple("init", "close"));
    EXPECT_NE(events.windows.front(), nullptr);

    // The colour dialog's hook window is the dialog itself.
    dlg.OnInitDialog = [](WindowHandle dialog) {
        ::PostMessageW(static_cast<HWND>(dialog), WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dlg.ShowColor().error().number, 20001);
    EXPECT_EQ(dlg.CustomColor(5), int32_t(::GetSysColor(5)));
}
