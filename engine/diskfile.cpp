#include "diskfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace trapline {
namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.device = static_cast<uint64_t>(st.st_dev);
    s.mode = static_cast<uint32_t>(st.st_mode & 07777);
    return s;
}

Error ioError(const std::string& path, int err, const std::string& what) {
    long number = errors::PathAccess;
    if (err == ENOENT || err == ENOTDIR)
        number = errors::FileNotFound;
    else if (err == EACCES || err == EPERM || err == EROFS)
        number = errors::PermissionDenied;
    return makeError(number, path, what + ": " + std::strerror(err));
}

/// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

/// Writes the pieces in order, many per system call.
bool writeAll(int fd, const std::vector<std::string_view>& pieces) {
    constexpr size_t kBatch = 512;
    for (size_t first = 0; first < pieces.size(); first += kBatch) {
        size_t n = std::min(kBatch, pieces.size() - first);
        struct iovec iov[kBatch];
        size_t total = 0;
        for (size_t k = 0; k < n; ++k) {
            iov[k].iov_base = const_cast<char*>(pieces[first + k].data());
            iov[k].iov_len = pieces[first + k].size();
            total += iov[k].iov_len;
        }
        ssize_t written = ::writev(fd, iov, static_cast<int>(n));
        if (written < 0 && errno != EINTR)
            return false;
        if (written != static_cast<ssize_t>(total)) {
            // A short write: finish piece by piece from where it stopped.
            size_t skip = written < 0 ? 0 : static_cast<size_t>(written);
            for (size_t k = 0; k < n; ++k) {
                std::string_view p = pieces[first + k];
                if (skip >= p.size()) {
                    skip -= p.size();
                    continue;
                }
                if (!writeAll(fd, p.substr(skip)))
                    return false;
                skip = 0;
            }
        }
    }
    return true;
}

} // namespace

Result<DiskFile::Contents> DiskFile::read(const std::string& path, size_t limit) {
    Fd f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0)
        return ioError(path, errno, "cannot open");
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return ioError(path, errno, "cannot read");
    if (!S_ISREG(st.st_mode))
        return makeError(errors::PathAccess, path, "not a regular file");
    Contents c;
    c.stamp = stampOf(st);
    c.bytes.resize(std::min(static_cast<size_t>(st.st_size), limit));
    size_t done = 0;
    while (done < c.bytes.size()) {
        ssize_t n = ::read(f.fd, c.bytes.data() + done, c.bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ioError(path, errno, "cannot read");
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    c.bytes.resize(done);
    return c;
}

Result<FileStamp> DiskFile::stamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ioError(path, errno, "cannot stat");
    return stampOf(st);
}

namespace {

/// A temporary file written next to the file it is to replace.
struct Temporary {
    std::string name;
    FileStamp stamp;
};

/// Writes `bytes` to a new temporary file in `path`'s folder with `mode`.
Result<Temporary> writeTemporary(const std::string& path,
                                 const std::vector<std::string_view>& bytes, mode_t mode) {
    std::string dir = ".";
    std::string base = path;
    if (size_t slash = path.rfind('/'); slash != std::string::npos) {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
    // Created with its final permissions, so that it needs no chmod unless
    // the umask took some away.
    static std::atomic<unsigned> counter{0};
    Temporary t;
    Fd f;
    for (int attempt = 0; f.fd < 0; ++attempt) {
        t.name = dir + "/." + base + ".trapline-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter++);
        f.fd = ::open(t.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (f.fd < 0 && (errno != EEXIST || attempt > 100))
            return ioError(path, errno, "cannot create a temporary file in " + dir);
    }
    struct stat st {};
    int err = 0;
    if (!writeAll(f.fd, bytes) || ::fstat(f.fd, &st) != 0 ||
        ((st.st_mode & 07777) != mode && ::fchmod(f.fd, mode) != 0))
        err = errno;
    if (err != 0) {
        ::unlink(t.name.c_str());
        return ioError(path, err, "cannot write");
    }
    st.st_mode = (st.st_mode & ~mode_t(07777)) | mode;
    t.stamp = stampOf(st);
    return t;
}

/// Whether `path` may not be written; errno tells why when access() said so.
bool readOnly(const std::string& path, uint32_t mode) {
    errno = 0;
    // A file without write bits is read-only by intent, even for root.
    return (mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

} // namespace

Result<DiskFile::Staged> DiskFile::stage(const std::string& path,
                                         const std::vector<std::string_view>& bytes,
                                         const FileStamp* expected, bool backup, bool exclusive) {
    // What the file was when read tells its permissions; a stat is needed
    // only without that.
    uint32_t mode = 0644;
    bool exists = expected != nullptr;
    if (expected) {
        mode = expected->mode;
    } else {
        struct stat st {};
        exists = ::stat(path.c_str(), &st) == 0;
        if (exists)
            mode = static_cast<uint32_t>(st.st_mode & 07777);
    }
    if (exclusive && exists)
        return makeError(errors::PathAccess, path, "the file exists already; not written");
    if (exists && readOnly(path, mode)) {
        if (errno == ENOENT)
            return makeError(errors::ChangedOnDisk, path,
                             "the file was removed since it was loaded; not written");
        return makeError(errors::PermissionDenied, path, "the file is read-only; not written");
    }
    auto tmp = writeTemporary(path, bytes, mode);
    if (!tmp)
        return tmp.error();
    Staged staged;
    staged.path = path;
    staged.temp = std::move(tmp->name);
    staged.written = tmp->stamp;
    staged.checkStamp = expected != nullptr;
    if (expected)
        staged.expected = *expected;
    staged.exclusive = exclusive;
    staged.backup = backup && exists;
    return staged;
}

void DiskFile::flush(const std::vector<const Staged*>& staged) {
    if (staged.size() == 1) {
        Fd f;
        f.fd = ::open(staged.front()->temp.c_str(), O_RDONLY | O_CLOEXEC);
        if (f.fd >= 0)
            ::fsync(f.fd);
        return;
    }
    // One sync per file system is far cheaper than one fsync per file.
    std::vector<uint64_t> synced;
    for (const Staged* s : staged) {
        bool done = false;
        for (uint64_t d : synced)
            done = done || d == s->written.device;
        if (done)
            continue;
        Fd f;
        f.fd = ::open(s->temp.c_str(), O_RDONLY | O_CLOEXEC);
#ifdef __linux__
        if (f.fd < 0 || ::syncfs(f.fd) != 0)
            ::sync();
#else
        ::sync();
#endif
        synced.push_back(s->written.device);
    }
}

Result<FileStamp> DiskFile::commit(const Staged& s) {
    auto fail = [&](Error e) {
        ::unlink(s.temp.c_str());
        return e;
    };
    if (s.exclusive) {
        // link() never replaces an existing file, so a file that appeared
        // meanwhile is not overwritten.
        int rc = ::link(s.temp.c_str(), s.path.c_str());
        int err = errno;
        ::unlink(s.temp.c_str());
        if (rc != 0)
            return err == EEXIST ? makeError(errors::PathAccess, s.path,
                                             "the file exists already; not written")
                                 : ioError(s.path, err, "cannot create");
        return stamp(s.path);
    }
    if (s.checkStamp) {
        auto now = stamp(s.path);
        if (!now)
            return fail(makeError(errors::ChangedOnDisk, s.path,
                                  "the file was removed since it was loaded; not written"));
        if (!(*now == s.expected))
            return fail(makeError(errors::ChangedOnDisk, s.path,
                                  "the file changed on disk since it was loaded; not written"));
    }
    if (s.backup) {
        std::string bak = s.path + ".bak";
        ::unlink(bak.c_str());
        if (::link(s.path.c_str(), bak.c_str()) != 0)
            return fail(ioError(s.path, errno, "cannot keep a backup as " + bak));
    }
    if (::rename(s.temp.c_str(), s.path.c_str()) != 0)
        return fail(ioError(s.path, errno, "cannot replace"));
    return s.written; // a rename keeps the inode and its times
}

void DiskFile::discard(const Staged& staged) {
    ::unlink(staged.temp.c_str());
}

Result<FileStamp> DiskFile::replace(const std::string& path, const std::string& bytes,
                                    const FileStamp* expected, bool backup) {
    auto staged = stage(path, {bytes}, expected, backup);
    if (!staged)
        return staged.error();
    flush({&*staged});
    return commit(*staged);
}

} // namespace trapline
