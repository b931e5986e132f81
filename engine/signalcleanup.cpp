#include "signalcleanup.h"

#include "diskfile.h"

#include <csignal>
#include <pthread.h>
#include <thread>

namespace trapline {

void SignalCleanup::install(std::function<void(int signal)> announce) {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, sig);
    // Threads started later inherit the mask, so only the thread below ever
    // sees these signals, and it may take locks and wait, as a handler may not.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, announce = std::move(announce)] {
        int sig = 0;
        while (sigwait(&set, &sig) != 0) {
        }
        DiskFile::removeStagedFiles();
        if (announce)
            announce(sig);
        std::signal(sig, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        raise(sig);
    }).detach();
}

} // namespace trapline
