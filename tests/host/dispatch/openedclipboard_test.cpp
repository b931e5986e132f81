// The add-in opens the clipboard under a window of its own: Windows refuses
// SetClipboardData after EmptyClipboard on a clipboard opened without one.
#include "openedclipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using trapline::dispatch::OpenedClipboard;

namespace {

/// The parent every message-only window has.
HWND messageOnlyRoot() {
    HWND probe =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND root = GetAncestor(probe, GA_PARENT);
    DestroyWindow(probe);
    return root;
}

std::string clipboardText() {
    if (!OpenClipboard(nullptr))
        return "unopened";
    std::string text = "absent";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

} // namespace

TEST(OpenedClipboard, OwnsTheClipboardByAHiddenWindowOfItsOwnAndLeavesWhatItPutThere) {
    HWND owner = nullptr;
    {
        const OpenedClipboard clipboard;
        ASSERT_TRUE(clipboard);
        ASSERT_TRUE(EmptyClipboard());
        owner = GetClipboardOwner();
        EXPECT_EQ(owner, clipboard.window());
        ASSERT_NE(owner, nullptr);
        DWORD process = 0;
        GetWindowThreadProcessId(owner, &process);
        EXPECT_EQ(process, GetCurrentProcessId());
        EXPECT_EQ(GetAncestor(owner, GA_PARENT), messageOnlyRoot());
        EXPECT_FALSE(IsWindowVisible(owner));
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 6);
        std::memcpy(GlobalLock(block), "face!", 6);
        GlobalUnlock(block);
        EXPECT_NE(SetClipboardData(CF_TEXT, block), nullptr);
    }
    // The window goes with the object; what it put on the clipboard stays.
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(clipboardText(), "face!");
}

TEST(OpenedClipboard, SaysSoWhenAnotherProgramKeepsTheClipboardOpen) {
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"other", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        const bool open = OpenClipboard(window) != FALSE;
        SetEvent(opened);
        WaitForSingleObject(done, 5000);
        if (open)
            CloseClipboard();
        DestroyWindow(window);
    });
    WaitForSingleObject(opened, 5000);
    {
        const OpenedClipboard clipboard;
        EXPECT_FALSE(clipboard);
    }
    SetEvent(done);
    other.join();
    const OpenedClipboard clipboard; // free again
    EXPECT_TRUE(clipboard);
    CloseHandle(opened);
    CloseHandle(done);
}
