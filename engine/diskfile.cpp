#include "diskfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <shared_mutex>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace trapline {
namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.device = static_cast<uint64_t>(st.st_dev);
    s.mode = static_cast<uint32_t>(st.st_mode & 07777);
    s.uid = static_cast<uint32_t>(st.st_uid);
    s.gid = static_cast<uint32_t>(st.st_gid);
    s.links = static_cast<uint64_t>(st.st_nlink);
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

Error notRegular(const std::string& path, mode_t mode) {
    const char* what = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a FIFO"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "not a regular file";
    return makeError(errors::PathAccess, path,
                     std::string(what) + ", not a regular file; not read");
}

Error changedOnDisk(const std::string& path) {
    return makeError(errors::ChangedOnDisk, path,
                     "the file changed on disk since it was loaded; not written");
}

/// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

/// A fast 64-bit hash that can be fed in pieces; it tells whether bytes
/// changed, not more (it is no defence against a forger).
class Hasher {
public:
    void add(std::string_view s) {
        const char* p = s.data();
        size_t n = s.size();
        m_length += n;
        while (n > 0 && m_pending > 0) {
            push(static_cast<unsigned char>(*p++));
            --n;
        }
        for (; n >= 8; p += 8, n -= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            mix(w);
        }
        while (n-- > 0)
            push(static_cast<unsigned char>(*p++));
    }
    uint64_t value() const {
        uint64_t h = m_hash ^ m_word ^ (m_length * 0x9E3779B97F4A7C15ull);
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        return h;
    }

private:
    void mix(uint64_t w) {
        m_hash = (m_hash ^ w) * 0x100000001B3ull;
        m_hash ^= m_hash >> 29;
    }
    void push(unsigned char c) {
        m_word |= uint64_t(c) << (8 * m_pending);
        if (++m_pending == 8) {
            mix(m_word);
            m_word = 0;
            m_pending = 0;
        }
    }
    uint64_t m_hash = 0xCBF29CE484222325ull;
    uint64_t m_word = 0;
    unsigned m_pending = 0;
    uint64_t m_length = 0;
};

/// read(2), tried again when a signal interrupts it.
ssize_t readRetrying(int fd, char* buffer, size_t size) {
    ssize_t n;
    while ((n = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return n;
}

/// Opens a file for reading without blocking on a FIFO, and checks that it
/// is a regular file before anything is read.
Result<struct stat> openRegular(const std::string& path, Fd& f) {
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (f.fd < 0)
        return ioError(path, errno, "cannot open");
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return ioError(path, errno, "cannot read");
    if (!S_ISREG(st.st_mode))
        return notRegular(path, st.st_mode);
    ::fcntl(f.fd, F_SETFL, ::fcntl(f.fd, F_GETFL) & ~O_NONBLOCK);
    return st;
}

/// The stamp and hash of what `path` holds now.
Result<FileStamp> stampWithHash(const std::string& path) {
    Fd f;
    auto st = openRegular(path, f);
    if (!st)
        return st.error();
    Hasher h;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = readRetrying(f.fd, buffer, sizeof buffer)) > 0)
        h.add(std::string_view(buffer, static_cast<size_t>(n)));
    if (n < 0)
        return ioError(path, errno, "cannot read");
    FileStamp s = stampOf(*st);
    s.hash = h.value();
    s.hashed = true;
    return s;
}

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

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// The temporary files this process has staged and not yet committed, so
/// that a signal can remove them; and the gate that lets such a removal wait
/// for a commit in progress.
struct StagedRegistry {
    std::mutex mutex;
    std::vector<std::string> names;
    bool closed = false;
    std::atomic<bool> stopping{false}; ///< no commit may start any more
    std::shared_mutex commitGate;
    std::function<void(const std::string&)> replaceHook;
    std::function<bool(std::string_view)> faultHook;

    static StagedRegistry& instance() {
        static StagedRegistry* r = new StagedRegistry; // never destroyed: a signal may come late
        return *r;
    }
    void forget(const std::string& name) {
        std::lock_guard lock(mutex);
        if (auto it = std::find(names.begin(), names.end(), name); it != names.end()) {
            *it = std::move(names.back());
            names.pop_back();
        }
    }
};

constexpr std::string_view kTempMarker = ".trapline-";

/// Whether `name` is one of our temporary files: ".NAME.trapline-PID-N".
bool isTemporaryName(std::string_view name, long* pid) {
    if (name.size() < 2 || name[0] != '.')
        return false;
    size_t marker = name.rfind(kTempMarker);
    if (marker == std::string_view::npos || marker < 2)
        return false;
    std::string_view rest = name.substr(marker + kTempMarker.size());
    size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size())
        return false;
    auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9)
        return false;
    *pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
    return true;
}

/// A temporary file written next to the file it is to replace.
struct Temporary {
    std::string name;
    FileStamp stamp;
};

/// Creates the temporary file, registered so that a signal can remove it.
Result<std::string> createTemporary(const std::string& target, mode_t mode, Fd& f) {
    static std::atomic<unsigned> counter{0};
    const std::string dir = folderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    StagedRegistry& registry = StagedRegistry::instance();
    std::lock_guard lock(registry.mutex);
    if (registry.closed)
        return makeError(errors::Cancelled, target, "the run was interrupted; not written");
    for (int attempt = 0;; ++attempt) {
        std::string name = dir + "/." + base + std::string(kTempMarker) +
                           std::to_string(::getpid()) + "-" + std::to_string(counter++);
        f.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
        if (f.fd >= 0) {
            registry.names.push_back(name);
            return name;
        }
        if (errno != EEXIST || attempt > 100)
            return ioError(target, errno, "cannot create a temporary file in " + dir);
    }
}

/// Writes `bytes` to a new temporary file next to `target`, with the mode,
/// owner and group of `like` (when given and allowed).
Result<Temporary> writeTemporary(const std::string& target,
                                 const std::vector<std::string_view>& bytes, mode_t mode,
                                 const FileStamp* like) {
    Fd f;
    auto name = createTemporary(target, mode, f);
    if (!name)
        return name.error();
    Temporary t{*name, {}};
    int err = 0;
    struct stat st {};
    if (!writeAll(f.fd, bytes) || ::fstat(f.fd, &st) != 0)
        err = errno;
    if (err == 0 && like && (st.st_uid != like->uid || st.st_gid != like->gid)) {
        // Only root may give a file away; a member of the group may still
        // keep the group. Otherwise the new file is the runner's, as any
        // editor's save would make it.
        if (::fchown(f.fd, like->uid, like->gid) != 0)
            (void)::fchown(f.fd, static_cast<uid_t>(-1), like->gid);
        if (::fstat(f.fd, &st) != 0)
            err = errno;
    }
    // Set last: a change of owner clears the set-id bits. A new file keeps
    // what the umask made of its mode, as any program's new file does.
    if (err == 0 && like && (st.st_mode & 07777) != mode && ::fchmod(f.fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fstat(f.fd, &st) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(t.name.c_str());
        StagedRegistry::instance().forget(t.name);
        return ioError(target, err, "cannot write");
    }
    t.stamp = stampOf(st);
    Hasher h;
    for (std::string_view piece : bytes)
        h.add(piece);
    t.stamp.hash = h.value();
    t.stamp.hashed = true;
    return t;
}

/// Whether `path` may not be written; errno tells why when access() said so.
bool readOnly(const std::string& path, uint32_t mode) {
    errno = 0;
    // A file without write bits is read-only by intent, even for root.
    return (mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

/// Keeps `old` (the replaced file, under its temporary name) as the first
/// free one of "<target>.bak", "<target>.bak.1", …; link() never replaces
/// an existing file, so a user's own backup is never overwritten.
Result<std::string> keepBackup(const std::string& target, const std::string& old) {
    for (int n = 0; n < 1000; ++n) {
        std::string bak = target + ".bak" + (n ? "." + std::to_string(n) : "");
        if (::link(old.c_str(), bak.c_str()) == 0)
            return bak;
        if (errno != EEXIST)
            return ioError(target, errno, "cannot keep a backup as " + bak);
    }
    return makeError(errors::PathAccess, target, "no free backup name; not written");
}

bool sameBytes(const FileStamp& now, const FileStamp& expected) {
    return now.inode == expected.inode && now.device == expected.device &&
           now.size == expected.size && now.mtimeNs == expected.mtimeNs &&
           (!expected.hashed || now.hash == expected.hash);
}

/// For tests: whether the step named is to fail as if the system refused it.
bool faultInjected(std::string_view step) {
    const auto& hook = StagedRegistry::instance().faultHook;
    if (!hook || !hook(step))
        return false;
    errno = EPERM;
    return true;
}

/// Swaps two names atomically; false with errno when the system or the file
/// system cannot.
bool exchange(const std::string& a, const std::string& b) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)a;
    (void)b;
    errno = ENOSYS;
    return false;
#endif
}

Result<FileStamp> finalStamp(const DiskFile::Staged& s) {
    // The rename changed the file's ctime; its bytes are the ones written.
    FileStamp st = s.written;
    if (auto now = DiskFile::stamp(s.target); now && now->inode == s.written.inode) {
        st = *now;
        st.hash = s.written.hash;
        st.hashed = true;
    }
    return st;
}

/// How writing the other version back into the file went.
enum class CopyBack { Done, Untouched, Damaged };

/// Writes the bytes of the other version (at `other`) back into the file now
/// at `target`, which must still be the one this run put there.
CopyBack copyBack(const DiskFile::Staged& s, const std::string& other) {
    auto bytes = DiskFile::read(other);
    if (!bytes || faultInjected("copy back"))
        return CopyBack::Untouched;
    Fd f(::open(s.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || static_cast<uint64_t>(st.st_ino) != s.written.inode)
        return CopyBack::Untouched;
    if (::ftruncate(f.fd, 0) != 0)
        return CopyBack::Untouched;
    return writeAll(f.fd, std::string_view(bytes->bytes)) && ::fsync(f.fd) == 0 ? CopyBack::Done
                                                                                : CopyBack::Damaged;
}

/// Gives `from` the name `to` unless a file has it: link() where the file
/// system has links, else a rename that never replaces.
bool nameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
#else
    return false;
#endif
}

/// The file was swapped out, the version that came out (now at `s.temp`) is
/// not to be dropped, and swapping back failed. That version must neither be
/// lost nor stay under a name that a later run's clean-up takes for ours:
/// it gets a visible name of its own, "NAME.kept" (or the first free
/// "NAME.kept.N"); where the folder takes no new name, its bytes go back
/// into the file, so that the file holds what it held before; where even
/// that fails, the temporary file is marked (the sticky bit) so that no
/// clean-up of ours removes it. `what` names that version in messages.
Result<DiskFile::Committed> keepOtherVersion(const DiskFile::Staged& s, const std::string& why,
                                             const std::string& what, int swapError) {
    const std::string swap =
        why + " and the file could not be swapped back (" + std::strerror(swapError) + ")";
    DiskFile::Committed done;
    for (int n = 0; n < 1000 && !faultInjected("set aside"); ++n) {
        std::string kept = s.target + ".kept" + (n ? "." + std::to_string(n) : "");
        if (nameWithoutReplacing(s.temp, kept)) {
            done.setAside = kept;
            done.note = swap + ": it holds the treated text, and " + what + " is kept as " + kept;
            return done;
        }
        if (errno != EEXIST)
            break;
    }
    const CopyBack back = copyBack(s, s.temp);
    if (back == CopyBack::Done)
        return makeError(errors::ChangedOnDisk, s.path,
                         swap + ", nor could " + what +
                             " get a name of its own: its bytes were written back into the "
                             "file, which holds them as before (a copy is left as " +
                             s.temp + "); not written");
    struct stat st {};
    const bool marked = ::stat(s.temp.c_str(), &st) == 0 &&
                        ::chmod(s.temp.c_str(), (st.st_mode & 07777) | S_ISVTX) == 0;
    const std::string only =
        what + " is only in " + s.temp +
        (marked ? ", which no run of ours removes"
                : ": move it to a name of your own before the next run, which removes such "
                  "files once this process has ended");
    if (back == CopyBack::Damaged)
        return makeError(errors::ChangedOnDisk, s.path,
                         swap + ", and writing " + what +
                             " back into it failed part way: it holds neither version whole, and " +
                             only);
    done.setAside = s.temp;
    done.note = swap + ": it holds the treated text, and " + only;
    return done;
}

/// Replaces `target` by swapping the staged file in and checking what came
/// out; swaps back when it is not what was read.
Result<DiskFile::Committed> commitByExchange(const DiskFile::Staged& s) {
    DiskFile::Committed done;
    auto old = stampWithHash(s.temp);
    if (!old || !sameBytes(*old, s.expected)) {
        if (faultInjected("swap back") || !exchange(s.temp, s.target))
            return keepOtherVersion(s, "the file changed on disk while it was replaced",
                                    "the version found on disk", errno);
        ::unlink(s.temp.c_str());
        return changedOnDisk(s.path);
    }
    if (s.backup) {
        auto bak = keepBackup(s.target, s.temp);
        if (!bak) {
            if (faultInjected("swap back") || !exchange(s.temp, s.target))
                return keepOtherVersion(s, bak.error().description, "the replaced version", errno);
            ::unlink(s.temp.c_str());
            return bak.error();
        }
        done.backup = *bak;
    }
    ::unlink(s.temp.c_str());
    return done;
}

/// Replaces `target` with a plain rename, after checking its bytes: where no
/// atomic swap exists, a change in the moment between is not seen.
Result<DiskFile::Committed> commitByRename(const DiskFile::Staged& s) {
    DiskFile::Committed done;
    if (s.checkStamp) {
        auto now = stampWithHash(s.target);
        if (!now || !sameBytes(*now, s.expected)) {
            ::unlink(s.temp.c_str());
            return changedOnDisk(s.path);
        }
    }
    if (s.backup) {
        auto bak = keepBackup(s.target, s.target);
        if (!bak) {
            ::unlink(s.temp.c_str());
            return bak.error();
        }
        done.backup = *bak;
    }
    if (::rename(s.temp.c_str(), s.target.c_str()) != 0) {
        int err = errno;
        ::unlink(s.temp.c_str());
        if (!done.backup.empty())
            ::unlink(done.backup.c_str());
        return ioError(s.path, err, "cannot replace");
    }
    return done;
}

} // namespace

uint64_t DiskFile::hashOf(std::string_view bytes) {
    Hasher h;
    h.add(bytes);
    return h.value();
}

Result<DiskFile::Contents> DiskFile::read(const std::string& path, size_t limit) {
    Fd f;
    auto st = openRegular(path, f);
    if (!st)
        return st.error();
    Contents c;
    c.stamp = stampOf(*st);
    c.bytes.resize(std::min(static_cast<size_t>(st->st_size), limit));
    size_t done = 0;
    ssize_t n = 1;
    while (done < c.bytes.size() &&
           (n = readRetrying(f.fd, c.bytes.data() + done, c.bytes.size() - done)) > 0)
        done += static_cast<size_t>(n);
    if (n < 0)
        return ioError(path, errno, "cannot read");
    c.bytes.resize(done);
    if (limit == SIZE_MAX) {
        c.stamp.hash = hashOf(c.bytes);
        c.stamp.hashed = true;
    }
    return c;
}

Result<FileStamp> DiskFile::stamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ioError(path, errno, "cannot stat");
    if (!S_ISREG(st.st_mode))
        return notRegular(path, st.st_mode);
    return stampOf(st);
}

std::string DiskFile::folderOfTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string target = real;
            std::free(real);
            return folderOf(target);
        }
    }
    return folderOf(path);
}

Result<DiskFile::Staged> DiskFile::stage(const std::string& path,
                                         const std::vector<std::string_view>& bytes,
                                         const FileStamp* expected, bool backup, bool exclusive) {
    Staged staged;
    staged.path = path;
    staged.target = path;
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        // The link stays; the file it points to is what gets replaced.
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real)
            return ioError(path, errno, "cannot follow the symbolic link");
        staged.target = real;
        std::free(real);
        exists = ::stat(staged.target.c_str(), &st) == 0;
    }
    if (exclusive && exists)
        return makeError(errors::PathAccess, path, "the file exists already; not written");
    if (expected && !exists)
        return makeError(errors::ChangedOnDisk, path,
                         "the file was removed since it was loaded; not written");
    if (exists && !S_ISREG(st.st_mode))
        return notRegular(path, st.st_mode);
    if (exists && st.st_nlink > 1)
        return makeError(errors::PathAccess, path,
                         "the file has " + std::to_string(st.st_nlink) +
                             " names (hard links), which a replacement would split; not "
                             "written");
    const FileStamp now = exists ? stampOf(st) : FileStamp{};
    const uint32_t mode = expected ? expected->mode : exists ? now.mode : 0666;
    if (exists && readOnly(staged.target, mode))
        return makeError(errors::PermissionDenied, path, "the file is read-only; not written");
    auto tmp = writeTemporary(staged.target, bytes, mode,
                              expected ? expected
                              : exists ? &now
                                       : nullptr);
    if (!tmp)
        return tmp.error();
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
        Fd f(::open(staged.front()->temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (f.fd >= 0)
            ::fsync(f.fd);
        return;
    }
    // One sync per file system is far cheaper than one fsync per file.
    std::vector<uint64_t> synced;
    for (const Staged* s : staged) {
        if (std::find(synced.begin(), synced.end(), s->written.device) != synced.end())
            continue;
        Fd f(::open(s->temp.c_str(), O_RDONLY | O_CLOEXEC));
#ifdef __linux__
        if (f.fd < 0 || ::syncfs(f.fd) != 0)
            ::sync();
#else
        ::sync();
#endif
        synced.push_back(s->written.device);
    }
}

Result<DiskFile::Committed> DiskFile::commit(const Staged& s) {
    StagedRegistry& registry = StagedRegistry::instance();
    std::shared_lock gate(registry.commitGate);
    if (registry.stopping) {
        ::unlink(s.temp.c_str());
        return makeError(errors::Cancelled, s.path, "the run was interrupted; not written");
    }
    struct Forget {
        const std::string& name;
        ~Forget() { StagedRegistry::instance().forget(name); }
    } forget{s.temp};

    if (s.exclusive) {
        // link() never replaces an existing file, so a file that appeared
        // meanwhile is not overwritten.
        int rc = ::link(s.temp.c_str(), s.target.c_str());
        int err = errno;
        ::unlink(s.temp.c_str());
        if (rc != 0)
            return err == EEXIST ? makeError(errors::PathAccess, s.path,
                                             "the file exists already; not written")
                                 : ioError(s.path, err, "cannot create");
        Committed created;
        created.stamp = *finalStamp(s);
        return created;
    }
    if (s.checkStamp) {
        // Cheap first: a file that plainly changed is not swapped at all.
        auto now = stamp(s.target);
        if (!now || !(*now == s.expected)) {
            ::unlink(s.temp.c_str());
            return now ? changedOnDisk(s.path)
                       : makeError(errors::ChangedOnDisk, s.path,
                                   "the file was removed since it was loaded; not written");
        }
        if (now->links > 1) {
            ::unlink(s.temp.c_str());
            return makeError(errors::PathAccess, s.path,
                             "the file got a second name (hard link); not written");
        }
    }
    if (registry.replaceHook)
        registry.replaceHook(s.path);
    Result<Committed> done = Committed{};
    if (s.checkStamp && exchange(s.temp, s.target))
        done = commitByExchange(s);
    else if (s.checkStamp && errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        done = [&]() -> Result<Committed> {
            int err = errno;
            ::unlink(s.temp.c_str());
            return ioError(s.path, err, "cannot replace");
        }();
    else
        done = commitByRename(s);
    if (!done)
        return done;
    done->stamp = *finalStamp(s);
    return done;
}

void DiskFile::discard(const Staged& staged) {
    ::unlink(staged.temp.c_str());
    StagedRegistry::instance().forget(staged.temp);
}

void DiskFile::syncFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> sorted = folders;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& folder : sorted) {
        Fd f(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (f.fd >= 0)
            ::fsync(f.fd);
    }
}

Result<DiskFile::Committed> DiskFile::replace(const std::string& path, const std::string& bytes,
                                              const FileStamp* expected, bool backup) {
    auto staged = stage(path, {bytes}, expected, backup);
    if (!staged)
        return staged.error();
    flush({&*staged});
    auto done = commit(*staged);
    if (done)
        syncFolders({folderOf(staged->target)});
    return done;
}

void DiskFile::removeStagedFiles() {
    StagedRegistry& registry = StagedRegistry::instance();
    registry.stopping = true;
    // Waits for the commits in progress; any later one sees `stopping`.
    std::unique_lock gate(registry.commitGate);
    std::lock_guard lock(registry.mutex);
    registry.closed = true;
    for (const std::string& name : registry.names)
        ::unlink(name.c_str());
    registry.names.clear();
}

std::vector<std::string> DiskFile::removeLeftovers(const std::string& folder,
                                                   const std::vector<std::string>& names,
                                                   int64_t beforeNs) {
    std::vector<std::string> removed;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return removed;
    const long self = static_cast<long>(::getpid());
    while (struct dirent* entry = ::readdir(dir)) {
        long pid = 0;
        std::string_view name = entry->d_name;
        if (!isTemporaryName(name, &pid) || pid == self)
            continue;
        std::string_view of = name.substr(1, name.rfind(kTempMarker) - 1);
        if (std::find(names.begin(), names.end(), of) == names.end())
            continue;
        // A process of that number, ours or another's, may still be writing it.
        if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        std::string path = folder + "/" + entry->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        // The sticky bit marks a version that could be kept under this name only.
        const FileStamp stamp = stampOf(st);
        if ((st.st_mode & S_ISVTX) || stamp.ctimeNs >= beforeNs || stamp.mtimeNs >= beforeNs)
            continue;
        if (::unlink(path.c_str()) == 0)
            removed.push_back(std::move(path));
    }
    ::closedir(dir);
    std::sort(removed.begin(), removed.end());
    return removed;
}

void DiskFile::setReplaceHook(std::function<void(const std::string& path)> hook) {
    StagedRegistry::instance().replaceHook = std::move(hook);
}

void DiskFile::setFaultHook(std::function<bool(std::string_view step)> hook) {
    StagedRegistry::instance().faultHook = std::move(hook);
}

} // namespace trapline
