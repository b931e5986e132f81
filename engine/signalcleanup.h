#pragma once

#include <functional>

namespace trapline {

/// Ends the process cleanly on Ctrl-C, SIGTERM and SIGHUP: staged files not
/// yet committed are removed (a commit in progress is finished first), so no
/// temporary copy of a module is left behind, then the process ends by the
/// same signal.
class SignalCleanup {
public:
    /// Call once, early in main(), before any other thread is started: the
    /// signals are blocked in every thread and taken by one of our own.
    /// `announce` (optional) runs on that thread before the process ends.
    static void install(std::function<void(int signal)> announce = {});
};

} // namespace trapline
