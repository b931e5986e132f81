// The button's face goes through the clipboard; what the user had copied
// must be there again afterwards.
#include "commandbarcontrol.h"
#include "win32connectsystem.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

/// A control that looks at the clipboard when asked to paste its face.
class FaceControl : public vbide::CommandBarControl {
public:
    std::string Caption() const override { return {}; }
    trapline::Result<void> setCaption(const std::string&) override { return {}; }
    trapline::Result<void> PasteFace() override {
        if (!OpenClipboard(nullptr))
            return trapline::makeError(521, "test", "Can't open Clipboard");
        auto* face = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
        BITMAP info{};
        if (face && GetObjectW(face, sizeof(info), &info))
            pastedSize = std::to_string(info.bmWidth) + "x" + std::to_string(info.bmHeight);
        CloseClipboard();
        if (pastedSize.empty())
            return trapline::makeError(521, "test", "no picture on the clipboard");
        return {};
    }
    trapline::Result<void> Delete() override { return {}; }
    std::string pastedSize;
};

void putOnClipboard(UINT format, const std::string& bytes) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    if (format) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        SetClipboardData(format, memory);
    }
    CloseClipboard();
}

/// The bytes of `format` on the clipboard; "absent" when it is not there.
std::string clipboardBytes(UINT format) {
    if (!OpenClipboard(nullptr))
        return "unopened";
    std::string bytes = "absent";
    if (HANDLE data = GetClipboardData(format)) {
        const char* begin = static_cast<const char*>(GlobalLock(data));
        bytes.assign(begin, GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return bytes;
}

TEST(Win32ConnectSystem, PastesTheThirtyTwoPixelFaceAndGivesTheClipboardBack) {
    const UINT custom = RegisterClipboardFormatW(L"Trapline test format");
    const struct {
        const char* what;
        UINT format;
        std::string bytes;
    } cases[] = {
        {"text", CF_UNICODETEXT, std::string("u\0s\0e\0r\0\0\0", 10)},
        {"a format of another program", custom, std::string("\x01\x02\x00\x03", 4)},
        {"nothing", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putOnClipboard(c.format, c.bytes);
        Win32ConnectSystem system;
        FaceControl control;
        EXPECT_TRUE(system.pasteFace(control));
        EXPECT_EQ(control.pastedSize, "32x32");
        if (c.format)
            EXPECT_EQ(clipboardBytes(c.format).substr(0, c.bytes.size()), c.bytes);
        else
            EXPECT_EQ(CountClipboardFormats(), 0);
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP)) << "the face stayed behind";
    }
}

TEST(Win32ConnectSystem, OwnsTheAddInsWindowsByTheEnvironmentsMainWindowWhileItIsOne) {
    HWND main = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    HWND gone = CreateWindowExW(0, L"STATIC", L"gone", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_TRUE(main && gone);
    DestroyWindow(gone);
    const struct {
        const char* what;
        HWND mainWindow;
        HWND owner;
    } cases[] = {
        {"the main window", main, main},
        {"none told", nullptr, nullptr},
        {"a window that has gone", gone, nullptr},
    };
    Win32ConnectSystem system;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        forms::Form form("owned",
                         system.windowOwner(reinterpret_cast<std::uintptr_t>(c.mainWindow)));
        auto* window = static_cast<HWND>(form.windowHandle());
        ASSERT_TRUE(IsWindow(window));
        EXPECT_EQ(GetWindow(window, GW_OWNER), c.owner);
    }
    DestroyWindow(main);
}

} // namespace
