#include "folderlocks.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
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
    for (const std::string& folder : folders) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return lockError(folder, errno);
        locks.m_fds.push_back(fd);
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return lockError(folder, errno);
        open.push_back(
            {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), fd, folder});
    }
    auto key = [](const OpenFolder& f) { return std::tie(f.device, f.inode); };
    std::stable_sort(open.begin(), open.end(),
                     [&](const OpenFolder& a, const OpenFolder& b) { return key(a) < key(b); });
    open.erase(
        std::unique(open.begin(), open.end(),
                    [&](const OpenFolder& a, const OpenFolder& b) { return key(a) == key(b); }),
        open.end());
    // A second name of a folder needs no descriptor of its own.
    for (int fd : locks.m_fds)
        if (std::none_of(open.begin(), open.end(),
                         [fd](const OpenFolder& f) { return f.fd == fd; }))
            ::close(fd);
    locks.m_fds.clear();
    for (const OpenFolder& f : open)
        locks.m_fds.push_back(f.fd);
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
