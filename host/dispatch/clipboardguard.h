#pragma once

// The clipboard is the only way a face reaches a command-bar control, and it
// belongs to the user: what they had copied is taken aside while the face is
// borrowed and put back after.

#include <windows.h>

#include <string>
#include <vector>

namespace trapline::dispatch {

/// A copy of the clipboard's formats, put back when the guard ends.
///
///     ClipboardGuard saved;          // the user's clipboard taken aside
///     saved.putBitmap(face);         // the clipboard now holds the face only
///     control.call(L"PasteFace");
///                                    // the user's clipboard is back
class ClipboardGuard {
public:
    ClipboardGuard();
    ~ClipboardGuard();
    ClipboardGuard(const ClipboardGuard&) = delete;
    ClipboardGuard& operator=(const ClipboardGuard&) = delete;

    /// Puts `bitmap` alone on the clipboard, which takes it over; false when
    /// the clipboard cannot be opened.
    bool putBitmap(HBITMAP bitmap);

private:
    struct Format {
        UINT id;
        std::string bytes; ///< the memory block's bytes
        HENHMETAFILE metafile = nullptr;
    };
    std::vector<Format> m_formats;
};

} // namespace trapline::dispatch
