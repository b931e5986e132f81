#include "folderlocks.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace trapline {
namespace {

/// A large project spans many folders, each lock holds a descriptor: let the
/// process have as many as the system allows it.
void raiseDescriptorLimit(size_t needed) {
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur >= needed + 64)
        return;
    rl.rlim_cur = rl.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &rl);
}

Error lockError(const std::string& folder, int err) {
    return makeError(err == EACCES ? errors::PermissionDenied : errors::PathAccess, folder,
                     std::string("cannot lock the folder: ") + std::strerror(err));
}

/// One folder to lock, known by what it is rather than what it is called.
struct OpenFolder {
    uint64_t device = 0;
    uint64_t inode = 0;
    int fd = -1;
    std::string name; ///< the first name it was given, for messages
};

/// Waits for another run's lock on `f`, asking `waiting` whether to go on.
/// Returns 0, or the errno that ended the wait (ECANCELED when given up).
int waitForLock(const OpenFolder& f, const FolderLocks::Waiting& waiting) {
    if (!waiting) {
        int rc;
        while ((rc = ::flock(f.fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        return rc == 0 ? 0 : errno;
    }
    for (;;) {
        if (!waiting(f.name))
            return ECANCELED;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (::flock(f.fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return errno;
    }
}

} // namespace

FolderLocks& FolderLocks::operator=(FolderLocks&& other) noexcept {
    if (this != &other) {
        for (int fd : m_fds)
            ::close(fd);
        m_fds = std::move(other.m_fds);
        other.m_fds.clear();
    }
    return *this;
}

FolderLocks::~FolderLocks() {
    for (int fd : m_fds)
        ::close(fd); // closing the last descriptor releases the lock
}

Result<FolderLocks> FolderLocks::acquire(std::vector<std::string> folders, const Waiting& waiting) {
    // A folder named once per module would cost a descriptor per module.
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    raiseDescriptorLimit(folders.size());
    FolderLocks locks; // closes every descriptor opened here on each way out
    std::vector<OpenFolder> open;
    std::set<std::pair<uint64_t, uint64_t>> seen;
    for (const std::string& folder : folders) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return lockError(folder, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            ::close(fd);
            return lockError(folder, err);
        }
        const std::pair<uint64_t, uint64_t> key{st.st_dev, st.st_ino};
        if (!seen.insert(key).second) {
            ::close(fd); // a second name of a folder already here
            continue;
        }
        locks.m_fds.push_back(fd);
        open.push_back({key.first, key.second, fd, folder});
    }
    std::sort(open.begin(), open.end(), [](const OpenFolder& a, const OpenFolder& b) {
        return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
    });
    for (const OpenFolder& f : open) {
        if (::flock(f.fd, LOCK_EX | LOCK_NB) == 0)
            continue;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
            continue; // a file system without locks: commits still check every file
        if (errno != EWOULDBLOCK)
            return lockError(f.name, errno);
        if (int err = waitForLock(f, waiting); err == ECANCELED)
            return makeError(errors::Cancelled, f.name,
                             "gave up waiting for another trapline run; nothing was written");
        else if (err != 0)
            return lockError(f.name, err);
    }
    return locks;
}

} // namespace trapline
