#include "clipboardguard.h"

#include <cstring>

namespace trapline::dispatch {

namespace {

/// Another program may hold the clipboard for a moment.
bool openClipboard() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(nullptr))
            return true;
        Sleep(20);
    }
    return false;
}

/// Formats Windows makes from others on demand: they come back with the
/// ones they are made from.
bool synthesized(UINT id) {
    return id == CF_TEXT || id == CF_OEMTEXT || id == CF_BITMAP || id == CF_DIBV5 ||
           id == CF_LOCALE;
}

} // namespace

ClipboardGuard::ClipboardGuard() {
    if (!openClipboard())
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
    CloseClipboard();
}

ClipboardGuard::~ClipboardGuard() {
    if (!openClipboard()) {
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
    CloseClipboard();
}

bool ClipboardGuard::putBitmap(HBITMAP bitmap) {
    if (!openClipboard()) {
        DeleteObject(bitmap);
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    if (!put)
        DeleteObject(bitmap);
    CloseClipboard();
    return put;
}

} // namespace trapline::dispatch
