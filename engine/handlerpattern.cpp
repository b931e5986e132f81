#include "handlerpattern.h"

#include "declaration.h"
#include "handlerinserter.h"
#include "vbsyntax.h"

#include <array>

namespace trapline {
namespace {

/// Splits an insertion text into its lines as CodeModule::InsertLines does.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t brk = text.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            out.emplace_back(text.substr(pos));
            break;
        }
        out.emplace_back(text.substr(pos, brk - pos));
        pos = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
    }
    return out;
}

/// Cuts `line` at each occurrence of `placeholder` in its literals, leftmost
/// first and without overlap, as the insertion's replacement finds them.
void cutAt(HandlerPattern::Line& line, std::string_view placeholder, HandlerPattern::Slot slot) {
    HandlerPattern::Line out;
    for (size_t i = 0; i < line.literals.size(); ++i) {
        std::string_view rest = line.literals[i];
        for (size_t at = rest.find(placeholder); at != std::string_view::npos;
             at = rest.find(placeholder)) {
            out.literals.emplace_back(rest.substr(0, at));
            out.slots.push_back(slot);
            rest.remove_prefix(at + placeholder.size());
        }
        out.literals.emplace_back(rest);
        if (i < line.slots.size())
            out.slots.push_back(line.slots[i]);
    }
    // Literals joined across a former slot are never merged: a slot stays a slot.
    line = std::move(out);
}

HandlerPattern::Line literal(std::string text) {
    return HandlerPattern::Line{{std::move(text)}, {}};
}

bool isTypeSuffix(char c) {
    return c == '%' || c == '&' || c == '!' || c == '#' || c == '@' || c == '$';
}

/// What matching a line needs besides the line, kept from one line to the
/// next: a procedure's lines are matched one after another, and each used to
/// allocate its own.
struct Scratch {
    std::vector<char> failed;
    std::vector<std::vector<size_t>> candidates; ///< one list for each slot
};

/// The lengths a slot's filling could have at the start of `text`, longest
/// first, into `out`; the name the procedure has now is always among them.
std::vector<size_t>& candidates(HandlerPattern::Slot slot, std::string_view text,
                                const ProcInfo& entry, std::vector<size_t>& out) {
    using Slot = HandlerPattern::Slot;
    out.clear();
    auto fixed = [&](std::initializer_list<std::string_view> words) {
        for (std::string_view w : words)
            if (text.starts_with(w))
                out.push_back(w.size());
    };
    if (slot == Slot::Keyword) {
        fixed({"Function", "Property", "Sub"});
        return out;
    }
    if (slot == Slot::ExitKeyword) {
        fixed({"FUNCTION", "Property", "SUB"});
        return out;
    }
    const std::string current = slot == Slot::Module ? entry.ModuleName
                                : slot == Slot::Proc ? entry.ProcName
                                                     : declaration::HostName(entry.ProcName);
    const size_t run = vb::wordEnd(text, 0);
    size_t name = run;
    if (slot != Slot::Module && run > 0 && run < text.size() && isTypeSuffix(text[run]))
        ++name;
    if (slot == Slot::Proc && name > 0)
        for (std::string_view kind : {" (Get)", " (Let)", " (Set)"})
            if (text.substr(name).starts_with(kind))
                out.push_back(name + kind.size());
    if (!current.empty() && text.starts_with(current))
        out.push_back(current.size());
    if (name > run)
        out.push_back(name);
    // Never half of a double-byte character.
    for (size_t n = run; n > 0; --n)
        if (vb::startsCharacter(text, n))
            out.push_back(n);
    return out;
}

/// Matches `text` against the slots of `line` from `slot` on; `failed`
/// remembers (slot, position) pairs that lead nowhere, so that lines with
/// many slots cost no more than slots times positions.
bool matchFrom(const HandlerPattern::Line& line, size_t slot, std::string_view text, size_t pos,
               const ProcInfo& entry, std::vector<std::string>& captures, Scratch& scratch) {
    if (slot == line.slots.size())
        return pos == text.size();
    const size_t memo = slot * (text.size() + 1) + pos;
    if (scratch.failed[memo])
        return false;
    const std::string& next = line.literals[slot + 1];
    for (size_t len :
         candidates(line.slots[slot], text.substr(pos), entry, scratch.candidates[slot])) {
        const size_t after = pos + len;
        if (text.substr(after, next.size()) != next)
            continue;
        captures.emplace_back(text.substr(pos, len));
        if (matchFrom(line, slot + 1, text, after + next.size(), entry, captures, scratch))
            return true;
        captures.pop_back();
    }
    scratch.failed[memo] = 1;
    return false;
}

bool matchLine(const HandlerPattern::Line& line, std::string_view text, const ProcInfo& entry,
               std::vector<std::string>& captures, Scratch& scratch) {
    captures.clear();
    const std::string& first = line.literals.front();
    if (!text.starts_with(first))
        return false;
    if (line.slots.empty())
        return text.size() == first.size();
    scratch.failed.assign(line.slots.size() * (text.size() + 1), 0);
    if (scratch.candidates.size() < line.slots.size())
        scratch.candidates.resize(line.slots.size());
    return matchFrom(line, 0, text, first.size(), entry, captures, scratch);
}

/// The length of the line number `text` starts with and the one blank, tab
/// or ':' after it, as numbering puts it in front of a statement; 0 for none.
size_t numberLength(std::string_view text) {
    size_t end = 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == 0 || end == text.size())
        return 0;
    return text[end] == ' ' || text[end] == '\t' || text[end] == ':' ? end + 1 : 0;
}

} // namespace

HandlerPattern HandlerPattern::standard(std::string_view prefix, bool erl) {
    const std::string p(prefix);
    HandlerPattern pattern;
    pattern.m_header.push_back(literal(p + "ON ERROR GOTO err_debug"));
    pattern.m_footer.push_back(Line{{p + "EXIT ", ""}, {Slot::ExitKeyword}});
    pattern.m_footer.push_back(literal(p + "err_debug:"));
    pattern.m_footer.push_back(Line{{p + "MyErrorHandler \"", ".", HandlerInserter::callEnd(erl)},
                                    {Slot::Module, Slot::HostProc}});
    return pattern;
}

Result<HandlerPattern> HandlerPattern::templates(std::string_view header, std::string_view footer,
                                                 std::string_view prefix,
                                                 const Codepage& codepage) {
    HandlerPattern pattern;
    for (auto [text, lines] : std::array<std::pair<std::string_view, std::vector<Line>*>, 2>{
             {{header, &pattern.m_header}, {footer, &pattern.m_footer}}}) {
        auto converted = codepage.fromUtf8(text);
        if (!converted)
            return converted.error();
        // The prefix goes on as the insertion puts it, before the text is
        // split: an empty template with a prefix is one line of the prefix.
        for (std::string& l : splitLines(HandlerInserter::applyPrefix(*converted, prefix))) {
            Line line = literal(std::move(l));
            cutAt(line, "???", Slot::Keyword);
            cutAt(line, "#MODULE#", Slot::Module);
            cutAt(line, "#PROC#", Slot::Proc);
            lines->push_back(std::move(line));
        }
    }
    return pattern;
}

bool HandlerPattern::matches(const Line& line, std::string_view text, const ProcInfo& entry,
                             std::vector<std::string>& captures) {
    Scratch scratch;
    return matchLine(line, text, entry, captures, scratch);
}

std::string HandlerPattern::fill(const Line& line, const std::vector<std::string>& values) {
    std::string out = line.literals.front();
    for (size_t i = 0; i < line.slots.size(); ++i)
        out.append(i < values.size() ? values[i] : std::string()).append(line.literals[i + 1]);
    return out;
}

bool HandlerPattern::matchesAt(const CodeModule& module, const std::vector<Line>& lines, long first,
                               const ProcInfo& entry,
                               std::vector<std::vector<std::string>>& captures,
                               std::vector<std::string>& numbers) const {
    if (first < 1 || first + static_cast<long>(lines.size()) - 1 > module.CountOfLines())
        return false;
    Scratch scratch;
    captures.reserve(captures.size() + lines.size());
    numbers.reserve(numbers.size() + lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> found;
        const std::string_view text = module.line(first + static_cast<long>(i));
        size_t number = 0;
        if (!matchLine(lines[i], text, entry, found, scratch)) {
            number = numberLength(text);
            if (number == 0 || !matchLine(lines[i], text.substr(number), entry, found, scratch))
                return false;
        }
        captures.push_back(std::move(found));
        numbers.emplace_back(text.substr(0, number));
    }
    return true;
}

Result<HandlerPattern::Found> HandlerPattern::find(const CodeModule& module, const ProcInfo& entry,
                                                   size_t definition) const {
    const vb::CodepageScope scope(module.leadBytes());
    const std::string name = declaration::HostName(entry.ProcName);
    const int kind = entry.ProcKind;
    auto body = module.ProcBodyLine(name, kind, definition);
    if (!body)
        return body.error();
    const int procType = declaration::DefinitionType(module, entry.ProcType, definition, *body);
    auto trap = declaration::TrapLine(module, name, kind, definition);
    if (!trap)
        return trap.error();
    auto where = module.procLines(name, kind, definition);
    if (!where)
        return where.error();
    auto end = declaration::EndLine(module, declaration::KindKeywords(procType).endStatement,
                                    where->last, *trap);
    if (!end)
        return end.error();

    Found f;
    f.bodyLine = *body;
    f.headerLine = *trap;
    f.footerLine = *end - static_cast<long>(m_footer.size());
    std::vector<std::vector<std::string>> head, foot;
    std::vector<std::string> headNumbers, footNumbers;
    const bool header = matchesAt(module, m_header, f.headerLine, entry, head, headNumbers);
    const bool footer = f.footerLine >= f.headerLine &&
                        matchesAt(module, m_footer, f.footerLine, entry, foot, footNumbers);
    const bool apart = f.headerLine + static_cast<long>(m_header.size()) <= f.footerLine;
    if (header && footer && apart) {
        f.presence = Presence::Complete;
        f.captures = std::move(head);
        f.captures.insert(f.captures.end(), foot.begin(), foot.end());
        f.numbers = std::move(headNumbers);
        f.numbers.insert(f.numbers.end(), footNumbers.begin(), footNumbers.end());
    } else if ((header && !m_header.empty()) || (footer && !m_footer.empty())) {
        f.presence = Presence::Partial;
    }
    return f;
}

std::vector<std::string> HandlerPattern::renamed(const Found& found, const ProcInfo& entry) const {
    std::vector<std::string> out;
    size_t k = 0;
    for (const std::vector<Line>* part : {&m_header, &m_footer})
        for (const Line& line : *part) {
            std::vector<std::string> values =
                k < found.captures.size() ? found.captures[k] : std::vector<std::string>();
            values.resize(line.slots.size());
            for (size_t s = 0; s < line.slots.size(); ++s) {
                if (line.slots[s] == Slot::Module)
                    values[s] = entry.ModuleName;
                else if (line.slots[s] == Slot::Proc)
                    values[s] = entry.ProcName;
                else if (line.slots[s] == Slot::HostProc)
                    values[s] = declaration::HostName(entry.ProcName);
            }
            out.push_back((k < found.numbers.size() ? found.numbers[k] : std::string()) +
                          fill(line, values));
            ++k;
        }
    return out;
}

std::vector<std::string> HandlerPattern::inserted(const ProcInfo& entry, int procType) const {
    std::vector<std::string> out;
    for (const std::vector<Line>* part : {&m_header, &m_footer})
        for (const Line& line : *part) {
            std::vector<std::string> values;
            for (Slot slot : line.slots)
                values.push_back(slot == Slot::Keyword ? declaration::KindKeywords(procType).keyword
                                 : slot == Slot::ExitKeyword
                                     ? HandlerInserter::exitKeyword(procType)
                                 : slot == Slot::Module ? entry.ModuleName
                                 : slot == Slot::Proc   ? entry.ProcName
                                                        : declaration::HostName(entry.ProcName));
            out.push_back(fill(line, values));
        }
    return out;
}

} // namespace trapline
