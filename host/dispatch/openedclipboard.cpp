#include "openedclipboard.h"

namespace trapline::dispatch {

OpenedClipboard::OpenedClipboard() {
    // A window of a class the system keeps: the add-in registers none that
    // would outlive it when the environment unloads the DLL.
    m_window = CreateWindowExW(0, L"STATIC", L"TRAPLINE clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, nullptr, nullptr);
    if (!m_window)
        return;
    for (int attempt = 0; attempt < 10 && !m_open; ++attempt) {
        m_open = OpenClipboard(m_window) != FALSE;
        if (!m_open)
            Sleep(20);
    }
}

OpenedClipboard::~OpenedClipboard() {
    if (m_open)
        CloseClipboard();
    if (m_window)
        DestroyWindow(m_window);
}

} // namespace trapline::dispatch
