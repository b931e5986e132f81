#pragma once

#include "frmaddin.h"
#include "result.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace vbide {
class CommandBarControl;
} // namespace vbide

/// What Connect asks of the system it runs on: the surroundings of its
/// window, the clipboard around a button's face, and readying a new window.
/// Each system (Qt on Linux, Win32 on Windows) has one implementation, made
/// by make().
class ConnectSystem {
public:
    virtual ~ConnectSystem() = default;

    /// The add-in's own surroundings: message boxes, the user's settings,
    /// the registry, the program starter and the library's folder. They
    /// live as long as this object.
    virtual frmAddIn::Services services() = 0;
    /// Puts the bitmap resource "MENUBMP" on the clipboard for `control` to
    /// paste as its face, then gives the clipboard back what it held before.
    virtual trapline::Result<void> pasteFace(vbide::CommandBarControl& control) = 0;
    /// Readies a window Connect has just made, before it is first shown.
    virtual void adopt(frmAddIn& window) = 0;
    /// Runs `show`, which may make the add-in's windows, with what those
    /// windows need of the system around it.
    virtual void makingWindows(const std::function<void()>& show) { show(); }
    /// The owner of the add-in's windows, given the environment's main
    /// window (vbide::VBE::MainWindow). None unless the system says so.
    virtual forms::FormOwner windowOwner(std::uintptr_t /*mainWindow*/) { return {}; }

    /// This system's implementation.
    static std::unique_ptr<ConnectSystem> make();
};
