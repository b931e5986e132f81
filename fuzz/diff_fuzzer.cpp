// Feeds arbitrary bytes to the diff writer as a file path (after eight bytes
// of modification time). Whatever the path holds, the name given to patch
// must be a plain relative name that leads to the same file, and the two
// header lines must stay two lines that give back exactly that name: bare
// where patch reads it so, otherwise in quotes that unquote to it.

#include "unifieddiff.h"

#include "check.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace trapline;

/// A project folder with a subfolder, a file and a link that leads out of it,
/// so that paths through "..", through the link and out of the folder all
/// have somewhere real to go.
void makeRoot() {
    const fs::path root = scratchFolder();
    fs::create_directories(root / "project" / "Sub");
    fs::create_directories(root / "elsewhere" / "Deep");
    writeFile(root / "project" / "x.bas", "x\n");
    writeFile(root / "elsewhere" / "x.bas", "x\n");
    fs::create_directory_symlink(root / "elsewhere" / "Deep", root / "project" / "link");
}

/// "YYYY-MM-DD HH:MM:SS.NNNNNNNNN +0000"
bool isTimestamp(std::string_view t) {
    const std::string_view shape = "0000-00-00 00:00:00.000000000 +0000";
    if (t.size() != shape.size())
        return false;
    for (size_t i = 0; i < t.size(); ++i)
        if (shape[i] == '0' ? t[i] < '0' || t[i] > '9' : t[i] != shape[i])
            return false;
    return true;
}

/// Reads a C-style quoted name as patch does; nothing when it is not one or
/// holds a raw control byte.
std::optional<std::string> unquote(std::string_view q) {
    if (q.size() < 2 || q.front() != '"' || q.back() != '"')
        return std::nullopt;
    std::string out;
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        const auto c = static_cast<unsigned char>(q[i]);
        if (c < 0x20 || c == 0x7f || c == '"')
            return std::nullopt;
        if (c != '\\') {
            out += q[i];
            continue;
        }
        if (++i + 1 >= q.size())
            return std::nullopt;
        const char e = q[i];
        if (e == 't' || e == 'n' || e == '"' || e == '\\') {
            out += e == 't' ? '\t' : e == 'n' ? '\n' : e;
        } else if (e >= '0' && e <= '3' && i + 3 < q.size() && q[i + 1] >= '0' && q[i + 1] <= '7' &&
                   q[i + 2] >= '0' && q[i + 2] <= '7') {
            out += static_cast<char>((e - '0') * 64 + (q[i + 1] - '0') * 8 + (q[i + 2] - '0'));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

/// Two lines, "--- " and "+++ ", each the name, one tab and the time; the
/// name reads back as `name`.
void checkHeaders(const std::string& name, int64_t mtimeNs) {
    const std::string h = UnifiedDiff::headers(name, mtimeNs);
    const size_t first = h.find('\n');
    CHECK(first != std::string::npos && !h.empty() && h.back() == '\n');
    CHECK(h.find('\n', first + 1) == h.size() - 1);
    const std::string one = h.substr(0, first), two = h.substr(first + 1, h.size() - first - 2);
    CHECK(one.compare(0, 4, "--- ") == 0 && two.compare(0, 4, "+++ ") == 0);
    CHECK(one.substr(4) == two.substr(4));
    const size_t tab = one.find('\t');
    CHECK(tab != std::string::npos && one.find('\t', tab + 1) == std::string::npos);
    CHECK(isTimestamp(std::string_view(one).substr(tab + 1)));
    const std::string label = one.substr(4, tab - 4);
    if (!label.empty() && label.front() == '"') {
        const std::optional<std::string> unquoted = unquote(label);
        CHECK(unquoted && *unquoted == name);
    } else {
        // Bare, it must be a name patch reads whole: no control bytes, no
        // blank at either end for it to drop.
        CHECK(label == name && !name.empty() && name.front() != ' ' && name.back() != ' ');
        for (char c : name)
            CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
    // A diff begins with the same two lines.
    const std::string_view line = "x\n";
    const std::vector<LineStore::Edit> edits = {{'-', line}, {'+', line}};
    CHECK(UnifiedDiff::of(name, edits, "\n", mtimeNs).compare(0, h.size(), h) == 0);
}

std::optional<fs::path> resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::weakly_canonical(p, ec);
    return ec ? std::nullopt : std::optional<fs::path>(r);
}

/// A relative name of plain parts that leads where the path does.
void checkName(const std::string& path, const fs::path& folder, const std::string& name) {
    CHECK(!name.empty() && name.front() != '/' && name.back() != '/');
    CHECK(name.find('\0') == std::string::npos);
    for (size_t start = 0; start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string_view part = std::string_view(name).substr(start, end - start);
        CHECK(!part.empty() && part != "." && part != "..");
        start = end + 1;
    }
    // Only a path the system can follow leads anywhere: past a missing
    // folder, weakly_canonical() goes on lexically and ".." ignores links.
    std::error_code ec;
    if (!fs::is_directory((folder / path).parent_path(), ec))
        return;
    const std::optional<fs::path> there = resolved(folder / name), real = resolved(folder / path);
    if (there && real)
        CHECK(*there == *real);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int64_t mtimeNs = 0;
    if (size >= sizeof mtimeNs) {
        std::memcpy(&mtimeNs, data, sizeof mtimeNs);
        data += sizeof mtimeNs;
        size -= sizeof mtimeNs;
    }
    const std::string path(reinterpret_cast<const char*>(data), size);
    checkHeaders(path, mtimeNs);

    const fs::path folder = scratchFolder() / "project";
    const Result<std::string> name = UnifiedDiff::patchName(path, folder);
    if (!name) {
        CHECK(name.error().number == errors::PathAccess && !name.error().description.empty());
        return 0;
    }
    CHECK(path.find('\0') == std::string::npos);
    checkName(path, folder, *name);
    checkHeaders(*name, mtimeNs);
    return 0;
}
