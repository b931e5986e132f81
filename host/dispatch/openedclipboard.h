#pragma once

// The clipboard, opened by the add-in to lend a command-bar control its face.

#include <windows.h>

namespace trapline::dispatch {

/// The clipboard, open for as long as this lives, under a window of the
/// add-in's own. EmptyClipboard gives the clipboard to the window that opened
/// it, and Windows refuses SetClipboardData to a clipboard emptied without
/// one: the window is a message-only window made here, never shown, gone
/// with this object (what was put on the clipboard stays there).
///
///     OpenedClipboard clipboard;
///     if (clipboard) { EmptyClipboard(); SetClipboardData(CF_BITMAP, face); }
class OpenedClipboard {
public:
    /// Tries a few times: another program may hold the clipboard a moment.
    OpenedClipboard();
    ~OpenedClipboard();
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    explicit operator bool() const { return m_open; }
    /// The window that opened the clipboard; it owns it once emptied.
    HWND window() const { return m_window; }

private:
    HWND m_window = nullptr;
    bool m_open = false;
};

} // namespace trapline::dispatch
