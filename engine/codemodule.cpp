#include "codemodule.h"

#include "vbsyntax.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <optional>

namespace trapline {
namespace {

/// One physical line of a file: where its text ends and where the next begins.
struct Physical {
    size_t begin, textEnd, next;
};

Physical physicalAt(const std::string& bytes, size_t pos) {
    size_t nl = bytes.find('\n', pos);
    if (nl == std::string::npos)
        return {pos, bytes.size(), bytes.size()};
    size_t textEnd = (nl > pos && bytes[nl - 1] == '\r') ? nl - 1 : nl;
    return {pos, textEnd, nl + 1};
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && vb::equalsNoCase(s.substr(0, prefix.size()), prefix);
}

bool isWord(std::string_view s, std::string_view word) {
    return startsWithNoCase(s, word) &&
           (s.size() == word.size() || s[word.size()] == ' ' || s[word.size()] == '\t');
}

/// How long the hidden head of a module file is: the VERSION line, Object
/// lines, the BEGIN…END block (nested Begin/BeginProperty blocks included) and
/// the module's Attribute lines.
size_t headLength(const std::string& bytes) {
    // A byte-order mark is no part of the first line's text, but it is kept.
    size_t pos = std::string_view(bytes).starts_with(LineStore::kBom) ? LineStore::kBom.size() : 0;
    int depth = 0;
    while (pos < bytes.size()) {
        Physical p = physicalAt(bytes, pos);
        std::string_view line(bytes.data() + p.begin, p.textEnd - p.begin);
        std::string_view t = vb::trimLeft(line);
        if (depth > 0) {
            if (isWord(t, "Begin") || isWord(t, "BeginProperty"))
                ++depth;
            else if (vb::equalsNoCase(t.substr(0, std::min<size_t>(t.size(), 11)), "EndProperty") ||
                     isWord(t, "End") || vb::equalsNoCase(t, "End"))
                --depth;
        } else if (isWord(line, "VERSION") || isWord(line, "Object") ||
                   startsWithNoCase(line, "Object=") || vb::isAttributeLine(line)) {
            // part of the head
        } else if (isWord(line, "Begin") || vb::equalsNoCase(line, "BEGIN")) {
            depth = 1;
        } else {
            break;
        }
        pos = p.next;
    }
    return pos;
}

/// Calls `f(offset, textLength, tailLength)` for each code line of a module
/// file after its head of `head` bytes. Each code line takes the Attribute
/// lines after it into its tail.
template <class F> void forEachCodeLine(const std::string& bytes, size_t head, F f) {
    if (head >= bytes.size())
        return;
    // The line looked at to see whether it belongs to the tail is the next
    // code line when it does not: each line is split off once.
    Physical p = physicalAt(bytes, head);
    for (;;) {
        size_t end = p.next;
        std::optional<Physical> next;
        while (end < bytes.size()) {
            Physical q = physicalAt(bytes, end);
            if (!vb::isAttributeLine(
                    std::string_view(bytes.data() + q.begin, q.textEnd - q.begin))) {
                next = q;
                break;
            }
            end = q.next;
        }
        f(p.begin, p.textEnd - p.begin, end - p.textEnd);
        if (!next)
            return;
        p = *next;
    }
}

/// Splits insertion text into lines: CR LF, LF or CR end a line; a final
/// break adds no empty line.
std::vector<std::string_view> splitText(std::string_view text) {
    std::vector<std::string_view> out;
    // A handler is a few lines: room for them at once, not grown line by line.
    out.reserve(4);
    size_t pos = 0;
    while (pos < text.size()) {
        // A loop of its own: find_first_of() calls memchr() for every byte.
        size_t brk = pos;
        while (brk < text.size() && text[brk] != '\r' && text[brk] != '\n')
            ++brk;
        if (brk == text.size()) {
            out.push_back(text.substr(pos));
            break;
        }
        out.push_back(text.substr(pos, brk - pos));
        pos = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
    }
    return out;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isIdentChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || u == '_' || u >= 0x80;
}

/// Whether the character that ends before `col`, which starts one, belongs to
/// a word; a double-byte character does, whatever its second byte.
bool wordBefore(std::string_view text, size_t col) {
    return col > 0 && (isIdentChar(text[col - 1]) ||
                       (col > 1 && static_cast<unsigned char>(text[col - 2]) >= 0x80 &&
                        vb::detail::isTrailByte(text, col - 1)));
}

size_t search(std::string_view hay, std::string_view needle, bool matchCase) {
    if (matchCase)
        return hay.find(needle);
    if (needle.empty())
        return 0;
    if (needle.size() > hay.size())
        return std::string_view::npos;
    // A byte can start a match when, its case bit set for a letter, it is
    // the needle's first byte in lower case. Eight bytes are tested at once:
    // lines are short, and a call to memchr() for each case of the letter
    // cost more than the line's bytes.
    const auto small = static_cast<unsigned char>(lower(needle[0]));
    const unsigned char fold = (small >= 'a' && small <= 'z') ? 0x20 : 0;
    const size_t last = hay.size() - needle.size();
    auto matchesAt = [&](size_t i) {
        if ((static_cast<unsigned char>(hay[i]) | fold) != small)
            return false;
        size_t k = 1;
        while (k < needle.size() && lower(hay[i + k]) == lower(needle[k]))
            ++k;
        return k == needle.size();
    };
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t ones = 0x0101010101010101ull;
        constexpr uint64_t highs = 0x8080808080808080ull;
        const uint64_t folded = ones * fold, wanted = ones * small;
        for (; i + 8 <= last + 1; i += 8) {
            uint64_t v;
            std::memcpy(&v, hay.data() + i, 8);
            const uint64_t x = (v | folded) ^ wanted;
            // A high bit for each zero byte of x, the lowest one exact; any
            // above it is tested like the rest.
            for (uint64_t z = (x - ones) & ~x & highs; z != 0; z &= z - 1)
                if (const size_t at = i + static_cast<size_t>(std::countr_zero(z)) / 8;
                    matchesAt(at))
                    return at;
        }
    }
    for (; i <= last; ++i)
        if (matchesAt(i))
            return i;
    return std::string_view::npos;
}

/// Whether `text` holds a CR, LF or NUL, which no line can hold. A loop of
/// its own: find_first_of() calls memchr() for every byte.
bool breaksLine(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

Error lineError(long line) {
    return makeError(errors::OutOfRange, "CodeModule",
                     "Line " + std::to_string(line) + " is outside the module");
}

} // namespace

Result<void> CodeModule::usable(std::string_view fileBytes) {
    auto refuse = [](std::string why) {
        return makeError(errors::BadFileFormat, "CodeModule", std::move(why));
    };
    if (fileBytes.find('\0') != std::string_view::npos)
        return refuse("binary file, not a VB module");
    if (fileBytes.size() > LineStore::kMaxBytes)
        return refuse("the file is too large for a VB module");
    // Lines are split at LF only. A CR on its own would leave lines joined
    // that VB and editors show apart, and a trap could land inside a statement.
    for (size_t cr = fileBytes.find('\r'); cr != std::string_view::npos;
         cr = fileBytes.find('\r', cr + 1)) {
        if (cr + 1 < fileBytes.size() && fileBytes[cr + 1] == '\n')
            continue;
        const char* fix = "; convert the line ends to CR LF and try again";
        if (fileBytes.find('\n') == std::string_view::npos)
            return refuse(std::string("uses CR line ends only (old Mac style)") + fix);
        long line = 1 + static_cast<long>(std::count(
                            fileBytes.begin(), fileBytes.begin() + static_cast<long>(cr), '\n'));
        return refuse("line " + std::to_string(line) + " ends in a CR without LF" + fix);
    }
    return {};
}

CodeModule::CodeModule(std::string fileBytes, const LeadBytes* lead) : m_lead(lead) {
    size_t firstNl = fileBytes.find('\n');
    if (firstNl != std::string::npos && (firstNl == 0 || fileBytes[firstNl - 1] != '\r'))
        m_eol = "\n";
    size_t head = headLength(fileBytes);
    m_lines = LineStore(std::move(fileBytes));
    const std::string& bytes = m_lines.original();
    m_lines.setHead(head);

    m_lines.reserve(countLineFeeds(std::string_view(bytes).substr(head)) + 1);
    forEachCodeLine(bytes, head, [&](size_t offset, size_t text, size_t tail) {
        m_lines.appendOriginal(offset, text, tail);
    });
    m_index.build(m_lines, m_lead);
}

void CodeModule::setLeadBytes(const LeadBytes* lead) {
    if (lead == m_lead)
        return;
    m_lead = lead;
    m_index.build(m_lines, m_lead);
}

LineStore::State CodeModule::originalState() const {
    LineStore::State s = m_lines.emptyState();
    forEachCodeLine(
        m_lines.original(), m_lines.head().size(),
        [&](size_t offset, size_t text, size_t tail) { s.appendOriginal(offset, text, tail); });
    return s;
}

bool CodeModule::restore(const LineStore::State& state) {
    if (!m_lines.restore(state))
        return false;
    m_index.build(m_lines, m_lead);
    return true;
}

std::string CodeModule::headName() const {
    std::string_view head = m_lines.head();
    if (head.starts_with(LineStore::kBom))
        head.remove_prefix(LineStore::kBom.size());
    while (!head.empty()) {
        size_t nl = head.find('\n');
        if (auto name = vb::moduleAttribute(head.substr(0, nl), "VB_Name"))
            return *name;
        if (nl == std::string_view::npos)
            break;
        head.remove_prefix(nl + 1);
    }
    return {};
}

long CodeModule::fileLine(long line) const {
    line = std::clamp(line, 1L, CountOfLines() + 1);
    const size_t inFile = m_lines.fileLine(static_cast<size_t>(line - 1));
    if (!m_windowLines)
        return static_cast<long>(inFile);
    // The lines read before it, counted in the window.
    return 1 + static_cast<long>(std::lower_bound(m_readLines.begin(), m_readLines.end(), inFile) -
                                 m_readLines.begin());
}

void CodeModule::countWindowLines() {
    m_windowLines = false;
    m_readLines = m_lines.fileLines();
    m_windowLines = true;
}

Result<std::string> CodeModule::Lines(long line, long count) const {
    if (line < 1 || count < 0 || line > CountOfLines() || line + count - 1 > CountOfLines())
        return lineError(line);
    std::string out;
    for (long i = 0; i < count; ++i) {
        if (i > 0)
            out += "\r\n";
        out += m_lines.text(static_cast<size_t>(line - 1 + i));
    }
    return out;
}

bool CodeModule::changesShape(long line, std::span<const std::string_view> lines) const {
    // Lines that open, close or continue a statement can change where
    // procedures lie; anything else only moves them.
    bool reindex = vb::isContinued(this->line(line - 1));
    bool code = false;
    for (std::string_view p : lines) {
        reindex = reindex || vb::isContinued(p) || vb::endStatementType(p) ||
                  vb::parseDeclaration(p) || vb::isAttributeLine(p);
        code = code || !vb::isBlankOrComment(p);
    }
    // Code in the declarations section, or between it and the first
    // declaration, can move where that section ends: added there, or its last
    // code line replaced by a comment or taken out.
    if (code && m_index.procCount() > 0 && line <= m_index.firstProcBody())
        reindex = true;
    return reindex;
}

Result<void> CodeModule::InsertLines(long line, std::string_view text) {
    const vb::CodepageScope scope(m_lead);
    if (line < 1 || line > CountOfLines() + 1)
        return lineError(line);
    std::vector<std::string_view> parts = splitText(text);
    if (parts.empty())
        return {};
    const bool reindex = changesShape(line, parts);
    m_lines.insert(static_cast<size_t>(line - 1), parts, m_eol);
    if (reindex)
        m_index.build(m_lines, m_lead);
    else
        m_index.shiftForInsert(line, static_cast<long>(parts.size()));
    return {};
}

Result<void> CodeModule::DeleteLines(long line, long count) {
    const vb::CodepageScope scope(m_lead);
    if (line < 1 || count < 0 || line > CountOfLines() || line + count - 1 > CountOfLines())
        return lineError(line);
    std::vector<std::string_view> gone;
    for (long i = 0; i < count; ++i) {
        const auto index = static_cast<size_t>(line - 1 + i);
        std::string_view tail = m_lines.tail(index);
        if (size_t nl = tail.find('\n'); nl != std::string_view::npos && nl + 1 < tail.size())
            return makeError(errors::InvalidCall, "CodeModule",
                             "Line " + std::to_string(line + i) +
                                 " carries hidden attribute lines; it is not deleted");
        gone.push_back(m_lines.text(index));
    }
    if (count == 0)
        return {};
    const bool reindex = changesShape(line, gone) || !m_index.oneStretch(line, line + count - 1);
    m_lines.erase(static_cast<size_t>(line - 1), static_cast<size_t>(count));
    if (reindex)
        m_index.build(m_lines, m_lead);
    else
        m_index.shiftForInsert(line, -count);
    return {};
}

Result<void> CodeModule::ReplaceLine(long line, std::string_view text) {
    const vb::CodepageScope scope(m_lead);
    if (line < 1 || line > CountOfLines())
        return lineError(line);
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return makeError(errors::InvalidCall, "CodeModule", "A line cannot hold a line break");
    const std::string_view both[] = {this->line(line), text};
    const bool reindex = changesShape(line, both);
    m_lines.replace(static_cast<size_t>(line - 1), text);
    if (reindex)
        m_index.build(m_lines, m_lead);
    return {};
}

Result<void> CodeModule::replaceTexts(const std::vector<std::pair<long, std::string_view>>& texts) {
    const vb::CodepageScope scope(m_lead);
    bool reindex = false;
    for (const auto& [line, text] : texts) {
        if (line < 1 || line > CountOfLines())
            return lineError(line);
        if (breaksLine(text))
            return makeError(errors::InvalidCall, "CodeModule",
                             "A line cannot hold a line break or a NUL character");
        // Numbering rewrites most lines of a module: once one line changes
        // its shape, the others need not be asked.
        if (!reindex) {
            const std::string_view both[] = {this->line(line), text};
            reindex = changesShape(line, both);
        }
    }
    for (const auto& [line, text] : texts)
        m_lines.replace(static_cast<size_t>(line - 1), text);
    if (reindex)
        m_index.build(m_lines, m_lead);
    return {};
}

namespace {

/// Hidden lines of a line the code window replaces, on their way to their
/// place among the new lines.
struct Moving {
    std::string hidden, text;
    std::string member; ///< whose attributes they are ("Value" of "Attribute Value.VB_…")
    size_t from;        ///< where the line was in the replaced range
};

std::string memberOf(std::string_view hidden) {
    std::string_view line = vb::trimLeft(hidden.substr(0, hidden.find_first_of("\r\n")));
    if (!startsWithNoCase(line, "Attribute "))
        return {};
    line = vb::trimLeft(line.substr(10));
    const size_t dot = line.find('.');
    return dot == std::string_view::npos ? std::string() : vb::trim(line.substr(0, dot));
}

/// Which of `lines` the hidden lines `m` go after: the same line where it
/// still is; else the end of the statement declaring their member; else the
/// line now in its place. None when the replacement took its place away too.
std::optional<size_t> placeOf(const Moving& m, const std::vector<std::string_view>& lines,
                              const std::vector<bool>& taken) {
    for (size_t k = 0; k < lines.size(); ++k)
        if (!taken[k] && lines[k] == m.text)
            return k;
    if (!m.member.empty())
        for (size_t k = 0; k < lines.size(); ++k)
            if (auto d = vb::parseDeclaration(lines[k]); d && vb::equalsNoCase(d->name, m.member)) {
                while (k + 1 < lines.size() && vb::isContinued(lines[k]))
                    ++k;
                return k;
            }
    if (m.from < lines.size())
        return m.from;
    return std::nullopt;
}

} // namespace

Result<void> CodeModule::replaceLines(long line, long count,
                                      const std::vector<std::string_view>& lines) {
    const vb::CodepageScope scope(m_lead);
    if (line < 1 || count < 0 || line > CountOfLines() + 1 || line + count - 1 > CountOfLines())
        return lineError(line);
    for (std::string_view l : lines)
        if (breaksLine(l))
            return makeError(errors::InvalidCall, "CodeModule",
                             "A line cannot hold a line break or a NUL character");
    const auto first = static_cast<size_t>(line - 1);
    std::vector<Moving> moving;
    for (size_t i = 0; i < static_cast<size_t>(count); ++i)
        if (std::string_view h = m_lines.hidden(first + i); !h.empty())
            moving.push_back(
                {std::string(h), std::string(m_lines.text(first + i)), memberOf(h), i});

    const size_t kept = std::min(static_cast<size_t>(count), lines.size());
    for (size_t i = 0; i < kept; ++i)
        if (m_lines.text(first + i) != lines[i])
            m_lines.replace(first + i, lines[i]);
    if (static_cast<size_t>(count) > kept)
        m_lines.erase(first + kept, static_cast<size_t>(count) - kept);
    else if (lines.size() > kept)
        m_lines.insert(first + kept,
                       {lines.begin() + static_cast<std::ptrdiff_t>(kept), lines.end()}, m_eol);

    // Hidden lines follow their line, or their member's declaration, wherever
    // the edit put it; they go only with both.
    std::vector<std::string> give(lines.size());
    std::vector<bool> taken(lines.size());
    for (const Moving& m : moving)
        if (auto k = placeOf(m, lines, taken)) {
            taken[*k] = true;
            if (!give[*k].empty() && give[*k].back() != '\n')
                give[*k] += m_eol;
            give[*k] += m.hidden;
        }
    for (size_t k = 0; k < lines.size(); ++k)
        if (m_lines.hidden(first + k) != give[k])
            m_lines.setHidden(first + k, give[k], m_eol);

    // An edit can do anything to the code, even to code that is not valid
    // (a procedure without its End), where only a fresh look tells where
    // procedures lie. A typed key is one edit: the cost is one pass.
    m_index.build(m_lines, m_lead);
    return {};
}

std::vector<long> CodeModule::fileLines() const {
    std::vector<size_t> lines = m_lines.fileLines();
    std::vector<long> out;
    out.reserve(lines.size());
    for (size_t inFile : lines)
        out.push_back(static_cast<long>(
            !m_windowLines ? inFile
                           : 1 + static_cast<size_t>(std::lower_bound(m_readLines.begin(),
                                                                      m_readLines.end(), inFile) -
                                                     m_readLines.begin())));
    return out;
}

Result<void> CodeModule::AddFromString(std::string_view text) {
    long first = m_index.firstProcStart();
    return InsertLines(first > 0 ? first : CountOfLines() + 1, text);
}

Result<ProcIndex::Proc> CodeModule::proc(std::string_view name, int kind, size_t definition) const {
    if (auto p = m_index.find(name, kind, definition))
        return *p;
    return makeError(errors::NotDefined, "CodeModule",
                     "Sub or Function not defined: " + std::string(name) +
                         (definition > 0 ? " (definition " + std::to_string(definition + 1) + ")"
                                         : std::string()));
}

Result<long> CodeModule::ProcBodyLine(std::string_view name, int kind, size_t definition) const {
    auto p = proc(name, kind, definition);
    if (!p)
        return p.error();
    return p->body;
}

Result<long> CodeModule::ProcStartLine(std::string_view name, int kind, size_t definition) const {
    auto p = proc(name, kind, definition);
    if (!p)
        return p.error();
    return p->start;
}

Result<long> CodeModule::ProcCountLines(std::string_view name, int kind, size_t definition) const {
    auto p = proc(name, kind, definition);
    if (!p)
        return p.error();
    return p->last - p->start + 1;
}

Result<bool> CodeModule::Find(std::string_view target, long& startLine, long& startColumn,
                              long& endLine, long& endColumn, bool wholeWord, bool matchCase,
                              bool patternSearch) const {
    const vb::CodepageScope scope(m_lead);
    if (patternSearch)
        return makeError(errors::InvalidCall, "CodeModule", "Pattern search is not supported");
    if (startLine < 1 || startLine > CountOfLines() || startColumn < 1)
        return lineError(startLine);
    long last = std::min(endLine, CountOfLines());
    for (long l = startLine; l <= last; ++l) {
        std::string_view text = line(l);
        size_t from = l == startLine ? static_cast<size_t>(startColumn - 1) : 0;
        size_t to = text.size();
        if (l == last && endColumn >= 0)
            to = std::min(to, static_cast<size_t>(endColumn));
        if (from >= to && !(target.empty() && from == to))
            continue;
        std::string_view range = text.substr(0, to);
        size_t at = from;
        while (at <= range.size()) {
            size_t hit = search(range.substr(at), target, matchCase);
            if (hit == std::string_view::npos)
                break;
            size_t col = at + hit;
            // In a double-byte code page a match may start on a character's
            // second byte, or take such a byte's letter in the other case.
            const bool whole =
                !m_lead ||
                (vb::startsCharacter(range, col) &&
                 (matchCase || vb::equalsNoCase(range.substr(col, target.size()), target)));
            bool bounded = !wholeWord ||
                           (!wordBefore(range, col) && (col + target.size() >= range.size() ||
                                                        !isIdentChar(range[col + target.size()])));
            if (whole && bounded) {
                startLine = endLine = l;
                startColumn = static_cast<long>(col) + 1;
                endColumn = static_cast<long>(col + target.size()) + 1;
                return true;
            }
            at = col + 1;
        }
    }
    return false;
}

} // namespace trapline
