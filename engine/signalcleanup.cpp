#include "signalcleanup.h"

#include "diskfile.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace trapline {
namespace {

std::atomic<int> g_handoffs{0};
std::atomic<int> g_pending{0};

[[noreturn]] void endBy(int sig) {
    std::fflush(nullptr);
    std::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    std::_Exit(128 + sig); // only if the signal is ignored by the system
}

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
        endBy(sig);
    }
}

void SignalCleanup::install(std::function<void(int signal)> announce) {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, sig);
    // Threads started later inherit the mask, so only the thread below ever
    // sees these signals, and it may take locks and wait, as a handler may not.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, announce = std::move(announce)] {
        for (;;) {
            int sig = 0;
            while (sigwait(&set, &sig) != 0) {
            }
            if (g_pending.load() == 0 && g_handoffs.load() > 0) {
                // Said before the commits stop, so that a run that sees them
                // stop always finds why.
                g_pending = sig;
                DiskFile::removeStagedFiles();
                continue; // the run reports what it wrote, then ends by it
            }
            DiskFile::removeStagedFiles();
            if (announce)
                announce(sig);
            endBy(sig);
        }
    }).detach();
}

} // namespace trapline
