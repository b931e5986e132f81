// The windows' fonts. The captions are Russian, and MS Sans Serif is a bitmap
// font with the characters of one code page: on a Windows whose ANSI code
// page is not 1251 the system's MS Sans Serif has no Cyrillic letters, and
// every caption would be drawn as "?". The face asked for is kept where it
// can draw them; otherwise it is asked for in the Cyrillic character set, and
// then faces that carry Cyrillic on every Windows stand in for it.
#include "win32forms.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace forms::win32 {
namespace {

/// The letters the windows' captions are written in.
constexpr wchar_t kCaptionLetters[] = L"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
                                      L"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"
                                      L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

/// Stand-ins with Cyrillic letters, in the order Windows versions ship them.
constexpr const wchar_t* kStandIns[] = {L"Microsoft Sans Serif", L"Tahoma", L"Segoe UI"};

HFONT create(int height, const StdFont& font, const std::wstring& face, BYTE charset) {
    return CreateFontW(height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

/// Whether the font selected into `dc` has a character for each of `text`.
bool canDraw(HDC dc, const std::wstring& text) {
    TEXTMETRICW metrics{};
    if (text.empty() || !GetTextMetricsW(dc, &metrics))
        return text.empty();
    const int length = static_cast<int>(text.size());
    if ((metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR)) == 0) {
        // A bitmap font holds the characters of its character set's code
        // page and no others.
        CHARSETINFO info{};
        if (!TranslateCharsetInfo(
                reinterpret_cast<DWORD*>(static_cast<DWORD_PTR>(metrics.tmCharSet)), &info,
                TCI_SRCCHARSET))
            return false;
        BOOL usedDefault = FALSE;
        const int size = WideCharToMultiByte(info.ciACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                             nullptr, 0, nullptr, &usedDefault);
        return size > 0 && !usedDefault;
    }
    std::vector<WORD> glyphs(text.size());
    if (GetGlyphIndicesW(dc, text.data(), length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
        GDI_ERROR)
        return false;
    return std::find(glyphs.begin(), glyphs.end(), WORD(0xFFFF)) == glyphs.end();
}

} // namespace

HFONT makeFont(const StdFont& font) {
    // Point sizes at the screen's DPI; the windows' own 8.25 points is the
    // dialog font's 8, sized as the system sizes a dialog's. A family the
    // system lacks is mapped by it to its own stand-in.
    const int height = font.Size == StdFont().Size
                           ? -MulDiv(8, screenDpi(), 72)
                           : -static_cast<int>(std::lround(font.Size * screenDpi() / 72.0));
    const std::wstring face = wide(font.Name);
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT first = nullptr;
    // A stand-in gets the cell height of the face asked for, so that a line
    // of text takes the room the windows were laid out for.
    int cell = height;
    auto fits = [&](HFONT candidate) {
        const HGDIOBJ before = SelectObject(dc, candidate);
        const bool drawable = canDraw(dc, kCaptionLetters);
        TEXTMETRICW metrics{};
        if (!first && GetTextMetricsW(dc, &metrics))
            cell = metrics.tmHeight;
        SelectObject(dc, before);
        return drawable;
    };
    HFONT chosen = nullptr;
    std::vector<HFONT> tried;
    for (int i = 0; !chosen && i < 2 + static_cast<int>(std::size(kStandIns)); ++i) {
        HFONT candidate =
            i < 2 ? create(height, font, face, i == 0 ? DEFAULT_CHARSET : RUSSIAN_CHARSET)
                  : create(cell, font, kStandIns[i - 2], DEFAULT_CHARSET);
        if (!candidate)
            continue;
        if (fits(candidate))
            chosen = candidate;
        else
            tried.push_back(candidate);
        if (!first)
            first = candidate;
    }
    DeleteDC(dc);
    // Nothing draws the letters: the face asked for, as the system maps it.
    if (!chosen)
        chosen = first;
    for (HFONT candidate : tried)
        if (candidate != chosen)
            DeleteObject(candidate);
    return chosen;
}

} // namespace forms::win32
