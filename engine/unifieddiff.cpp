#include "unifieddiff.h"

#include "platform/filesystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <system_error>

namespace trapline {
namespace {

namespace fs = std::filesystem;

constexpr size_t kContext = 3;

/// Whether GNU patch would misread `name` written bare before the tab: it
/// drops leading and trailing blanks, takes a leading '"' for a quoted name
/// and stops at a tab or line end. Any other byte, a backslash, a quote
/// inside or a byte of any code page, passes through as it is.
bool needsQuotes(std::string_view name) {
    if (name.empty() || name.front() == '"' || name.front() == ' ' || name.back() == ' ')
        return true;
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7f;
    });
}

/// `name` in C-style quotes as `git diff` writes it; bytes above 0x7f stay as
/// they are, which patch reads back unchanged.
std::string quoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (b < 0x20 || b == 0x7f) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned>(b));
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

/// `mtimeNs` as `diff -u` writes a time, in UTC: "2024-05-01 13:45:07.123456789 +0000".
/// Seconds and days are split off by hand, rounding down, because converting
/// the extreme values through chrono's nanosecond durations would overflow.
std::string timestamp(int64_t mtimeNs) {
    constexpr int64_t kNsPerSecond = 1'000'000'000, kSecondsPerDay = 86'400;
    int64_t seconds = mtimeNs / kNsPerSecond, nanos = mtimeNs % kNsPerSecond;
    if (nanos < 0) {
        --seconds;
        nanos += kNsPerSecond;
    }
    int64_t days = seconds / kSecondsPerDay, secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        --days;
        secondOfDay += kSecondsPerDay;
    }
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld.%09lld +0000",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60), static_cast<long long>(nanos));
    return buf;
}

/// `path` (lexically normal) as a name relative to `folder`, or an empty path
/// when it is not a file name inside it.
fs::path below(const fs::path& path, const fs::path& folder) {
    fs::path rel = path.lexically_relative(folder);
    if (rel.empty() || !rel.has_filename())
        return {};
    for (const fs::path& part : rel)
        if (part == ".." || part == ".")
            return {};
    return rel;
}

/// Where the system takes `path`, symbolic links followed as far as it exists.
std::optional<fs::path> resolved(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    if (ec)
        return std::nullopt;
    return real;
}

void appendLine(std::string& out, char op, const LineStore::Edit& e, std::string_view eol) {
    out += op;
    out.append(e.text);
    if (e.owedEol)
        out.append(eol);
    else if (e.text.empty() || e.text.back() != '\n')
        out += "\n\\ No newline at end of file\n";
}

} // namespace

std::string UnifiedDiff::of(const std::string& name, const std::vector<LineStore::Edit>& edits,
                            std::string_view eol, int64_t mtimeNs) {
    std::string out;
    const size_t n = edits.size();
    size_t i = 0;
    // Old and new line numbers of edits[i].
    size_t oldLine = 1, newLine = 1;
    while (i < n) {
        // Find the next change.
        size_t change = i;
        size_t o = oldLine, nw = newLine;
        while (change < n && edits[change].op == ' ') {
            ++change;
            ++o;
            ++nw;
        }
        if (change == n)
            break;
        // The hunk starts up to kContext lines before it.
        size_t lead = std::min(kContext, change - i);
        size_t start = change - lead;
        size_t hunkOld = o - lead, hunkNew = nw - lead;
        // It ends when more than 2 * kContext unchanged lines follow a change.
        size_t end = change, quiet = 0;
        for (size_t k = change; k < n; ++k) {
            if (edits[k].op == ' ') {
                if (++quiet > 2 * kContext)
                    break;
            } else {
                quiet = 0;
                end = k + 1;
            }
        }
        size_t stop = std::min(n, end + kContext);
        size_t oldCount = 0, newCount = 0;
        for (size_t k = start; k < stop; ++k) {
            oldCount += edits[k].op != '+';
            newCount += edits[k].op != '-';
        }
        if (out.empty())
            out += headers(name, mtimeNs);
        out += "@@ -" + std::to_string(oldCount ? hunkOld : hunkOld - 1) + "," +
               std::to_string(oldCount) + " +" + std::to_string(newCount ? hunkNew : hunkNew - 1) +
               "," + std::to_string(newCount) + " @@\n";
        for (size_t k = start; k < stop; ++k)
            appendLine(out, edits[k].op, edits[k], eol);
        // Advance the line counters past the hunk.
        for (size_t k = i; k < stop; ++k) {
            oldLine += edits[k].op != '+';
            newLine += edits[k].op != '-';
        }
        i = stop;
    }
    return out;
}

std::string UnifiedDiff::headers(std::string_view name, int64_t mtimeNs) {
    const std::string label =
        (needsQuotes(name) ? quoted(name) : std::string(name)) + '\t' + timestamp(mtimeNs) + '\n';
    return "--- " + label + "+++ " + label;
}

Result<std::string> UnifiedDiff::patchName(const std::string& path, const fs::path& currentFolder) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return makeError(errors::PathAccess, path,
                         path.empty() ? "a diff needs a file name"
                                      : "a file name cannot hold a NUL byte");
    fs::path folder = currentFolder.lexically_normal();
    if (!folder.has_filename() && folder.has_relative_path())
        folder = folder.parent_path();
    const fs::path given = folder / platform::toPath(path);
    fs::path name = below(given.lexically_normal(), folder);
    // After a symbolic link, ".." leads to the link target's parent, not back
    // to where the name suggests: the lexical name is kept only when the
    // system takes it to the same file. Otherwise (or when a linked folder
    // makes the file look outside) the name is read off the resolved paths.
    const std::optional<fs::path> real = resolved(given);
    if (!name.empty() && real)
        if (std::optional<fs::path> named = resolved(folder / name); named && *named != *real)
            name.clear();
    if (name.empty() && real)
        if (std::optional<fs::path> realFolder = resolved(folder))
            name = below(*real, *realFolder);
    if (name.empty())
        return makeError(errors::PathAccess, path,
                         "the diff cannot name " + path + " for `patch -p0` from " +
                             platform::fromPath(folder) +
                             ": patch only changes files inside the folder it runs in");
    return platform::fromPath(name);
}

} // namespace trapline
