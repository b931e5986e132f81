#include "clipboardsnapshot.h"
#include "openedclipboard.h"

#include <windows.h>

#include <cstring>

namespace {

/// Formats whose handles are no global memory, and the ones the system
/// synthesizes from another format (copied through their source).
bool copyable(UINT format) {
    switch (format) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_ENHMETAFILE:
    case CF_PALETTE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_DIBV5:
        return false;
    default:
        return format < CF_GDIOBJFIRST || format > CF_GDIOBJLAST;
    }
}

} // namespace

ClipboardSnapshot::ClipboardSnapshot() {
    const trapline::dispatch::OpenedClipboard open;
    if (!open)
        return;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        if (!copyable(format))
            continue;
        HANDLE data = GetClipboardData(format);
        const void* bytes = data ? GlobalLock(data) : nullptr;
        if (!bytes)
            continue;
        m_formats.emplace_back(format,
                               std::string(static_cast<const char*>(bytes), GlobalSize(data)));
        GlobalUnlock(data);
    }
}

void ClipboardSnapshot::restore() const {
    const trapline::dispatch::OpenedClipboard open;
    if (!open)
        return;
    EmptyClipboard();
    for (const auto& [format, bytes] : m_formats) {
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        void* target = copy ? GlobalLock(copy) : nullptr;
        if (!target) {
            if (copy)
                GlobalFree(copy);
            continue;
        }
        std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(copy);
        // The clipboard owns the memory once it took it.
        if (!SetClipboardData(format, copy))
            GlobalFree(copy);
    }
}
