#include "diskfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trapline {
namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = static_cast<uint64_t>(st.st_ino);
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

bool writeAll(int fd, const std::string& bytes) {
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

} // namespace

Result<DiskFile::Contents> DiskFile::read(const std::string& path) {
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
    c.bytes.resize(static_cast<size_t>(st.st_size));
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

/// Writes `bytes` to a new temporary file in `path`'s folder, flushed to disk,
/// with `mode`; returns its name.
Result<std::string> writeTemporary(const std::string& path, const std::string& bytes,
                                   mode_t mode) {
    std::string dir = ".";
    std::string base = path;
    if (size_t slash = path.rfind('/'); slash != std::string::npos) {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
    std::string tmpl = dir + "/." + base + ".trapline-XXXXXX";
    Fd f;
    f.fd = ::mkstemp(tmpl.data());
    if (f.fd < 0)
        return ioError(path, errno, "cannot create a temporary file in " + dir);
    int err = 0;
    if (!writeAll(f.fd, bytes) || ::fchmod(f.fd, mode) != 0 || ::fsync(f.fd) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmpl.c_str());
        return ioError(path, err, "cannot write");
    }
    return tmpl;
}

} // namespace

Result<FileStamp> DiskFile::create(const std::string& path, const std::string& bytes) {
    auto tmp = writeTemporary(path, bytes, 0644);
    if (!tmp)
        return tmp.error();
    // link() never replaces an existing file, so a file that appeared
    // meanwhile is not overwritten.
    int rc = ::link(tmp->c_str(), path.c_str());
    int err = errno;
    ::unlink(tmp->c_str());
    if (rc != 0)
        return err == EEXIST ? makeError(errors::PathAccess, path, "the file exists already; not written")
                             : ioError(path, err, "cannot create");
    return stamp(path);
}

Result<FileStamp> DiskFile::replace(const std::string& path, const std::string& bytes,
                                    const FileStamp* expected, bool backup) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (expected) {
        if (!exists)
            return makeError(errors::ChangedOnDisk, path,
                             "the file was removed since it was loaded; not written");
        if (!(stampOf(st) == *expected))
            return makeError(errors::ChangedOnDisk, path,
                             "the file changed on disk since it was loaded; not written");
    }
    // A file without write bits is read-only by intent, even for root.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        return makeError(errors::PermissionDenied, path, "the file is read-only; not written");

    auto tmp = writeTemporary(path, bytes, exists ? (st.st_mode & 07777) : 0644);
    if (!tmp)
        return tmp.error();
    if (backup && exists) {
        std::string bak = path + ".bak";
        ::unlink(bak.c_str());
        if (::link(path.c_str(), bak.c_str()) != 0) {
            int err = errno;
            ::unlink(tmp->c_str());
            return ioError(path, err, "cannot keep a backup as " + bak);
        }
    }
    if (::rename(tmp->c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp->c_str());
        return ioError(path, err, "cannot replace");
    }
    return stamp(path);
}

} // namespace trapline
