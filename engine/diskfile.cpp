#include "diskfile.h"

#include "platform/filesystem.h"
#include "platform/process.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace trapline {
namespace {

using platform::FileType;

FileStamp stampOf(const platform::FileStatus& st) {
    FileStamp s;
    s.size = st.size;
    s.mtimeNs = st.mtimeNs;
    s.ctimeNs = st.ctimeNs;
    s.inode = st.file;
    s.device = st.device;
    s.mode = st.mode;
    s.uid = st.uid;
    s.gid = st.gid;
    s.links = st.links;
    return s;
}

Error ioError(const std::string& path, std::error_code ec, const std::string& what) {
    long number = errors::PathAccess;
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
        number = errors::FileNotFound;
    else if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
             ec == std::errc::read_only_file_system)
        number = errors::PermissionDenied;
    if (ec == std::errc::device_or_resource_busy)
        return makeError(number, path, what + ": the file is open in another program");
    return makeError(number, path, what + ": " + ec.message());
}

Error notRegularFile(const std::string& path, FileType type) {
    const char* what = type == FileType::Directory ? "a folder"
                       : type == FileType::Fifo    ? "a FIFO"
                       : type == FileType::Socket  ? "a socket"
                       : type == FileType::Device  ? "a device"
                                                   : "not a regular file";
    return makeError(errors::PathAccess, path,
                     std::string(what) + ", not a regular file; not read");
}

Error changedOnDisk(const std::string& path) {
    return makeError(errors::ChangedOnDisk, path,
                     "the file changed on disk since it was loaded; not written");
}

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

/// Opens a file for reading without blocking on a FIFO, and checks that it
/// is a regular file before anything is read.
Result<platform::FileStatus> openRegular(const std::string& path, platform::File& f,
                                         bool* noLink = nullptr) {
    if (auto ec = platform::openForReading(path, f, noLink))
        return ioError(path, ec, "cannot open");
    platform::FileStatus st;
    if (auto ec = f.status(st))
        return ioError(path, ec, "cannot read");
    if (st.type != FileType::Regular)
        return notRegularFile(path, st.type);
    return st;
}

/// The stamp and hash of what the open file `f` (at `path`, with status
/// `st`) holds now.
Result<FileStamp> stampWithHash(const std::string& path, platform::File& f,
                                const platform::FileStatus& st) {
    Hasher h;
    char buffer[1 << 16];
    size_t n = 0, total = 0;
    std::error_code ec;
    // Once a read asked for more than was left and got less, with the whole
    // size read, a regular file is at its end: no further call to be told
    // so. Bytes it gained since would have come with that read.
    while (!(ec = f.read(buffer, sizeof buffer, n)) && n > 0) {
        h.add(std::string_view(buffer, n));
        total += n;
        if (n < sizeof buffer && total >= st.size && st.type == FileType::Regular)
            break;
    }
    if (ec)
        return ioError(path, ec, "cannot read");
    FileStamp s = stampOf(st);
    s.hash = h.value();
    s.hashed = true;
    return s;
}

Result<FileStamp> stampWithHash(const std::string& path, platform::File& f) {
    platform::FileStatus st;
    if (auto ec = f.status(st))
        return ioError(path, ec, "cannot read");
    return stampWithHash(path, f, st);
}

/// The stamp and hash of what `path` holds now.
Result<FileStamp> stampWithHash(const std::string& path) {
    platform::File f;
    auto st = openRegular(path, f);
    if (!st)
        return st.error();
    return stampWithHash(path, f, *st);
}

std::string folderOf(const std::string& path) {
    return platform::parentFolder(path);
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
    HeldFile file; ///< when its status was not asked for
};

/// Creates the temporary file, registered so that a signal can remove it.
Result<std::string> createTemporary(const std::string& target, uint32_t mode, platform::File& f) {
    static std::atomic<unsigned> counter{0};
    // The process stays the same one: asked once, not once a file.
    static const long pid = platform::processId();
    const std::string dir = folderOf(target);
    const std::string base = platform::fileName(target);
    StagedRegistry& registry = StagedRegistry::instance();
    auto interrupted = [&] {
        return makeError(errors::Cancelled, target, "the run was interrupted; not written");
    };
    for (int attempt = 0;; ++attempt) {
        std::string name = dir + "/." + base + std::string(kTempMarker) + std::to_string(pid) +
                           "-" + std::to_string(counter++);
        // Named before it is made, so that a signal that comes meanwhile
        // removes it; the file is made outside the lock, which the other
        // thread's files would otherwise wait for.
        {
            std::lock_guard lock(registry.mutex);
            if (registry.closed)
                return interrupted();
            registry.names.push_back(name);
        }
        std::error_code ec = platform::createNew(name, mode, f);
        if (!ec) {
            std::lock_guard lock(registry.mutex);
            if (!registry.closed)
                return name;
            // The signal's clean-up came between: it is not to stay.
            f.close();
            (void)platform::remove(name);
            return interrupted();
        }
        registry.forget(name);
        if (ec != std::errc::file_exists || attempt > 100)
            return ioError(target, ec, "cannot create a temporary file in " + dir);
    }
}

/// Gives the new file the owner, group and mode of `like` where it may;
/// `outcome` says what it took.
std::error_code takeOwnerAndMode(platform::File& f, const FileStamp& like, platform::FileStatus& st,
                                 DiskFile::NewFiles::Outcome& outcome) {
    if (st.uid != like.uid || st.gid != like.gid) {
        // Otherwise the new file is the runner's, as any editor's save would make it.
        outcome.chown = true;
        (void)f.setOwner(like.uid, like.gid);
        if (auto ec = f.status(st))
            return ec;
    }
    // Set last: a change of owner clears the set-id bits. A new file keeps
    // what the umask made of its mode, as any program's new file does.
    if (st.mode == like.mode)
        return {}; // `st` is still what the file is
    outcome.chmod = true;
    if (auto ec = f.setMode(like.mode))
        return ec;
    return f.status(st);
}

/// Gives the new file what the first one in its folder needed, which makes
/// it come out the same: the same process, folder and file to replace.
std::error_code takeAsBefore(platform::File& f, const FileStamp& like,
                             const DiskFile::NewFiles::Outcome& known) {
    if (known.chown)
        (void)f.setOwner(like.uid, like.gid);
    return known.chmod ? f.setMode(like.mode) : std::error_code();
}

/// Writes `bytes` to a new temporary file next to `target`, with the mode,
/// owner and group of `like` (when given and allowed).
Result<Temporary> writeTemporary(const std::string& target,
                                 const std::vector<std::string_view>& bytes, uint32_t mode,
                                 const FileStamp* like, DiskFile::NewFiles* newFiles, bool hash) {
    platform::File f;
    auto name = createTemporary(target, mode, f);
    if (!name)
        return name.error();
    Temporary t{*name, {}, {}};
    platform::FileStatus st;
    std::error_code ec = f.write(bytes);
    DiskFile::NewFiles::Key key;
    DiskFile::NewFiles::Outcome outcome;
    bool known = false;
    if (newFiles && like) {
        key = {folderOf(target), mode, like->uid, like->gid, like->mode};
        known = newFiles->find(key, outcome);
    }
    if (!ec && known)
        ec = takeAsBefore(f, *like, outcome);
    // Held open until committed, the new file need not be looked at now:
    // its owner, group and mode are the first one's.
    if (!ec && known && platform::swapsAtomically() && t.file.take(f)) {
        st.type = FileType::Regular;
        st.uid = outcome.uid;
        st.gid = outcome.gid;
        st.mode = outcome.mode;
        st.device = outcome.device;
        for (std::string_view piece : bytes)
            st.size += piece.size();
    } else {
        if (!ec)
            ec = f.status(st);
        outcome = {};
        if (!ec && like)
            ec = takeOwnerAndMode(f, *like, st, outcome);
        if (!ec && newFiles && like && !known)
            newFiles->learn(key,
                            {outcome.chown, outcome.chmod, st.uid, st.gid, st.mode, st.device});
    }
    if (ec) {
        f.close();
        t.file.close();
        (void)platform::remove(t.name);
        StagedRegistry::instance().forget(t.name);
        return ioError(target, ec, "cannot write");
    }
    t.stamp = stampOf(st);
    if (!hash)
        return t;
    Hasher h;
    for (std::string_view piece : bytes)
        h.add(piece);
    t.stamp.hash = h.value();
    t.stamp.hashed = true;
    return t;
}

/// Whether `path`, with status `st`, may not be written.
bool readOnly(const std::string& path, uint32_t mode, const platform::FileStatus& st) {
    // A file without write bits is read-only by intent, even for root. Where
    // the status shows the process may write it, the system is not asked.
    return (mode & 0222) == 0 || (!platform::writableByStatus(st) && platform::checkWritable(path));
}

/// Keeps `old` (the replaced file) as the first free one of "<target>.bak",
/// "<target>.bak.1", …; the new name never replaces an existing file, so a
/// user's own backup is never overwritten.
Result<std::string> keepBackup(const std::string& target, const std::string& old) {
    for (int n = 0; n < 1000; ++n) {
        std::string bak = target + ".bak" + (n ? "." + std::to_string(n) : "");
        std::error_code ec = platform::keepCopy(old, bak);
        if (!ec)
            return bak;
        if (ec != std::errc::file_exists)
            return ioError(target, ec, "cannot keep a backup as " + bak);
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
    return hook && hook(step);
}

const std::error_code kRefused = std::make_error_code(std::errc::operation_not_permitted);

/// Swaps two names back, unless a test says the system refuses.
std::error_code swapBack(const std::string& a, const std::string& b) {
    return faultInjected("swap back") ? kRefused : platform::exchange(a, b);
}

Result<FileStamp> finalStamp(const DiskFile::Staged& s) {
    // The rename changed the file's ctime; its bytes are the ones written.
    FileStamp st = s.written;
    platform::FileStatus held;
    if (s.file.isOpen() && !s.file.file().status(held)) {
        st = stampOf(held);
    } else if (auto now = DiskFile::stamp(s.target); now && now->inode == s.written.inode) {
        st = *now;
    } else {
        return st;
    }
    st.hash = s.written.hash;
    st.hashed = s.written.hashed;
    return st;
}

/// The new file's inode, asked of the file held open where it was not yet.
uint64_t stagedInode(const DiskFile::Staged& s) {
    platform::FileStatus st;
    if (s.written.inode == 0 && s.file.isOpen() && !s.file.file().status(st))
        return st.file;
    return s.written.inode;
}

/// How writing the other version back into the file went.
enum class CopyBack { Done, Untouched, Damaged };

/// Writes the bytes of the other version (at `other`) back into the file now
/// at `target`, which must still be the one this run put there.
CopyBack copyBack(const DiskFile::Staged& s, const std::string& other) {
    auto bytes = DiskFile::read(other);
    if (!bytes || faultInjected("copy back"))
        return CopyBack::Untouched;
    platform::File f;
    platform::FileStatus st;
    if (platform::openForWriting(s.target, f) || f.status(st) || st.file != stagedInode(s) ||
        f.truncate())
        return CopyBack::Untouched;
    return !f.write({bytes->bytes}) && !f.sync() ? CopyBack::Done : CopyBack::Damaged;
}

/// Gives `from` the name `to` unless a file has it: a link where the file
/// system has links, else a rename that never replaces.
std::error_code nameWithoutReplacing(const std::string& from, const std::string& to) {
    std::error_code ec = platform::linkNew(from, to);
    if (!ec) {
        (void)platform::remove(from);
        return ec;
    }
    if (ec == std::errc::file_exists)
        return ec;
    return platform::renameNoReplace(from, to);
}

/// The file was swapped out, the version that came out (now at `s.temp`) is
/// not to be dropped, and swapping back failed. That version must neither be
/// lost nor stay under a name that a later run's clean-up takes for ours:
/// it gets a visible name of its own, "NAME.kept" (or the first free
/// "NAME.kept.N"); where the folder takes no new name, its bytes go back
/// into the file, so that the file holds what it held before; where even
/// that fails, the temporary file is marked so that no clean-up of ours
/// removes it. `what` names that version in messages.
Result<DiskFile::Committed> keepOtherVersion(const DiskFile::Staged& s, const std::string& why,
                                             const std::string& what, std::error_code swapError) {
    const std::string swap =
        why + " and the file could not be swapped back (" + swapError.message() + ")";
    DiskFile::Committed done;
    for (int n = 0; n < 1000 && !faultInjected("set aside"); ++n) {
        std::string kept = s.target + ".kept" + (n ? "." + std::to_string(n) : "");
        std::error_code ec = nameWithoutReplacing(s.temp, kept);
        if (!ec) {
            done.setAside = kept;
            done.note = swap + ": it holds the treated text, and " + what + " is kept as " + kept;
            return done;
        }
        if (ec != std::errc::file_exists)
            break;
    }
    const CopyBack back = copyBack(s, s.temp);
    if (back == CopyBack::Done)
        return makeError(errors::ChangedOnDisk, s.path,
                         swap + ", nor could " + what +
                             " get a name of its own: its bytes were written back into the "
                             "file, which holds them as before (a copy is left as " +
                             s.temp + "); not written");
    const bool marked = !platform::markKept(s.temp);
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

/// The bytes of the file held open since it was read, with the stamp it had
/// then; an error when they cannot all be read.
Result<uint64_t> hashOfHeld(platform::File& f, uint64_t size) {
    // One read for the whole file and one byte more, which tells that it
    // grew; large files a piece at a time.
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(size + 1, 8u << 20));
    // Not filled first: every byte of it that is looked at was read into it.
    const std::unique_ptr<char[]> buffer(new char[piece]);
    Hasher h;
    uint64_t offset = 0;
    size_t n = 0;
    std::error_code ec;
    while (!(ec = f.readAt(offset, buffer.get(), piece, n)) && n > 0) {
        h.add(std::string_view(buffer.get(), n));
        offset += n;
        if (offset > size || n < piece)
            break; // grown, or at its end: a short read of a regular file is its end
    }
    if (ec)
        return makeError(errors::PathAccess, "", ec.message());
    if (offset != size)
        return makeError(errors::ChangedOnDisk, "", "its size changed");
    return h.value();
}

/// Whether the file swapped out (now at `s.temp`) is, bytes included, the
/// one that was read. With the file held open since, the name is looked up
/// once, for the file it leads to now and its status; its bytes are read
/// through the descriptor held, which is that same file when the look-up
/// says so. The swap itself changed the file's change time: its identity,
/// size, modification time, mode, owner, group and names are compared.
Result<void> swappedOutUnchanged(const DiskFile::Staged& s) {
    if (!s.original.isOpen()) {
        auto old = stampWithHash(s.temp);
        if (!old || !sameBytes(*old, s.expected))
            return changedOnDisk(s.path);
        return {};
    }
    platform::FileStatus st;
    if (platform::status(s.temp, st, false) || st.type != FileType::Regular)
        return changedOnDisk(s.path);
    const FileStamp& e = s.expected;
    if (st.file != e.inode || st.device != e.device || st.size != e.size ||
        st.mtimeNs != e.mtimeNs || st.mode != e.mode || st.uid != e.uid || st.gid != e.gid)
        return changedOnDisk(s.path);
    if (st.links > 1)
        return makeError(errors::PathAccess, s.path,
                         "the file got a second name (hard link); not written");
    auto hash = hashOfHeld(s.original.file(), e.size);
    if (!hash || (e.hashed && *hash != e.hash))
        return changedOnDisk(s.path);
    return {};
}

/// Replaces `target` by swapping the staged file in and checking what came
/// out; swaps back when it is not what was read.
Result<DiskFile::Committed> commitByExchange(const DiskFile::Staged& s) {
    DiskFile::Committed done;
    auto unchanged = swappedOutUnchanged(s);
    s.original.close();
    if (!unchanged) {
        if (auto ec = swapBack(s.temp, s.target))
            return keepOtherVersion(s, "the file changed on disk while it was replaced",
                                    "the version found on disk", ec);
        (void)platform::remove(s.temp);
        return unchanged.error();
    }
    if (s.backup) {
        auto bak = keepBackup(s.target, s.temp);
        if (!bak) {
            if (auto ec = swapBack(s.temp, s.target))
                return keepOtherVersion(s, bak.error().description, "the replaced version", ec);
            (void)platform::remove(s.temp);
            return bak.error();
        }
        done.backup = *bak;
    }
    (void)platform::remove(s.temp);
    return done;
}

/// Holds the file for its replacement and checks, through that hold, that it
/// is still, bytes included, the one that was read.
Result<void> holdUnchanged(const DiskFile::Staged& s, platform::File& held) {
    std::error_code ec = platform::holdForReplacing(s.target, held);
    if (ec == std::errc::no_such_file_or_directory)
        return makeError(errors::ChangedOnDisk, s.path,
                         "the file was removed since it was loaded; not written");
    if (ec)
        return ioError(s.path, ec, "cannot replace");
    auto now = stampWithHash(s.target, held);
    if (!now || !sameBytes(*now, s.expected))
        return changedOnDisk(s.path);
    return {};
}

/// Replaces `target` after checking its bytes, while the system keeps other
/// programs from writing it where it can (Windows); where it cannot and no
/// atomic swap exists, a change in the moment between is not seen.
Result<DiskFile::Committed> commitByReplace(const DiskFile::Staged& s) {
    DiskFile::Committed done;
    platform::File held;
    if (s.checkStamp)
        if (auto ok = holdUnchanged(s, held); !ok) {
            held.close();
            (void)platform::remove(s.temp);
            return ok.error();
        }
    if (s.backup) {
        auto bak = keepBackup(s.target, s.target);
        if (!bak) {
            held.close();
            (void)platform::remove(s.temp);
            return bak.error();
        }
        done.backup = *bak;
    }
    const std::error_code ec = held.isOpen() ? platform::replaceHeld(held, s.temp, s.target)
                                             : platform::renameReplacing(s.temp, s.target);
    if (ec) {
        (void)platform::remove(s.temp);
        if (!done.backup.empty())
            (void)platform::remove(done.backup);
        return ioError(s.path, ec, "cannot replace");
    }
    return done;
}

/// The files held open now, against how many the process may hold: half of
/// what it may open, so that held files never starve anything else.
std::atomic<size_t> g_held{0};

size_t heldLimit() {
    static const size_t limit = platform::openFileLimit() / 2;
    return limit;
}

} // namespace

HeldFile::HeldFile(HeldFile&& other) noexcept : m_file(std::move(other.m_file)) {}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
    if (this != &other) {
        close();
        m_file = std::move(other.m_file);
    }
    return *this;
}

bool HeldFile::take(platform::File& f) {
    close();
    if (!f.isOpen())
        return false;
    if (g_held.fetch_add(1) >= heldLimit()) {
        g_held.fetch_sub(1);
        return false;
    }
    m_file = std::move(f);
    return true;
}

bool DiskFile::NewFiles::find(const Key& key, Outcome& out) const {
    std::shared_lock lock(m_mutex);
    auto it = m_known.find(key);
    if (it == m_known.end())
        return false;
    out = it->second;
    return true;
}

void DiskFile::NewFiles::learn(const Key& key, const Outcome& outcome) {
    std::unique_lock lock(m_mutex);
    m_known.emplace(key, outcome);
}

void HeldFile::close() {
    if (!m_file.isOpen())
        return;
    m_file.close();
    g_held.fetch_sub(1);
}

Error DiskFile::notRegular(const std::string& path, FileType type) {
    return notRegularFile(path, type);
}

uint64_t DiskFile::hashOf(std::string_view bytes) {
    Hasher h;
    h.add(bytes);
    return h.value();
}

Result<DiskFile::Contents> DiskFile::read(const std::string& path, size_t limit, bool hold) {
    platform::File f;
    Contents c;
    c.readNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    auto st = openRegular(path, f, &c.noLink);
    if (!st)
        return st.error();
    c.stamp = stampOf(*st);
    c.bytes.resize(std::min(static_cast<size_t>(st->size), limit));
    size_t done = 0, n = 1;
    std::error_code ec;
    while (done < c.bytes.size() &&
           !(ec = f.read(c.bytes.data() + done, c.bytes.size() - done, n)) && n > 0)
        done += n;
    if (ec)
        return ioError(path, ec, "cannot read");
    c.bytes.resize(done);
    if (limit == SIZE_MAX) {
        c.stamp.hash = hashOf(c.bytes);
        c.stamp.hashed = true;
    }
    if (hold && platform::swapsAtomically())
        c.held.take(f);
    return c;
}

Result<FileStamp> DiskFile::stamp(const std::string& path) {
    platform::FileStatus st;
    if (auto ec = platform::status(path, st))
        return ioError(path, ec, "cannot stat");
    if (st.type != FileType::Regular)
        return notRegularFile(path, st.type);
    return stampOf(st);
}

std::string DiskFile::folderOfTarget(const std::string& path) {
    std::string target;
    bool exists = false;
    if (platform::replacementTarget(path, target, exists))
        return folderOf(path);
    return folderOf(target);
}

namespace {

/// Refuses what a replacement of the file with status `st` would harm.
Result<void> checkReplaceable(const std::string& path, const platform::FileStatus& st) {
    if (st.type != FileType::Regular)
        return notRegularFile(path, st.type);
    if (st.links > 1)
        return makeError(errors::PathAccess, path,
                         "the file has " + std::to_string(st.links) +
                             " names (hard links), which a replacement would split; not "
                             "written");
    return {};
}

} // namespace

Result<DiskFile::Staged> DiskFile::stage(const std::string& path,
                                         const std::vector<std::string_view>& bytes,
                                         const FileStamp* expected, bool backup, bool exclusive,
                                         Contents* read, NewFiles* newFiles, bool hashWritten) {
    Staged staged;
    staged.path = path;
    bool exists = false;
    platform::FileStatus st;
    if (read && read->noLink && expected && !exclusive) {
        // Reading opened the name itself, no link: what it saw stands for a
        // look-up now, and the commit checks the file again anyway.
        staged.target = path;
        exists = true;
        st.type = FileType::Regular;
        st.links = expected->links;
        st.mode = expected->mode;
        st.uid = expected->uid;
        st.gid = expected->gid;
    } else {
        // A link stays; the file it leads to is what gets replaced.
        if (auto ec = platform::replacementTarget(path, staged.target, exists, &st))
            return ioError(path, ec, "cannot follow the symbolic link");
        // The look-up that followed no link saw the file's status already.
        if (exists && st.type == FileType::Missing)
            if (auto ec = platform::status(staged.target, st, false)) {
                if (ec != std::errc::no_such_file_or_directory)
                    return ioError(path, ec, "cannot stat");
                exists = false; // removed this moment
            }
    }
    if (exclusive && exists)
        return makeError(errors::PathAccess, path, "the file exists already; not written");
    if (expected && !exists)
        return makeError(errors::ChangedOnDisk, path,
                         "the file was removed since it was loaded; not written");
    if (exists)
        if (auto ok = checkReplaceable(path, st); !ok)
            return ok.error();
    const FileStamp now = exists ? stampOf(st) : FileStamp{};
    const uint32_t mode = expected ? expected->mode : exists ? now.mode : 0666;
    if (exists && readOnly(staged.target, mode, st))
        return makeError(errors::PermissionDenied, path, "the file is read-only; not written");
    auto tmp = writeTemporary(staged.target, bytes, mode,
                              expected ? expected
                              : exists ? &now
                                       : nullptr,
                              newFiles, hashWritten);
    if (!tmp)
        return tmp.error();
    staged.temp = std::move(tmp->name);
    staged.written = tmp->stamp;
    staged.file = std::move(tmp->file);
    staged.checkStamp = expected != nullptr;
    if (expected)
        staged.expected = *expected;
    staged.exclusive = exclusive;
    staged.backup = backup && exists;
    if (read && expected && staged.target == path)
        staged.original = std::move(read->held);
    return staged;
}

void DiskFile::flush(const std::vector<const Staged*>& staged) {
    std::vector<std::string> temps;
    std::vector<uint64_t> devices;
    temps.reserve(staged.size());
    devices.reserve(staged.size());
    for (const Staged* s : staged) {
        temps.push_back(s->temp);
        // Where the temporary file was written, as its status said then.
        devices.push_back(s->written.device);
    }
    platform::syncFiles(temps, devices);
}

namespace {

/// Creates the file from the staged one; never replaces a file that appeared
/// meanwhile.
Result<DiskFile::Committed> commitNew(const DiskFile::Staged& s) {
    std::error_code ec = nameWithoutReplacing(s.temp, s.target);
    if (ec) {
        (void)platform::remove(s.temp);
        return ec == std::errc::file_exists
                   ? makeError(errors::PathAccess, s.path, "the file exists already; not written")
                   : ioError(s.path, ec, "cannot create");
    }
    DiskFile::Committed created;
    created.stamp = *finalStamp(s);
    return created;
}

/// Cheap first: a file that plainly changed is not replaced at all.
Result<void> stillAsRead(const DiskFile::Staged& s) {
    auto now = DiskFile::stamp(s.target);
    if (!now)
        return makeError(errors::ChangedOnDisk, s.path,
                         "the file was removed since it was loaded; not written");
    if (!(*now == s.expected))
        return changedOnDisk(s.path);
    if (now->links > 1)
        return makeError(errors::PathAccess, s.path,
                         "the file got a second name (hard link); not written");
    return {};
}

} // namespace

Result<DiskFile::Committed> DiskFile::commit(const Staged& s, bool restamp) {
    StagedRegistry& registry = StagedRegistry::instance();
    std::shared_lock gate(registry.commitGate);
    if (registry.stopping) {
        (void)platform::remove(s.temp);
        return makeError(errors::Cancelled, s.path, "the run was interrupted; not written");
    }
    struct Forget {
        const std::string& name;
        ~Forget() { StagedRegistry::instance().forget(name); }
    } forget{s.temp};

    if (s.exclusive)
        return commitNew(s);
    // A file held open since it was read is checked once it is swapped out,
    // through that descriptor; any other first by its stamp, cheaply.
    const bool held = s.checkStamp && s.original.isOpen();
    if (s.checkStamp && !held)
        if (auto ok = stillAsRead(s); !ok) {
            (void)platform::remove(s.temp);
            return ok.error();
        }
    if (registry.replaceHook)
        registry.replaceHook(s.path);
    Result<Committed> done = Committed{};
    const std::error_code swapped = s.checkStamp
                                        ? platform::exchange(s.temp, s.target)
                                        : std::make_error_code(std::errc::function_not_supported);
    if (!swapped)
        done = commitByExchange(s);
    else if (held && swapped == std::errc::no_such_file_or_directory) {
        s.original.close();
        (void)platform::remove(s.temp);
        done = makeError(errors::ChangedOnDisk, s.path,
                         "the file was removed since it was loaded; not written");
    } else if (swapped != std::errc::function_not_supported) {
        s.original.close();
        (void)platform::remove(s.temp);
        done = ioError(s.path, swapped, "cannot replace");
    } else {
        s.original.close();
        if (held)
            if (auto ok = stillAsRead(s); !ok) {
                (void)platform::remove(s.temp);
                return ok.error();
            }
        done = commitByReplace(s);
    }
    if (!done)
        return done;
    done->stamp = restamp ? *finalStamp(s) : s.written;
    return done;
}

void DiskFile::discard(const Staged& staged) {
    (void)platform::remove(staged.temp);
    StagedRegistry::instance().forget(staged.temp);
}

void DiskFile::syncFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> sorted = folders;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& folder : sorted)
        (void)platform::syncFolder(folder);
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
        (void)platform::remove(name);
    registry.names.clear();
}

std::vector<std::string> DiskFile::removeLeftovers(const std::string& folder,
                                                   const std::vector<std::string>& names,
                                                   int64_t beforeNs) {
    std::vector<std::string> removed;
    std::vector<platform::FolderEntry> entries;
    (void)platform::listFolder(folder, entries);
    const long self = platform::processId();
    for (const platform::FolderEntry& entry : entries) {
        long pid = 0;
        std::string_view name = entry.name;
        if (!isTemporaryName(name, &pid) || pid == self || entry.type != FileType::Regular)
            continue;
        std::string_view of = name.substr(1, name.rfind(kTempMarker) - 1);
        if (std::find(names.begin(), names.end(), of) == names.end())
            continue;
        // A process of that number, ours or another's, may still be writing it.
        if (!platform::processGone(pid))
            continue;
        std::string path = folder + "/" + entry.name;
        platform::FileStatus st;
        if (platform::status(path, st, false) || st.type != FileType::Regular)
            continue;
        // A kept version could be kept under this name only.
        if (st.kept || st.ctimeNs >= beforeNs || st.mtimeNs >= beforeNs)
            continue;
        if (!platform::remove(path))
            removed.push_back(std::move(path));
    }
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
