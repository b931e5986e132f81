// What only the Win32 side's windows show.
#include "../user.h"
#include "forms.h"
#include "win32forms.h"

#include <gtest/gtest.h>

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
    for (const auto& row : rows) {
        image.setPicture("tips.xpm", row.stretch);
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
        image.native().draw(item);
        EXPECT_EQ(GetPixel(dc, row.x, row.y), row.colour) << row.x << "," << row.y;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}
