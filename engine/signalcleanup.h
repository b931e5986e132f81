#pragma once

#include <functional>

namespace trapline {

/// Ends the process cleanly on Ctrl-C, SIGTERM and SIGHUP: staged files not
/// yet committed are removed (a commit in progress is finished first), so no
/// temporary copy of a module is left behind, then the process ends by the
/// same signal.
///
/// A run that can tell what it did holds a Handoff: the first signal then
/// stops every further commit and leaves the ending to the run, which
/// reports what was written and calls endByInterruption(). A second signal
/// ends the process at once.
class SignalCleanup {
public:
    /// Call once, early in main(), before any other thread is started: the
    /// signals are blocked in every thread and taken by one of our own.
    /// `announce` (optional) runs on that thread before the process ends.
    static void install(std::function<void(int signal)> announce = {});

    /// While one lives, a signal is handed to the run that holds it.
    class Handoff {
    public:
        Handoff();
        ~Handoff();
        Handoff(const Handoff&) = delete;
        Handoff& operator=(const Handoff&) = delete;
    };

    /// Whether a signal came while a Handoff was held.
    static bool interrupted();
    /// Ends the process by the signal that interrupted it; returns when none did.
    static void endByInterruption();
};

} // namespace trapline
