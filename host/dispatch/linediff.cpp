#include "linediff.h"

#include <algorithm>
#include <cstddef>

namespace trapline::dispatch {

namespace {

/// Past this many differing lines the diff's memory grows with their square;
/// the whole middle is then rewritten in two calls, which is still correct.
constexpr long kMaxDifferences = 4000;

struct Hunk {
    long oldStart, oldCount, newStart, newCount; // 0-based
};

using Lines = std::vector<std::string>;

/// Marks which lines of a[lo..] are deleted and which of b[lo..] inserted by a
/// shortest edit script (Myers), comparing up to the ends aEnd and bEnd.
/// False when the script would be longer than kMaxDifferences.
bool shortestEdit(const Lines& a, long aLo, long aEnd, const Lines& b, long bLo, long bEnd,
                  std::vector<char>& deleted, std::vector<char>& inserted) {
    const long n = aEnd - aLo, m = bEnd - bLo;
    const long limit = std::min(n + m, kMaxDifferences);
    std::vector<long> v(static_cast<size_t>(2 * limit + 3), 0);
    const long offset = limit + 1;
    std::vector<std::vector<long>> trace; // trace[d][k + d]: furthest x on diagonal k
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
            if (x >= n && y >= m)
                found = d;
        }
        trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
    }
    if (found < 0)
        return false;
    long x = n, y = m;
    for (long d = found; d > 0; --d) {
        const std::vector<long>& prev = trace[static_cast<size_t>(d - 1)];
        auto prevAt = [&](long k) { return prev[static_cast<size_t>(k + d - 1)]; };
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
        return {{prefix, aEnd - prefix, prefix, bEnd - prefix}};
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
