// What only the Win32 side of the tip and About windows shows: where they
// open, their bold headings, and the tips resource's language.
#include "../../forms/user.h"
#include "../../support/scriptedmessagebox.h"
#include "../../support/tempdir.h"
#include "../../support/testsettings.h"
#include "frmabout.h"
#include "frmtip.h"
#include "modresfiles.h"
#include "registrylookup.h"
#include "win32forms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

POINT middle(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

/// The weight of the font the control draws its caption with, as realized.
LONG drawnWeight(const forms::Control& control) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(
        dc, reinterpret_cast<HFONT>(SendMessageW(forms::win32::hwnd(control), WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, before);
    DeleteDC(dc);
    return metrics.tmWeight;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

} // namespace

TEST(TipAndAboutWindows, OpenOverTheMiddleOfTheirOwnerWithBoldHeadings) {
    TempDir dir;
    TestSettings settings(dir);
    NoRegistry registry;
    ScriptedMessageBox boxes;
    forms::Form owner("frmAddIn");
    owner.Move({1200, 900, 4605, 9015});
    owner.Show();
    const POINT over = middle(forms::win32::hwnd(owner));

    frmTip tip(settings, dir.file("TIPOFDAY.TXT"), forms::Form::Owner{&owner, nullptr});
    tip.Show();
    const POINT tipMiddle = middle(forms::win32::hwnd(tip));
    EXPECT_LE(std::abs(tipMiddle.x - over.x), 1);
    EXPECT_LE(std::abs(tipMiddle.y - over.y), 1);
    EXPECT_GE(drawnWeight(tip.Label1), FW_BOLD);
    EXPECT_LT(drawnWeight(tip.lblTipText), FW_BOLD);

    frmAbout about(
        registry, boxes, [](const std::string&) { return true; },
        forms::Form::Owner{&owner, nullptr});
    POINT aboutMiddle{};
    LONG titleWeight = 0;
    user::soon([&] {
        aboutMiddle = middle(forms::win32::hwnd(about));
        titleWeight = drawnWeight(about.lblTitle);
        user::click(about.cmdOK);
    });
    about.ShowModal();
    EXPECT_LE(std::abs(aboutMiddle.x - over.x), 1);
    EXPECT_LE(std::abs(aboutMiddle.y - over.y), 1);
    EXPECT_GE(titleWeight, FW_BOLD);
}

TEST(TipsResource, IsRussianAndFoundWhateverTheUserInterfaceLanguage) {
    HMODULE module = GetModuleHandleW(nullptr);
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, L"CUSTOM", L"RUSTIPS", collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)});
    EXPECT_NE(FindResourceExW(module, L"CUSTOM", L"RUSTIPS", 0x0419), nullptr);
    const LANGID before = GetThreadUILanguage();
    for (const int language : {0x0409, 0x0407, 0x0411, 0x0419, 0x0804}) {
        SCOPED_TRACE(language);
        SetThreadUILanguage(static_cast<LANGID>(language));
        std::string bytes;
        EXPECT_TRUE(ModResFiles::LoadResData("RUSTIPS", "Custom", bytes));
        EXPECT_EQ(bytes.size(), 400u);
    }
    SetThreadUILanguage(before);
}
