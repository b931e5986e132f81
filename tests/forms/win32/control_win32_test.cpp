// What only the Win32 side's windows show.
#include "../user.h"
#include "forms.h"
#include "win32forms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

TEST(Win32Forms, AControlsWindowSitsAtItsTwipsInWholePixelsWithTheDialogFont) {
    forms::Form form("Sample");
    forms::TextBox text{form, "Text1", {130, 140, 1507, 301}};
    RECT r{};
    GetWindowRect(forms::win32::hwnd(text), &r);
    MapWindowPoints(nullptr, forms::win32::hwnd(form), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{9, 9, 100, 20}));
    LOGFONTW font{};
    auto* hfont = reinterpret_cast<HFONT>(SendMessageW(forms::win32::hwnd(text), WM_GETFONT, 0, 0));
    ASSERT_TRUE(GetObjectW(hfont, sizeof font, &font));
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -11); // 8.25 points at 96 dpi
}

TEST(Win32Forms, TheFormIsTheHwndAndStaysOnTopWhenAskedWithItsIcon) {
    forms::Form owner("Owner");
    forms::Form form("Sample", {&owner, nullptr});
    HWND w = forms::win32::hwnd(form);
    EXPECT_EQ(form.windowHandle(), w);
    EXPECT_EQ(GetWindow(w, GW_OWNER), forms::win32::hwnd(owner));
    form.setTopMost(true);
    EXPECT_TRUE(GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    form.setIcon("tips.xpm");
    ICONINFO icon{};
    ASSERT_TRUE(
        GetIconInfo(reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_SMALL, 0)), &icon));
    BITMAP colour{};
    GetObjectW(icon.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 24); // the picture's own size
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
}

TEST(Win32Forms, AModalFormDisablesItsOwnerUntilItCloses) {
    forms::Form owner("Owner");
    forms::Form form("Dialog", {&owner, nullptr});
    owner.Show();
    bool ownerEnabled = true;
    user::soon([&] {
        ownerEnabled = IsWindowEnabled(forms::win32::hwnd(owner)) != FALSE;
        user::close(form);
    });
    form.ShowModal();
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(forms::win32::hwnd(owner)));
    EXPECT_FALSE(form.Visible());
}

TEST(Win32Forms, APictureDrawsItsResourceOverItsContainersColour) {
    forms::Form form("Sample");
    forms::Picture box{form, "Picture1", {120, 120, 1500, 1500}};
    forms::Picture image{box, "Image1", {90, 90, 480, 480}}; // 32 pixels square
    box.setBackColor(0xFFFFFF);
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0), yellow = RGB(0xf1, 0xc4, 0x0f);
    const struct {
        bool stretch;
        int x, y;
        COLORREF colour;
    } rows[] = {
        {false, 0, 0, white},   // transparent: the container's white
        {false, 10, 3, black},  // the bulb's outline, pixel for pixel
        {false, 10, 4, yellow}, // and its inside
        {false, 30, 30, white}, // past the 24-pixel picture
        {true, 16, 10, yellow}, // stretched to 32 pixels, nearest pixel
        {true, 31, 31, white},
    };
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.hwndItem = forms::win32::hwnd(image);
    item.hDC = dc;
    item.rcItem = {0, 0, 32, 32};
    for (const auto& row : rows) {
        image.setPicture("tips.xpm", row.stretch);
        image.native().draw(item);
        EXPECT_EQ(GetPixel(dc, row.x, row.y), row.colour) << row.x << "," << row.y;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(Win32Forms, AToolWindowsFrameChangesAroundTheSameInsideAndHoldsItsLeastSize) {
    forms::Form form("Sample");
    HWND w = forms::win32::hwnd(form);
    form.setSize(3000, 1500);
    const struct {
        std::function<void()> change;
        int which;
        LONG_PTR bits;
        bool on;
    } rows[] = {
        {[&] { form.setToolWindow(true); }, GWL_EXSTYLE, WS_EX_TOOLWINDOW, true},
        {[&] { form.setMinButton(true); }, GWL_STYLE, WS_MINIMIZEBOX, true},
        {[&] { form.setSizable(true); }, GWL_STYLE, WS_THICKFRAME, true},
        {[&] { form.setSizable(false); }, GWL_STYLE, WS_MINIMIZEBOX, true}, // kept
        {[&] { form.setMinButton(false); }, GWL_STYLE, WS_MINIMIZEBOX, false},
        {[&] { form.setToolWindow(false); }, GWL_EXSTYLE, WS_EX_TOOLWINDOW, false},
    };
    for (const auto& row : rows) {
        row.change();
        EXPECT_EQ((GetWindowLongPtrW(w, row.which) & row.bits) != 0, row.on) << row.bits;
        EXPECT_EQ(form.Width(), 3000);
        EXPECT_EQ(form.Height(), 1500);
    }
    form.centerOnScreen();
    RECT work{}, outer{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(w, &outer);
    EXPECT_LE(std::abs((outer.left - work.left) - (work.right - outer.right)), 1);
    EXPECT_LE(std::abs((outer.top - work.top) - (work.bottom - outer.bottom)), 1);
    form.setMinimumSize(4500, 3000);
    MINMAXINFO info{};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 300);
    EXPECT_EQ(info.ptMinTrackSize.y, 200);
}

TEST(Win32Forms, TipsOutliveABoxMadeAgainForItsScrollBars) {
    forms::Form form("Sample");
    forms::TextBox text{form, "Text1", {120, 120, 3000, 1500}, true};
    forms::CommandButton button{form, "Command1", {120, 1800, 1200, 375}, "OK"};
    text.setText("a line long enough to be wrapped in a box this narrow, unless it scrolls");
    text.setToolTipText("Верхний колонтитул");
    button.setToolTipText("Вставить");
    const int wrapped = text.LineCount();
    text.setScrollBars(forms::TextBox::Both);
    HWND box = forms::win32::hwnd(text);
    EXPECT_TRUE((GetWindowLongPtrW(box, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL)) ==
                (WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL));
    EXPECT_GT(wrapped, 1);
    EXPECT_EQ(text.LineCount(), 1);
    EXPECT_EQ(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(forms::win32::toolTipText(text), "Верхний колонтитул");
    EXPECT_EQ(forms::win32::toolTipText(button), "Вставить");
    button.setToolTipText("");
    EXPECT_EQ(forms::win32::toolTipText(button), "");
    // The box made again is still the one the form routes to.
    int changes = 0;
    text.Change = [&] { ++changes; };
    user::type(text, "x");
    EXPECT_EQ(changes, 1);
}

TEST(Win32Forms, TheHourglassAndTheFormsColourReachItsControls) {
    forms::Form form("Sample");
    forms::Label label{form, "Label1", {120, 120, 1200, 255}, "Label"};
    forms::CommandButton button{form, "Command1", {120, 600, 1200, 375}, "OK"};
    const HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    auto pointerOver = [&](forms::Control& control) {
        SetCursor(nullptr);
        HWND w = forms::win32::hwnd(control);
        SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    forms::showHourglass(true);
    forms::showHourglass(true);
    EXPECT_EQ(pointerOver(button), wait);
    forms::showHourglass(false); // nested: still on
    EXPECT_EQ(pointerOver(label), wait);
    forms::showHourglass(false);
    EXPECT_NE(pointerOver(button), wait);

    form.setBackColor(0xE0E0E0);
    HDC dc = GetDC(forms::win32::hwnd(label));
    SendMessageW(forms::win32::hwnd(form), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(forms::win32::hwnd(label)));
    EXPECT_EQ(GetBkColor(dc), RGB(0xE0, 0xE0, 0xE0));
    ReleaseDC(forms::win32::hwnd(label), dc);
}

TEST(Win32Forms, AButtonShowsItsPictureBesideItsCaptionWithTheVersion6CommonControls) {
    // The program's manifest selects them; the older ones show the caption only.
    forms::Form form("Sample");
    forms::CommandButton button{form, "Command1", {120, 120, 1500, 375}, "Tips"};
    button.setPicture("tips.xpm");
    // Those come from the side-by-side assembly, not from the system folder
    // (wine's report version 5.81 of themselves all the same).
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t file[MAX_PATH] = {};
    GetModuleFileNameW(comctl, file, MAX_PATH);
    CharLowerW(file);
    EXPECT_NE(std::wstring(file).find(L"microsoft.windows.common-controls"), std::wstring::npos);
    EXPECT_NE(SendMessageW(forms::win32::hwnd(button), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_EQ(button.Caption(), "Tips");
    EXPECT_EQ(GetWindowLongPtrW(forms::win32::hwnd(button), GWL_STYLE) & (BS_BITMAP | BS_ICON), 0);
}
