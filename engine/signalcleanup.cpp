#include "signalcleanup.h"

#include "diskfile.h"

#include "platform/process.h"

#include <atomic>

namespace trapline {
namespace {

std::atomic<int> g_handoffs{0};
std::atomic<int> g_pending{0};

} // namespace

SignalCleanup::Handoff::Handoff() {
    ++g_handoffs;
}

SignalCleanup::Handoff::~Handoff() {
    --g_handoffs;
}

bool SignalCleanup::interrupted() {
    return g_pending.load() != 0;
}

void SignalCleanup::endByInterruption() {
    if (int sig = g_pending.load()) {
        DiskFile::removeStagedFiles(); // the signal's thread may not be done with it yet
        platform::endByInterruption(sig);
    }
}

void SignalCleanup::install(std::function<void(int signal)> announce) {
    platform::watchInterruptions([announce = std::move(announce)](int sig) {
        if (g_pending.load() == 0 && g_handoffs.load() > 0) {
            // Said before the commits stop, so that a run that sees them
            // stop always finds why.
            g_pending = sig;
            DiskFile::removeStagedFiles();
            return; // the run reports what it wrote, then ends by it
        }
        DiskFile::removeStagedFiles();
        if (announce)
            announce(sig);
        platform::endByInterruption(sig);
    });
}

} // namespace trapline
