#include "win32forms.h"

#include <cstdint>
#include <map>
#include <sstream>
#include <vector>

// The add-in's pictures are the XPM files the Qt side shows, kept as RCDATA
// resources named by their file names: one source for both sides, read here.

namespace forms::win32 {
namespace {

/// Pixels as 0xAARRGGBB, alpha 0 or 255.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;
};

bool resourceBytes(const std::string& name, const wchar_t* type, std::string& bytes) {
    HMODULE module = resourceModule();
    HRSRC found = FindResourceW(module, wide(name).c_str(), type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
    return true;
}

/// The quoted strings of an XPM file, in order.
std::vector<std::string> quoted(const std::string& text) {
    std::vector<std::string> strings;
    for (size_t at = text.find('"'); at != std::string::npos;) {
        const size_t end = text.find('"', at + 1);
        if (end == std::string::npos)
            break;
        strings.push_back(text.substr(at + 1, end - at - 1));
        at = text.find('"', end + 1);
    }
    return strings;
}

/// Reads an XPM picture: "None" is transparent, colours are "#RRGGBB".
bool readXpm(const std::string& text, Pixels& pixels) {
    const std::vector<std::string> lines = quoted(text);
    if (lines.empty())
        return false;
    std::istringstream header(lines[0]);
    int colours = 0, perPixel = 0;
    if (!(header >> pixels.width >> pixels.height >> colours >> perPixel) || pixels.width <= 0 ||
        pixels.height <= 0 || colours <= 0 || perPixel <= 0 ||
        lines.size() < static_cast<size_t>(1 + colours + pixels.height))
        return false;
    std::map<std::string, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const std::string& line = lines[static_cast<size_t>(i)];
        if (line.size() < static_cast<size_t>(perPixel))
            return false;
        std::istringstream colourKeys(line.substr(static_cast<size_t>(perPixel)));
        std::string key, value;
        std::uint32_t colour = 0;
        while (colourKeys >> key >> value)
            if (key == "c")
                colour = value.size() == 7 && value[0] == '#'
                             ? 0xFF000000u | static_cast<std::uint32_t>(
                                                 std::stoul(value.substr(1), nullptr, 16))
                             : 0; // None, or a colour name no picture of ours uses
        palette[line.substr(0, static_cast<size_t>(perPixel))] = colour;
    }
    pixels.argb.assign(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height), 0);
    for (int y = 0; y < pixels.height; ++y) {
        const std::string& row = lines[static_cast<size_t>(1 + colours + y)];
        for (int x = 0; x < pixels.width; ++x) {
            const size_t at = static_cast<size_t>(x * perPixel);
            if (at + static_cast<size_t>(perPixel) > row.size())
                break;
            auto it = palette.find(row.substr(at, static_cast<size_t>(perPixel)));
            if (it != palette.end())
                pixels.argb[static_cast<size_t>(y * pixels.width + x)] = it->second;
        }
    }
    return true;
}

bool readPicture(const std::string& picture, Pixels& pixels) {
    std::string bytes;
    return resourceBytes(picture, reinterpret_cast<LPCWSTR>(RT_RCDATA), bytes) &&
           readXpm(bytes, pixels);
}

/// A top-down 32-bit DIB section of `pixels`, each made by `pixel`.
template <class F> HBITMAP dib(const Pixels& pixels, F pixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (size_t i = 0; i < pixels.argb.size(); ++i)
        out[i] = pixel(pixels.argb[i]);
    return bitmap;
}

} // namespace

HBITMAP loadPicture(const std::string& picture, COLORREF background, SIZE* size) {
    Pixels pixels;
    if (!readPicture(picture, pixels))
        return nullptr;
    if (size)
        *size = {pixels.width, pixels.height};
    const std::uint32_t back =
        (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    return dib(pixels, [back](std::uint32_t p) { return p >> 24 ? p & 0xFFFFFFu : back; });
}

HICON loadIcon(const std::string& picture) {
    Pixels pixels;
    if (!readPicture(picture, pixels))
        return nullptr;
    ICONINFO info{};
    info.fIcon = TRUE;
    // Premultiplied is plain for alpha 0 and 255; the mask is for systems
    // that draw without alpha.
    info.hbmColor = dib(pixels, [](std::uint32_t p) { return p >> 24 ? p : 0u; });
    info.hbmMask = CreateBitmap(pixels.width, pixels.height, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmMask);
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            SetPixel(dc, x, y,
                     pixels.argb[static_cast<size_t>(y * pixels.width + x)] >> 24
                         ? RGB(0, 0, 0)
                         : RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return icon;
}

} // namespace forms::win32
