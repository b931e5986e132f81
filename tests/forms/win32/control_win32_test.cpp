// What only the Win32 side's windows show.
#include "../user.h"
#include "forms.h"
#include "win32forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

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

namespace {

/// Whether `font` has a character of its own for each one of `text`.
bool hasLetters(HFONT font, const std::wstring& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    const DWORD found = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()),
                                         glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, before);
    DeleteDC(dc);
    return found != GDI_ERROR && std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end();
}

/// The cell height, the realized weight and the dialog base unit (the
/// average width of the Latin letters) of `font`.
std::tuple<LONG, LONG, LONG> measure(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE letters{};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &letters);
    SelectObject(dc, before);
    DeleteDC(dc);
    return {metrics.tmHeight, metrics.tmWeight, (letters.cx / 26 + 1) / 2};
}

HFONT fontOf(const forms::Control& control) {
    return reinterpret_cast<HFONT>(SendMessageW(forms::win32::hwnd(control), WM_GETFONT, 0, 0));
}

} // namespace

TEST(Win32Forms, RussianCaptionsKeepTheirLettersWeightAndRoomWhenTheAnsiCodePageIsNotCyrillic) {
    // Windows whose ANSI code page is not 1251 have an MS Sans Serif of one
    // Western code page: the bitmap font wine makes them with stands in for it.
    ASSERT_NE(GetACP(), 1251u) << "run under a Western code page (LC_ALL=en_US.UTF-8 for wine)";
    const wchar_t westernSansSerif[] = L"Z:\\usr\\share\\wine\\fonts\\sserife.fon";
    ASSERT_GT(AddFontResourceExW(westernSansSerif, FR_PRIVATE, nullptr), 0)
        << "needs wine's bitmap fonts (fonts-wine)";
    {
        forms::Form form("Sample");
        forms::Label label{form, "Label6", {150, 6285, 3165, 225}, "Журнал"};
        forms::CheckBox box{form, "OnlyFunc", {150, 915, 1590, 210}, "Только функции"};
        for (const bool bold : {false, true}) {
            SCOPED_TRACE(bold ? "bold" : "regular");
            HFONT asked = CreateFontW(-11, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Sans Serif");
            // Without a choice of font the captions would lose their letters.
            EXPECT_FALSE(hasLetters(asked, L"Журнал"));
            const auto [cell, weight, unit] = measure(asked);
            label.setFont({"MS Sans Serif", 8.25, bold});
            box.setFont({"MS Sans Serif", 8.25, bold});
            for (const forms::Control* control :
                 {static_cast<forms::Control*>(&label), static_cast<forms::Control*>(&box)}) {
                SCOPED_TRACE(control->Name());
                HFONT font = fontOf(*control);
                EXPECT_TRUE(hasLetters(font, forms::win32::wide(forms::win32::windowText(
                                                 forms::win32::hwnd(*control)))));
                const auto [chosenCell, chosenWeight, chosenUnit] = measure(font);
                EXPECT_EQ(chosenCell, cell);
                EXPECT_EQ(chosenWeight >= FW_BOLD, bold);
                EXPECT_LE(std::abs(chosenUnit - unit), 1);
            }
            DeleteObject(asked);
        }
        // The form's own font, which every control starts with.
        EXPECT_TRUE(hasLetters(
            reinterpret_cast<HFONT>(SendMessageW(forms::win32::hwnd(form), WM_GETFONT, 0, 0)),
            L"Вставить обработку ошибок"));
    }
    RemoveFontResourceExW(westernSansSerif, FR_PRIVATE, nullptr);
}

TEST(Win32Forms, ABorderedFrameIsAPlainLineThatLetsWhatLiesInsideShowAndTakeTheMouse) {
    forms::Form form("Sample");
    forms::Frame frame{form, "Frame1", {150, 150, 600, 450}, true}; // 40 by 30 pixels
    forms::Frame plain{form, "Frame2", {150, 900, 600, 450}};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 30);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF inside = RGB(1, 2, 3), line = GetSysColor(COLOR_WINDOWTEXT);
    HBRUSH fill = CreateSolidBrush(inside);
    RECT all{0, 0, 40, 30};
    FillRect(dc, &all, fill);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.hwndItem = forms::win32::hwnd(frame);
    item.hDC = dc;
    item.rcItem = all;
    ASSERT_TRUE(frame.native().draw);
    frame.native().draw(item);
    const struct {
        int x, y;
        COLORREF colour;
    } rows[] = {
        {0, 0, line},  {39, 0, line},  {0, 29, line},    {39, 29, line},   {20, 0, line},
        {0, 15, line}, {1, 1, inside}, {20, 15, inside}, {38, 28, inside},
    };
    for (const auto& row : rows)
        EXPECT_EQ(GetPixel(dc, row.x, row.y), row.colour) << row.x << "," << row.y;
    SelectObject(dc, old);
    DeleteObject(fill);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_FALSE(plain.native().draw);
    // A click inside goes to the box the line surrounds.
    EXPECT_EQ(SendMessageW(forms::win32::hwnd(frame), WM_NCHITTEST, 0, MAKELPARAM(20, 20)),
              HTTRANSPARENT);
}

TEST(Win32Forms, AWindowOpensOverTheMiddleOfItsOwnerInsideTheWorkAreaUnlessCodePlacedIt) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    auto twips = [](LONG pixels) { return forms::pixelsToTwips(static_cast<int>(pixels)); };
    auto centre = [](HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    const LONG workWidth = work.right - work.left;
    const struct {
        const char* what;
        bool owned, modal, placed;
        LONG ownerLeft; // pixels from the work area's left
    } rows[] = {
        {"over its owner", true, false, false, 60},
        {"modal, over its owner", true, true, false, 60},
        {"an owner at the right edge: kept inside", true, false, false, workWidth - 200},
        {"no owner: the work area's middle", false, false, false, 0},
        {"placed by code: left there", true, false, true, 60},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        forms::Form owner("Owner");
        owner.Move({twips(work.left + row.ownerLeft), twips(work.top + 40), 6000, 4500});
        owner.Show();
        forms::Form form("Owned",
                         row.owned ? forms::Form::Owner{&owner, nullptr} : forms::Form::Owner{});
        form.setSize(4500, 3000);
        if (row.placed)
            form.Move({twips(work.left + 7), twips(work.top + 9), 4500, 3000});
        HWND w = forms::win32::hwnd(form);
        RECT shown{};
        if (row.modal) {
            user::soon([&] {
                GetWindowRect(w, &shown);
                user::close(form);
            });
            form.ShowModal();
        } else {
            form.Show();
            GetWindowRect(w, &shown);
        }
        const LONG width = shown.right - shown.left, height = shown.bottom - shown.top;
        const POINT middle{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
        if (row.placed) {
            EXPECT_EQ(std::pair(shown.left, shown.top), std::pair(work.left + 7, work.top + 9));
        } else if (!row.owned) {
            EXPECT_LE(std::abs(middle.x - (work.left + work.right) / 2), 1);
            EXPECT_LE(std::abs(middle.y - (work.top + work.bottom) / 2), 1);
        } else if (row.ownerLeft + 400 > workWidth) {
            EXPECT_EQ(shown.right, work.right);
            EXPECT_LE(std::abs(middle.y - centre(forms::win32::hwnd(owner)).y), 1);
        } else {
            const POINT over = centre(forms::win32::hwnd(owner));
            EXPECT_LE(std::abs(middle.x - over.x), 1);
            EXPECT_LE(std::abs(middle.y - over.y), 1);
        }
        EXPECT_GT(width, 0);
        EXPECT_GT(height, 0);
        // Shown again, it stays where it was.
        if (!row.modal) {
            SetWindowPos(w, nullptr, work.left + 3, work.top + 5, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            form.Hide();
            form.Show();
            RECT again{};
            GetWindowRect(w, &again);
            EXPECT_EQ(std::pair(again.left, again.top), std::pair(work.left + 3, work.top + 5));
        }
    }
}
