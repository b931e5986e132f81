#include "folderlocks.h"

#include "diskfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
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

} // namespace

FolderLocks& FolderLocks::operator=(FolderLocks&& other) noexcept {
    if (this != &other) {
        for (int fd : m_fds)
            ::close(fd);
        m_fds = std::move(other.m_fds);
        m_leftovers = std::move(other.m_leftovers);
        other.m_fds.clear();
    }
    return *this;
}

FolderLocks::~FolderLocks() {
    for (int fd : m_fds)
        ::close(fd); // closing the last descriptor releases the lock
}

Result<FolderLocks> FolderLocks::acquire(std::vector<std::string> folders,
                                         const std::function<void(const std::string&)>& waiting) {
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    raiseDescriptorLimit(folders.size());
    FolderLocks locks;
    for (const std::string& folder : folders) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return makeError(errno == EACCES ? errors::PermissionDenied : errors::PathAccess,
                             folder,
                             std::string("cannot lock the folder: ") + std::strerror(errno));
        locks.m_fds.push_back(fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
                continue; // a file system without locks: commits still check every file
            if (errno != EWOULDBLOCK)
                return makeError(errors::PathAccess, folder,
                                 std::string("cannot lock the folder: ") + std::strerror(errno));
            if (waiting)
                waiting(folder);
            int rc;
            while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (rc != 0)
                return makeError(errors::PathAccess, folder,
                                 std::string("cannot lock the folder: ") + std::strerror(errno));
        }
        for (std::string& name : DiskFile::removeLeftovers(folder))
            locks.m_leftovers.push_back(std::move(name));
    }
    return locks;
}

} // namespace trapline
