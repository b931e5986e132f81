#include "linediff.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>

namespace trapline::dispatch {

namespace {

/// Past this many differing lines the exact diff's memory (their square
/// over two, in 32-bit numbers) is more than an editor's process should
/// spend; a plainer diff takes over.
constexpr long kMaxDifferences = 2000;

struct Hunk {
    long oldStart, oldCount, newStart, newCount; // 0-based
};

using Lines = std::vector<std::string>;

/// Marks which lines of a[aLo..aEnd) are deleted and which of b[bLo..bEnd)
/// inserted by a shortest edit script (Myers). False when the script would
/// be longer than kMaxDifferences.
bool shortestEdit(const Lines& a, long aLo, long aEnd, const Lines& b, long bLo, long bEnd,
                  std::vector<char>& deleted, std::vector<char>& inserted) {
    const long n = aEnd - aLo, m = bEnd - bLo;
    const long limit = std::min(n + m, kMaxDifferences);
    std::vector<long> v(static_cast<size_t>(2 * limit + 3), 0);
    const long offset = limit + 1;
    // Round d's furthest x on the diagonals k = -d, -d + 2, …, d, one round
    // after the other.
    std::vector<int32_t> trace;
    auto start = [](long d) { return static_cast<size_t>(d * (d + 1) / 2); };
    auto at = [&](long k) -> long& { return v[static_cast<size_t>(k + offset)]; };
    long found = -1;
    for (long d = 0; d <= limit && found < 0; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            long y = x - k;
            while (x < n && y < m &&
                   a[static_cast<size_t>(aLo + x)] == b[static_cast<size_t>(bLo + y)])
                ++x, ++y;
            at(k) = x;
            trace.push_back(static_cast<int32_t>(x));
            if (x >= n && y >= m)
                found = d;
        }
    }
    if (found < 0)
        return false;
    long x = n, y = m;
    for (long d = found; d > 0; --d) {
        auto prevAt = [&](long k) {
            return long{trace[start(d - 1) + static_cast<size_t>((k + d - 1) / 2)]};
        };
        const long k = x - y;
        const bool down = k == -d || (k != d && prevAt(k - 1) < prevAt(k + 1));
        const long prevK = down ? k + 1 : k - 1;
        const long prevX = prevAt(prevK), prevY = prevX - prevK;
        if (down)
            inserted[static_cast<size_t>(bLo + prevY)] = 1;
        else
            deleted[static_cast<size_t>(aLo + prevX)] = 1;
        x = prevX;
        y = prevY;
    }
    return true;
}

/// A longer script, for when the shortest costs too much to find: each old
/// line is kept at its next occurrence among the new lines, and the new lines
/// it skips are inserted; an old line that does not occur again is deleted.
/// Lines it keeps are still never touched.
void greedyEdit(const Lines& a, long aLo, long aEnd, const Lines& b, long bLo, long bEnd,
                std::vector<char>& deleted, std::vector<char>& inserted) {
    std::map<std::string_view, std::vector<long>> where; // new lines' positions, ascending
    for (long j = bLo; j < bEnd; ++j)
        where[b[static_cast<size_t>(j)]].push_back(j);
    long j = bLo;
    for (long i = aLo; i < aEnd; ++i) {
        const auto found = where.find(a[static_cast<size_t>(i)]);
        if (found == where.end()) {
            deleted[static_cast<size_t>(i)] = 1;
            continue;
        }
        const auto next = std::lower_bound(found->second.begin(), found->second.end(), j);
        if (next == found->second.end()) {
            deleted[static_cast<size_t>(i)] = 1;
            continue;
        }
        for (; j < *next; ++j)
            inserted[static_cast<size_t>(j)] = 1;
        ++j;
    }
    for (; j < bEnd; ++j)
        inserted[static_cast<size_t>(j)] = 1;
}

std::vector<Hunk> hunks(const Lines& before, const Lines& after) {
    const long n = static_cast<long>(before.size()), m = static_cast<long>(after.size());
    long prefix = 0;
    while (prefix < n && prefix < m &&
           before[static_cast<size_t>(prefix)] == after[static_cast<size_t>(prefix)])
        ++prefix;
    long suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix &&
           before[static_cast<size_t>(n - 1 - suffix)] ==
               after[static_cast<size_t>(m - 1 - suffix)])
        ++suffix;
    const long aEnd = n - suffix, bEnd = m - suffix;
    if (prefix == aEnd && prefix == bEnd)
        return {};
    std::vector<char> deleted(before.size(), 0), inserted(after.size(), 0);
    if (!shortestEdit(before, prefix, aEnd, after, prefix, bEnd, deleted, inserted))
        greedyEdit(before, prefix, aEnd, after, prefix, bEnd, deleted, inserted);
    std::vector<Hunk> result;
    long i = prefix, j = prefix;
    while (i < aEnd || j < bEnd) {
        if (i < aEnd && j < bEnd && !deleted[static_cast<size_t>(i)] &&
            !inserted[static_cast<size_t>(j)]) {
            ++i, ++j;
            continue;
        }
        Hunk h{i, 0, j, 0};
        while (i < aEnd && deleted[static_cast<size_t>(i)])
            ++i, ++h.oldCount;
        while (j < bEnd && inserted[static_cast<size_t>(j)])
            ++j, ++h.newCount;
        result.push_back(h);
    }
    return result;
}

Lines slice(const Lines& lines, long start, long count) {
    return Lines(lines.begin() + start, lines.begin() + start + count);
}

} // namespace

std::vector<LineEdit> planLineEdits(const Lines& before, const Lines& after) {
    using Kind = LineEdit::Kind;
    std::vector<Hunk> found = hunks(before, after);
    std::vector<LineEdit> edits;
    for (auto h = found.rbegin(); h != found.rend(); ++h) {
        const long line = h->oldStart + 1;
        if (h->oldCount == 0) {
            edits.push_back({Kind::Insert, line, 0, slice(after, h->newStart, h->newCount)});
        } else if (h->newCount == 0) {
            edits.push_back({Kind::Delete, line, h->oldCount, {}});
        } else if (h->oldCount == 1 || h->newCount == 1) {
            // The line keeps its place (and what the IDE hides with it); the
            // rest of the run goes in or out beside it.
            edits.push_back({Kind::Replace, line, 0, slice(after, h->newStart, 1)});
            if (h->newCount > 1)
                edits.push_back(
                    {Kind::Insert, line + 1, 0, slice(after, h->newStart + 1, h->newCount - 1)});
            else if (h->oldCount > 1)
                edits.push_back({Kind::Delete, line + 1, h->oldCount - 1, {}});
        } else {
            edits.push_back({Kind::Delete, line, h->oldCount, {}});
            edits.push_back({Kind::Insert, line, 0, slice(after, h->newStart, h->newCount)});
        }
    }
    return edits;
}

void applyLineEdits(Lines& lines, const std::vector<LineEdit>& edits) {
    for (const LineEdit& e : edits) {
        auto at = lines.begin() + (e.line - 1);
        switch (e.kind) {
        case LineEdit::Kind::Delete:
            lines.erase(at, at + e.count);
            break;
        case LineEdit::Kind::Insert:
            lines.insert(at, e.lines.begin(), e.lines.end());
            break;
        case LineEdit::Kind::Replace:
            *at = e.lines.front();
            break;
        }
    }
}

Lines splitModuleText(const std::string& text) {
    Lines lines;
    size_t start = 0;
    for (size_t eol; (eol = text.find("\r\n", start)) != std::string::npos; start = eol + 2)
        lines.push_back(text.substr(start, eol - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::string joinModuleLines(const Lines& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

} // namespace trapline::dispatch
