#include "clipboardguard.h"
#include "openedclipboard.h"

#include <cstring>

namespace trapline::dispatch {

namespace {

/// Formats Windows makes from others on demand: they come back with the
/// ones they are made from.
bool synthesized(UINT id) {
    return id == CF_TEXT || id == CF_OEMTEXT || id == CF_BITMAP || id == CF_DIBV5 ||
           id == CF_LOCALE;
}

} // namespace

ClipboardGuard::ClipboardGuard() {
    const OpenedClipboard clipboard;
    if (!clipboard)
        return;
    for (UINT id = EnumClipboardFormats(0); id; id = EnumClipboardFormats(id)) {
        if (synthesized(id))
            continue;
        HANDLE data = GetClipboardData(id);
        if (!data)
            continue;
        if (id == CF_ENHMETAFILE) {
            m_formats.push_back(
                {id, {}, CopyEnhMetaFile(static_cast<HENHMETAFILE>(data), nullptr)});
            continue;
        }
        // Handles of other kinds (palettes, old metafiles, owner-drawn
        // formats) cannot be copied as memory and are not kept.
        if (id == CF_PALETTE || id == CF_METAFILEPICT || id == CF_OWNERDISPLAY ||
            id == CF_DSPBITMAP || id == CF_DSPMETAFILEPICT || id == CF_DSPENHMETAFILE ||
            (id >= CF_GDIOBJFIRST && id <= CF_GDIOBJLAST))
            continue;
        const SIZE_T size = GlobalSize(data);
        const void* bytes = GlobalLock(data);
        if (!bytes)
            continue;
        m_formats.push_back({id, std::string(static_cast<const char*>(bytes), size), nullptr});
        GlobalUnlock(data);
    }
}

ClipboardGuard::~ClipboardGuard() {
    const OpenedClipboard clipboard;
    if (!clipboard) {
        for (Format& f : m_formats)
            if (f.metafile)
                DeleteEnhMetaFile(f.metafile);
        return;
    }
    EmptyClipboard();
    for (Format& f : m_formats) {
        if (f.metafile) {
            SetClipboardData(f.id, f.metafile);
            continue;
        }
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, f.bytes.size());
        if (!block)
            continue;
        std::memcpy(GlobalLock(block), f.bytes.data(), f.bytes.size());
        GlobalUnlock(block);
        if (!SetClipboardData(f.id, block))
            GlobalFree(block);
    }
}

bool ClipboardGuard::putBitmap(HBITMAP bitmap) {
    const OpenedClipboard clipboard;
    const bool put =
        clipboard && EmptyClipboard() && SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    if (!put)
        DeleteObject(bitmap);
    return put;
}

} // namespace trapline::dispatch
