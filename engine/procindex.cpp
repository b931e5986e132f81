#include "procindex.h"

#include "vbsyntax.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace trapline {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// The member attribute among the hidden lines after a declaration.
long attributeOf(const LineStore& lines, size_t lastIndex, std::string_view name) {
    std::string_view tail = lines.tail(lastIndex);
    while (!tail.empty()) {
        size_t nl = tail.find('\n');
        std::string_view line = tail.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (auto id = vb::userMemId(line, name))
            return *id;
        if (nl == std::string_view::npos)
            break;
        tail.remove_prefix(nl + 1);
    }
    return 0;
}

} // namespace

namespace {

/// Eight bytes at a time, each with its case bit set: a key and the names
/// that look it up (any letter case) hash alike. Collisions of other bytes
/// that differ only in that bit are told apart by the comparison.
uint64_t hashFolded(const char* p, size_t n) {
    constexpr uint64_t kFold = 0x2020202020202020ull;
    uint64_t h = 0xCBF29CE484222325ull ^ n;
    auto mix = [&h](uint64_t w) {
        h = (h ^ (w | kFold)) * 0x100000001B3ull;
        h ^= h >> 29;
    };
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        mix(w);
    }
    if (n > 0) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        mix(w);
    }
    return h;
}

} // namespace

// A key is the name in lower case, a NUL and the kind's digit (see key()):
// its hash is that of its bytes, which a probe reproduces without making it.
size_t ProcIndex::KeyHash::operator()(std::string_view key) const {
    return static_cast<size_t>(hashFolded(key.data(), key.size()));
}

size_t ProcIndex::KeyHash::operator()(const Probe& probe) const {
    const size_t n = probe.name.size();
    char bytes[64];
    if (n + 2 > sizeof bytes)
        return (*this)(std::string(probe.name) + '\0' + static_cast<char>('0' + probe.kind));
    std::memcpy(bytes, probe.name.data(), n);
    bytes[n] = '\0';
    bytes[n + 1] = static_cast<char>('0' + probe.kind);
    return static_cast<size_t>(hashFolded(bytes, n + 2));
}

bool ProcIndex::KeyEqual::operator()(const Probe& p, const std::string& key) const {
    const size_t n = p.name.size();
    if (key.size() != n + 2 || key[n] != '\0' || key[n + 1] != static_cast<char>('0' + p.kind))
        return false;
    for (size_t i = 0; i < n; ++i)
        if (key[i] != lower(p.name[i]))
            return false;
    return true;
}

std::string ProcIndex::key(std::string_view name, int kind) const {
    if (m_lead)
        return vb::lowerName(name, m_lead) + '\0' + static_cast<char>('0' + kind);
    std::string k(name.size() + 2, '\0');
    std::transform(name.begin(), name.end(), k.begin(), lower);
    k.back() = static_cast<char>('0' + kind);
    return k;
}

std::optional<size_t> ProcIndex::firstOf(std::string_view name, int kind) const {
    if (kind == m_last.kind && name == m_last.name)
        return m_last.first;
    // A probe folds every letter: in a double-byte code page a name with a
    // character outside ASCII is looked up by its key.
    const auto it =
        m_lead && std::any_of(name.begin(), name.end(),
                              [](char c) { return static_cast<unsigned char>(c) >= 0x80; })
            ? m_byKey.find(key(name, kind))
            : m_byKey.find(Probe{name, kind});
    m_last.name.assign(name);
    m_last.kind = kind;
    m_last.first = it == m_byKey.end() ? std::nullopt : std::optional<size_t>(it->second);
    return m_last.first;
}

void ProcIndex::build(const LineStore& lines, const LeadBytes* lead) {
    vb::CodepageScope scope(lead);
    m_lead = lead;
    m_procs.clear();
    m_byKey.clear();
    m_last = {};
    m_laterDefinitions.clear();
    m_members.clear();
    m_shiftFrom = 0;
    m_shiftBy = 0;

    const long count = static_cast<long>(lines.count());
    long lastCode = 0; // last line that is neither blank nor a comment
    long prevEnd = 0;  // End statement of the previous procedure
    long open = -1;    // the procedure whose End is not yet seen
    std::string openKey;
    std::unordered_map<std::string, size_t> memberAt;

    // The first procedure starts after the declarations section's last code
    // line; every later one right after the previous procedure.
    auto startFor = [&]() { return (prevEnd > 0 ? prevEnd : lastCode) + 1; };

    std::string joined; // a continued statement's lines, reused from one to the next
    for (long line = 1; line <= count; ++line) {
        const long first = line;
        // Trimmed once here: every test below trims first, and finds the
        // line already trimmed. A blank line changes nothing.
        std::string_view text = vb::trimLeft(lines.text(static_cast<size_t>(line - 1)));
        if (text.empty())
            continue;
        std::string_view statement = text;
        if (vb::isContinued(text)) {
            joined.assign(text);
            while (line < count && vb::isContinued(lines.text(static_cast<size_t>(line - 1)))) {
                joined.erase(joined.find_last_of('_'));
                joined += ' ';
                joined += lines.text(static_cast<size_t>(line));
                ++line;
            }
            statement = joined;
        }

        if (open >= 0 && vb::endStatementType(text)) {
            m_procs[open].last = line;
            prevEnd = line;
            lastCode = line;
            open = -1;
            continue;
        }
        auto decl = vb::parseDeclaration(statement);
        if (!decl) {
            // #If lines go with the procedure below them, like comments do.
            if (!vb::isBlankOrComment(text) && vb::directive(text) == vb::Directive::None)
                lastCode = line;
            continue;
        }
        std::string k = key(decl->name, decl->procKind);
        if (open >= 0) {
            // The same procedure declared again: alternatives under #If/#Else.
            if (k == openKey)
                continue;
            // Another procedure begins before this one ended: this one has no
            // End statement; it keeps the lines up to the new one's comments.
            m_procs[open].last = std::max(m_procs[open].body, lastCode);
            prevEnd = m_procs[open].last;
            open = -1;
        }
        // A declaration on one line was just read; the first of several
        // lines is read on its own, as the type is told by it.
        const int type = decl->procType == 2 ? 2
                         : first == line
                             ? (decl->procType == 0 ? 0 : 1)
                             : vb::subOrFunction(lines.text(static_cast<size_t>(first - 1)));
        Entry e{startFor(), first, line, k, type};
        if (auto [at, isNew] = m_byKey.emplace(k, m_procs.size()); !isNew) {
            // Another definition with its own body (whole versions under #If),
            // to be found and treated on its own.
            m_laterDefinitions[at->second].push_back(m_procs.size());
        } else {
            std::string memberKey = key(decl->name, decl->procType == 2 ? 2 : 1);
            if (memberAt.emplace(memberKey, m_members.size()).second)
                m_members.push_back(
                    Member{decl->name, decl->procType == 2 ? 2 : 1,
                           attributeOf(lines, static_cast<size_t>(line - 1), decl->name)});
        }
        m_procs.push_back(std::move(e));
        lastCode = line;
        if (decl->endsOnSameLine) {
            prevEnd = line;
        } else {
            open = static_cast<long>(m_procs.size()) - 1;
            openKey = k;
        }
    }
    // The last procedure owns whatever follows its End statement.
    if (!m_procs.empty())
        m_procs.back().last = std::max(count, m_procs.back().body);
}

ProcIndex::Proc ProcIndex::proc(size_t i) const {
    const Entry& e = m_procs[i];
    long d = i >= m_shiftFrom ? m_shiftBy : 0;
    return Proc{e.start + d, e.body + d, e.last + d, e.type};
}

ProcIndex::Entry& ProcIndex::materialised(size_t i) {
    if (i >= m_shiftFrom && m_shiftBy != 0) {
        // Pull the lazy shift boundary past i.
        for (size_t j = m_shiftFrom; j <= i; ++j) {
            m_procs[j].start += m_shiftBy;
            m_procs[j].body += m_shiftBy;
            m_procs[j].last += m_shiftBy;
        }
        m_shiftFrom = i + 1;
    }
    return m_procs[i];
}

void ProcIndex::shiftAfter(size_t first, long count) {
    if (m_shiftBy == 0 || m_shiftFrom >= m_procs.size()) {
        m_shiftFrom = first;
        m_shiftBy = count;
        return;
    }
    if (first < m_shiftFrom) {
        for (size_t j = first; j < m_shiftFrom; ++j) {
            m_procs[j].start += count;
            m_procs[j].body += count;
            m_procs[j].last += count;
        }
    } else {
        for (size_t j = m_shiftFrom; j < first; ++j) {
            m_procs[j].start += m_shiftBy;
            m_procs[j].body += m_shiftBy;
            m_procs[j].last += m_shiftBy;
        }
        m_shiftFrom = first;
    }
    m_shiftBy += count;
}

std::optional<ProcIndex::Proc> ProcIndex::find(std::string_view name, int kind,
                                               size_t definition) const {
    const auto first = firstOf(name, kind);
    if (!first)
        return std::nullopt;
    if (definition == 0)
        return proc(*first);
    auto later = m_laterDefinitions.find(*first);
    if (later == m_laterDefinitions.end() || definition > later->second.size())
        return std::nullopt;
    return proc(later->second[definition - 1]);
}

size_t ProcIndex::definitions(std::string_view name, int kind) const {
    const auto first = firstOf(name, kind);
    if (!first)
        return 0;
    auto later = m_laterDefinitions.find(*first);
    return 1 + (later == m_laterDefinitions.end() ? 0 : later->second.size());
}

size_t ProcIndex::owner(long line) const {
    size_t lo = 0, hi = m_procs.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (proc(mid).start <= line)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool ProcIndex::oneStretch(long first, long last) const {
    return owner(first) == owner(last);
}

void ProcIndex::shiftForInsert(long line, long count) {
    if (m_procs.empty() || count == 0)
        return;
    // The procedure holding the line now at `line` takes the new lines; before
    // the first procedure they belong to the declarations section.
    const size_t lo = owner(line);
    if (lo == 0) {
        shiftAfter(0, count);
        return;
    }
    size_t owner = lo - 1;
    Entry& e = materialised(owner);
    if (line <= e.body)
        e.body += count;
    e.last += count;
    if (owner + 1 < m_procs.size())
        shiftAfter(owner + 1, count);
}

} // namespace trapline
