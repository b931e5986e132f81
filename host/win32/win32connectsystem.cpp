#include "win32connectsystem.h"

#include "activationscope.h"
#include "clipboardsnapshot.h"
#include "commandbarcontrol.h"
#include "openedclipboard.h"
#include "servermodule.h"

#include "platform/windows/wide.h"

#include <windows.h>

namespace {

constexpr long kResourceNotFound = 326;

using trapline::platform::windows::toUtf8;
using trapline::platform::windows::toWide;

std::string moduleFolder() {
    const std::wstring path = ServerModule::path();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : toUtf8(path.substr(0, slash));
}

/// Puts the bitmap on the clipboard; the clipboard owns it afterwards.
bool putOnClipboard(HBITMAP bitmap) {
    const trapline::dispatch::OpenedClipboard clipboard;
    return clipboard && EmptyClipboard() && SetClipboardData(CF_BITMAP, bitmap) != nullptr;
}

} // namespace

std::unique_ptr<ConnectSystem> ConnectSystem::make() {
    return std::make_unique<Win32ConnectSystem>();
}

frmAddIn::Services Win32ConnectSystem::services() {
    return {m_messages, m_settings, m_registry, &Win32ConnectSystem::startProgram, moduleFolder()};
}

trapline::Result<void> Win32ConnectSystem::pasteFace(vbide::CommandBarControl& control) {
    auto* picture = static_cast<HBITMAP>(
        LoadImageW(ServerModule::handle(), L"MENUBMP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!picture)
        return trapline::makeError(kResourceNotFound, "Trapline.Connect",
                                   "Resource with identifier 'MENUBMP' not found");
    // The clipboard is the only way a face reaches a control; what the user
    // had copied is given back right after.
    ClipboardSnapshot saved;
    if (!putOnClipboard(picture)) {
        DeleteObject(picture);
        // The clipboard may have been emptied before the face was refused.
        saved.restore();
        return trapline::makeError(521, "Trapline.Connect", "Can't open Clipboard");
    }
    auto pasted = control.PasteFace();
    saved.restore();
    return pasted;
}

void Win32ConnectSystem::adopt(frmAddIn& /*window*/) {}

void Win32ConnectSystem::makingWindows(const std::function<void()>& show) {
    ActivationScope scope;
    show();
}

forms::FormOwner Win32ConnectSystem::windowOwner(std::uintptr_t mainWindow) {
    HWND window = reinterpret_cast<HWND>(mainWindow);
    if (!window || !IsWindow(window))
        return {};
    return {nullptr, window};
}

bool Win32ConnectSystem::startProgram(const std::string& commandLine) {
    // The whole text names the program, as on Linux: a path with blanks stays one.
    std::wstring line = L"\"" + toWide(commandLine) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
