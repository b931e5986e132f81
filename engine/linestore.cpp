#include "linestore.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace trapline {

size_t countLineFeeds(std::string_view s) {
    // A line's own end is a byte or two: cheaper looked at than searched.
    if (s.size() <= 16)
        return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
    size_t n = 0;
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (!nl)
            break;
        ++n;
        p = static_cast<const char*>(nl) + 1;
    }
    return n;
}

namespace {

uint64_t newIdentity() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

} // namespace

LineStore::LineStore() : m_identity(newIdentity()) {}

LineStore::LineStore(std::string original)
    : m_original(std::move(original)), m_identity(newIdentity()) {}

LineStore::State LineStore::state() const {
    State s;
    s.m_refs.reserve(count());
    s.m_refs.insert(s.m_refs.end(), m_refs.begin(),
                    m_refs.begin() + static_cast<std::ptrdiff_t>(m_gapStart));
    s.m_refs.insert(s.m_refs.end(), m_refs.begin() + static_cast<std::ptrdiff_t>(m_gapEnd),
                    m_refs.end());
    s.m_headExtraEol = m_headExtraEol;
    s.m_revision = m_revision;
    s.m_identity = m_identity;
    return s;
}

LineStore::State LineStore::emptyState() const {
    State s;
    s.m_identity = m_identity;
    return s;
}

bool LineStore::restore(const State& state) {
    if (state.m_identity != m_identity)
        return false;
    m_refs = state.m_refs;
    m_gapStart = m_gapEnd = m_refs.size();
    m_headExtraEol = state.m_headExtraEol;
    m_revision = state.m_revision;
    return true;
}

void LineStore::appendOriginal(size_t offset, size_t textLength, size_t tailLength) {
    // Loading happens before any insertion, so the gap is still at the end.
    Ref r;
    r.offset = static_cast<uint32_t>(offset);
    r.textLength = static_cast<uint32_t>(textLength);
    r.tail = static_cast<uint32_t>(tailLength);
    m_refs.push_back(r);
    m_gapStart = m_gapEnd = m_refs.size();
}

std::string_view LineStore::bytes(const Ref& r) const {
    const std::string& buffer = r.added() ? m_added : m_original;
    return std::string_view(buffer.data() + r.offset, size_t(r.textLength) + r.tailLength());
}

const std::vector<uint32_t>& LineStore::lineEnds() const {
    static const std::vector<uint32_t> none; // a store moved from holds no file
    if (!m_lineEnds)
        return none;
    // Const, so any thread that reads the module may be the first to ask.
    std::call_once(m_lineEnds->made, [this] {
        std::vector<uint32_t>& offsets = m_lineEnds->offsets;
        for (size_t nl = m_original.find('\n'); nl != std::string::npos;
             nl = m_original.find('\n', nl + 1))
            offsets.push_back(static_cast<uint32_t>(nl));
    });
    return m_lineEnds->offsets;
}

size_t LineStore::fileLine(size_t index) const {
    size_t at = m_original.size();
    for (size_t i = index, n = count(); i < n; ++i) {
        if (!ref(i).added()) {
            at = ref(i).offset;
            break;
        }
    }
    const std::vector<uint32_t>& ends = lineEnds();
    size_t line = 1 + static_cast<size_t>(
                          std::lower_bound(ends.begin(), ends.end(), static_cast<uint32_t>(at)) -
                          ends.begin());
    // Past a last line without a line end is the line after it, not that line.
    if (at == m_original.size() && !m_original.empty() && m_original.back() != '\n')
        ++line;
    return line;
}

std::string_view LineStore::tail(size_t index) const {
    return bytes(ref(index)).substr(ref(index).textLength);
}

bool LineStore::endsWithLineEnd(const Ref& r) const {
    std::string_view b = bytes(r);
    return r.extraEol() || (!b.empty() && b.back() == '\n');
}

void LineStore::moveGap(size_t index, size_t needed) {
    if (gapLength() < needed) {
        size_t live = count();
        size_t gap = std::max<size_t>({needed, live / 2, 64});
        std::vector<Ref> grown(live + gap);
        for (size_t i = 0; i < index; ++i)
            grown[i] = ref(i);
        for (size_t i = index; i < live; ++i)
            grown[i + gap] = ref(i);
        m_refs = std::move(grown);
        m_gapStart = index;
        m_gapEnd = index + gap;
        return;
    }
    if (index < m_gapStart) {
        size_t n = m_gapStart - index;
        std::memmove(&m_refs[m_gapEnd - n], &m_refs[index], n * sizeof(Ref));
        m_gapStart -= n;
        m_gapEnd -= n;
    } else if (index > m_gapStart) {
        size_t n = index - m_gapStart;
        std::memmove(&m_refs[m_gapStart], &m_refs[m_gapEnd], n * sizeof(Ref));
        m_gapStart += n;
        m_gapEnd += n;
    }
}

void LineStore::insert(size_t index, const std::vector<std::string_view>& lines,
                       std::string_view eol) {
    if (lines.empty())
        return;
    index = std::min(index, count());
    bool appending = index == count();
    // A file that ends without a line end keeps ending without one: the old
    // last line is given an end, the new last line none.
    bool lastWithoutEol = false;
    if (appending) {
        if (count() > 0) {
            Ref& last = ref(count() - 1);
            if (!endsWithLineEnd(last)) {
                last.tail |= Ref::kExtraEol;
                lastWithoutEol = true;
            }
        } else if (m_headLength > 0 && m_original[m_headLength - 1] != '\n' && !m_headExtraEol &&
                   !headIsBomOnly()) {
            m_headExtraEol = true;
            lastWithoutEol = true;
        }
    }
    moveGap(index, lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        Ref r;
        // A byte-order mark alone before the code belongs to the first line.
        // It is written from the head, but a copy right before the new first
        // line lets a change be shown with that line as it appears in the file.
        if (index == 0 && i == 0 && headIsBomOnly())
            m_added.append(kBom);
        r.offset = static_cast<uint32_t>(m_added.size());
        r.textLength = static_cast<uint32_t>(lines[i].size());
        m_added.append(lines[i]);
        bool noEol = lastWithoutEol && i + 1 == lines.size();
        if (!noEol)
            m_added.append(eol);
        r.tail = static_cast<uint32_t>(noEol ? 0 : eol.size()) | Ref::kAdded;
        m_refs[m_gapStart++] = r;
    }
    changed();
}

void LineStore::erase(size_t index, size_t n) {
    if (index >= count() || n == 0)
        return;
    n = std::min(n, count() - index);
    // The erased references join the gap; their bytes stay in the buffers,
    // where edits() finds the original ones missing.
    moveGap(index, 0);
    m_gapEnd += n;
    changed();
}

void LineStore::replace(size_t index, std::string_view text) {
    if (index >= count())
        return;
    rewrite(index, text, tail(index), ref(index).extraEol());
}

std::string_view LineStore::hidden(size_t index) const {
    const std::string_view t = tail(index);
    const size_t nl = t.find('\n');
    return nl == std::string_view::npos ? std::string_view() : t.substr(nl + 1);
}

void LineStore::setHidden(size_t index, std::string_view hiddenLines, std::string_view eol) {
    if (index >= count())
        return;
    const std::string_view old = tail(index);
    const size_t nl = old.find('\n');
    if (nl == std::string_view::npos && hiddenLines.empty())
        return;
    // A line without a line end of its own (the file's last) gets one before them.
    std::string t =
        nl == std::string_view::npos ? std::string(eol) : std::string(old.substr(0, nl + 1));
    t += hiddenLines;
    if (!hiddenLines.empty() && hiddenLines.back() != '\n')
        t += eol;
    // The tail now ends in a line end: none is owed after it.
    rewrite(index, text(index), t, false);
}

void LineStore::rewrite(size_t index, std::string_view text, std::string_view tailBytes,
                        bool owedEol) {
    const bool bom = index == 0 && headIsBomOnly();
    const size_t needed = (bom ? kBom.size() : 0) + text.size() + tailBytes.size();
    if (m_added.capacity() - m_added.size() < needed) {
        // The text or the tail may be bytes of the buffer about to move: room
        // is made first and they are found again in it, rather than copied
        // for every line a numbering rewrites.
        const auto begin = reinterpret_cast<uintptr_t>(m_added.data());
        auto offsetIn = [&](std::string_view v) {
            const auto at = reinterpret_cast<uintptr_t>(v.data());
            return !v.empty() && at >= begin && at < begin + m_added.size() ? at - begin : SIZE_MAX;
        };
        const size_t textAt = offsetIn(text), tailAt = offsetIn(tailBytes);
        m_added.reserve(std::max(m_added.size() + needed, 2 * m_added.capacity()));
        if (textAt != SIZE_MAX)
            text = std::string_view(m_added.data() + textAt, text.size());
        if (tailAt != SIZE_MAX)
            tailBytes = std::string_view(m_added.data() + tailAt, tailBytes.size());
    }
    Ref r;
    if (bom)
        m_added.append(kBom); // as insert() does, for the diff's sake
    r.offset = static_cast<uint32_t>(m_added.size());
    r.textLength = static_cast<uint32_t>(text.size());
    m_added.append(text);
    m_added.append(tailBytes);
    r.tail = static_cast<uint32_t>(tailBytes.size()) | Ref::kAdded | (owedEol ? Ref::kExtraEol : 0);
    ref(index) = r;
    changed();
}

std::vector<size_t> LineStore::fileLines() const {
    const size_t n = count();
    std::vector<size_t> out(n);
    // Original lines are in file order; count the line ends between them.
    size_t at = 0, line = 1;
    auto advanceTo = [&](size_t offset) {
        line += countLineFeeds(std::string_view(m_original).substr(at, offset - at));
        at = offset;
    };
    size_t next = 0; // lines before it still wait for the next original line's number
    size_t i = 0;
    auto visit = [&](const Ref& r) {
        if (!r.added()) {
            advanceTo(r.offset);
            for (; next <= i; ++next)
                out[next] = line;
            // A line's text holds no line end: the count goes on after it.
            at += r.textLength;
        }
        ++i;
    };
    // The references on either side of the gap, in order, each read once.
    for (size_t k = 0; k < m_gapStart; ++k)
        visit(m_refs[k]);
    for (size_t k = m_gapEnd; k < m_refs.size(); ++k)
        visit(m_refs[k]);
    if (next < n) {
        advanceTo(m_original.size());
        if (!m_original.empty() && m_original.back() != '\n')
            ++line;
        for (; next < n; ++next)
            out[next] = line;
    }
    return out;
}

namespace {

/// Calls `f(line)` for each physical line of `bytes`, line ends included.
template <class F> void forEachPhysical(std::string_view bytes, F f) {
    while (!bytes.empty()) {
        size_t nl = bytes.find('\n');
        size_t len = nl == std::string_view::npos ? bytes.size() : nl + 1;
        f(bytes.substr(0, len));
        bytes.remove_prefix(len);
    }
}

} // namespace

std::vector<LineStore::Edit> LineStore::edits() const {
    std::vector<Edit> out;
    auto piece = [&](std::string_view bytes, char op, bool owedEol) {
        std::vector<std::string_view> lines;
        forEachPhysical(bytes, [&](std::string_view l) { lines.push_back(l); });
        for (size_t i = 0; i < lines.size(); ++i) {
            bool last = i + 1 == lines.size();
            if (op == ' ' && last && owedEol) {
                // The old last line had no line end; now it has one.
                out.push_back({'-', lines[i]});
                out.push_back({'+', lines[i], true});
            } else {
                out.push_back({op, lines[i]});
            }
        }
    };
    const bool bomLine = headIsBomOnly() && count() > 0;
    if (!bomLine)
        piece(head(), ' ', m_headExtraEol);
    // Original lines stay in file order: bytes of the original skipped between
    // two of them were removed. Added lines wait until the removed ones before
    // them are out, so a replaced line reads as removed, then added.
    size_t expected = m_headLength;
    size_t addedFrom = 0;
    auto flushAdded = [&](size_t upTo) {
        for (; addedFrom < upTo; ++addedFrom)
            if (ref(addedFrom).added())
                piece(bytes(ref(addedFrom)), '+', false);
    };
    for (size_t i = 0, n = count(); i < n; ++i) {
        const Ref& r = ref(i);
        if (r.added())
            continue;
        if (r.offset > expected)
            piece(std::string_view(m_original).substr(expected, r.offset - expected), '-', false);
        flushAdded(i);
        addedFrom = i + 1;
        piece(bytes(r), ' ', r.extraEol());
        expected = r.offset + r.textLength + r.tailLength();
    }
    if (expected < m_original.size())
        piece(std::string_view(m_original).substr(expected), '-', false);
    flushAdded(count());
    if (bomLine)
        attachBom(out);
    return out;
}

std::string_view LineStore::withBom(std::string_view line) const {
    const auto at = reinterpret_cast<uintptr_t>(line.data());
    for (const std::string* buffer : {&m_original, &m_added}) {
        const auto begin = reinterpret_cast<uintptr_t>(buffer->data());
        if (at < begin + kBom.size() || at > begin + buffer->size())
            continue;
        if (std::string_view(line.data() - kBom.size(), kBom.size()) == kBom)
            return std::string_view(line.data() - kBom.size(), line.size() + kBom.size());
    }
    return line;
}

void LineStore::attachBom(std::vector<Edit>& out) const {
    // The first line of the old file and that of the new one each begin with
    // the mark; when they are different lines, the old one shows as replaced.
    auto firstOf = [&](char notOp) {
        size_t i = 0;
        while (i < out.size() && out[i].op == notOp)
            ++i;
        return i;
    };
    size_t oldFirst = firstOf('+');
    if (oldFirst == out.size()) {
        // The file held the mark and nothing else: that was its one line.
        out.insert(out.begin(), Edit{'-', head()});
        oldFirst = 0;
    } else {
        if (out[oldFirst].op == ' ' && firstOf('-') < oldFirst) {
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(oldFirst) + 1,
                       Edit{'+', out[oldFirst].text});
            out[oldFirst].op = '-';
        }
        out[oldFirst].text = withBom(out[oldFirst].text);
    }
    const size_t newFirst = firstOf('-');
    if (newFirst < out.size() && newFirst != oldFirst)
        out[newFirst].text = withBom(out[newFirst].text);
}

std::vector<std::string_view> LineStore::pieces(std::string_view eol) const {
    std::vector<std::string_view> out;
    auto add = [&](std::string_view piece) {
        if (piece.empty())
            return;
        if (!out.empty() && out.back().data() + out.back().size() == piece.data())
            out.back() = std::string_view(out.back().data(), out.back().size() + piece.size());
        else
            out.push_back(piece);
    };
    add(head());
    if (m_headExtraEol)
        add(eol);
    for (size_t i = 0, n = count(); i < n; ++i) {
        const Ref& r = ref(i);
        add(bytes(r));
        if (r.extraEol())
            add(eol);
    }
    return out;
}

std::string LineStore::serialize(std::string_view eol) const {
    std::string out;
    out.reserve(m_original.size() + m_added.size());
    out.append(head());
    if (m_headExtraEol)
        out.append(eol);
    for (size_t i = 0, n = count(); i < n; ++i) {
        const Ref& r = ref(i);
        out.append(bytes(r));
        if (r.extraEol())
            out.append(eol);
    }
    return out;
}

} // namespace trapline
