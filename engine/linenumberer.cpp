#include "linenumberer.h"

#include "chosendefinitions.h"
#include "declaration.h"
#include "vbsyntax.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace trapline {
namespace {

const char* kSource = "LineNumberer";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isWordChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || isDigit(c) || u == '_' || u >= 0x80;
}

/// A line number a line starts with: after `at` blanks, `digits` digits and
/// then `separator` (0 at the end of the line, else 1) blank, tab or ':'.
struct Leading {
    size_t at = 0;
    size_t digits = 0;
    size_t separator = 0;
    /// The number without leading zeros, as VB compares them; text, so that
    /// no number is too long for it.
    std::string key;
};

std::string keyOf(std::string_view digits) {
    size_t z = 0;
    while (z + 1 < digits.size() && digits[z] == '0')
        ++z;
    return std::string(digits.substr(z));
}

std::optional<Leading> leadingNumber(std::string_view line) {
    size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    size_t end = at;
    while (end < line.size() && isDigit(line[end]))
        ++end;
    if (end == at)
        return std::nullopt;
    if (end < line.size() && !isBlank(line[end]) && line[end] != ':')
        return std::nullopt;
    return Leading{at, end - at, end < line.size() ? 1u : 0u, keyOf(line.substr(at, end - at))};
}

/// The text of a line after the number it starts with, if any.
std::string_view afterNumber(std::string_view line, const std::optional<Leading>& n) {
    return n ? line.substr(n->at + n->digits + n->separator) : line;
}

/// Whether a statement line (not a continuation) may take a number.
bool takesNumber(std::string_view text) {
    if (vb::isBlankOrComment(text) || vb::directive(text) != vb::Directive::None ||
        vb::lineLabel(text))
        return false;
    std::string_view t = vb::trimLeft(text);
    // No statement starts with a digit: such a line is no code to number.
    if (isDigit(t[0]))
        return false;
    // Lines that belong to the block before them: numbered, some compile and
    // some do not, and none can raise an error of its own.
    for (std::string_view word : {"Case", "Else", "ElseIf", "EndIf", "Dim", "Static", "Const"})
        if (vb::startsWithKeyword(t, word))
            return false;
    if (vb::startsWithKeyword(t, "End")) {
        std::string_view rest = vb::trimLeft(t.substr(3));
        for (std::string_view word : {"If", "Select", "With"})
            if (vb::startsWithKeyword(rest, word))
                return false;
    }
    return true;
}

bool opensSelect(std::string_view text) {
    std::string_view t = vb::trimLeft(text);
    return vb::startsWithKeyword(t, "Select") &&
           vb::startsWithKeyword(vb::trimLeft(t.substr(6)), "Case");
}

/// A number in the code that names a line: a jump's target.
struct Reference {
    size_t line = 0;
    size_t at = 0;
    size_t length = 0;
    std::string key;
};

/// Where the scan of a statement stands: what the words before make of a
/// number that comes next.
enum class Expect { Nothing, Target, AfterTarget, ResumeTarget, ThenTarget };

/// Every jump to a line number in `lines`: the targets of GoTo and GoSub
/// (all of On x GoTo's), of Resume, and a number right after Then or Else.
/// Strings and comments hold none; "On Error GoTo 0" and "Resume 0" are none.
std::vector<Reference> references(const std::vector<std::string_view>& lines) {
    std::vector<Reference> out;
    Expect expect = Expect::Nothing;
    bool continues = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i];
        const bool continuation = continues;
        continues = vb::isContinued(text);
        size_t pos = 0;
        bool statementStart = !continuation;
        if (!continuation) {
            expect = Expect::Nothing;
            // A statement of one line without a digit holds no jump to a
            // number: most lines are passed over at the cost of one search.
            if (!continues && text.find_first_of("0123456789") == std::string_view::npos)
                continue;
            if (auto n = leadingNumber(text))
                pos = n->at + n->digits;
        }
        while (pos < text.size()) {
            const char c = text[pos];
            if (isBlank(c)) {
                ++pos;
            } else if (c == '"') {
                const size_t close = text.find('"', pos + 1);
                pos = close == std::string_view::npos ? text.size() : close + 1;
                expect = Expect::Nothing;
                statementStart = false;
            } else if (c == '\'') {
                break;
            } else if (isDigit(c)) {
                size_t end = pos;
                while (end < text.size() && isDigit(text[end]))
                    ++end;
                // "10.5", "10#" and "10&" are values, not line numbers.
                const bool whole =
                    end == text.size() ||
                    (!isWordChar(text[end]) &&
                     std::string_view(".#!@%&$").find(text[end]) == std::string_view::npos);
                const std::string key = keyOf(text.substr(pos, end - pos));
                const bool jump = whole && ((expect == Expect::Target && key != "0") ||
                                            (expect == Expect::ResumeTarget && key != "0") ||
                                            expect == Expect::ThenTarget);
                if (jump)
                    out.push_back(Reference{i, pos, end - pos, key});
                expect = jump && expect == Expect::Target ? Expect::AfterTarget : Expect::Nothing;
                statementStart = false;
                pos = end;
            } else if (isWordChar(c)) {
                size_t end = pos;
                while (end < text.size() && isWordChar(text[end]))
                    ++end;
                const std::string_view word = text.substr(pos, end - pos);
                if (statementStart && vb::equalsNoCase(word, "Rem"))
                    break;
                if (word == "_" && continues)
                    break;
                if (vb::equalsNoCase(word, "GoTo") || vb::equalsNoCase(word, "GoSub"))
                    expect = Expect::Target;
                else if (vb::equalsNoCase(word, "Resume"))
                    expect = Expect::ResumeTarget;
                else if (vb::equalsNoCase(word, "Then") || vb::equalsNoCase(word, "Else"))
                    expect = Expect::ThenTarget;
                else // a named label among the targets keeps the list going
                    expect = expect == Expect::Target ? Expect::AfterTarget : Expect::Nothing;
                statementStart = false;
                pos = end;
            } else {
                if (c == ',' && expect == Expect::AfterTarget)
                    expect = Expect::Target;
                else
                    expect = Expect::Nothing;
                statementStart = c == ':';
                ++pos;
            }
        }
    }
    return out;
}

/// The number each line holds (nullopt for continuation lines, whose
/// leading digits are part of the statement above).
std::vector<std::optional<Leading>> numbersOf(const std::vector<std::string_view>& lines) {
    std::vector<std::optional<Leading>> out(lines.size());
    bool continues = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!continues)
            out[i] = leadingNumber(lines[i]);
        continues = vb::isContinued(lines[i]);
    }
    return out;
}

Error refusal(std::string description) {
    return makeError(errors::InvalidCall, kSource, std::move(description));
}

/// "line 12 of the procedure" for messages: lines counted from the first
/// after the declaration.
std::string jumpAt(const Reference& r) {
    return "the jump on the procedure's line " + std::to_string(r.line + 1);
}

} // namespace

std::vector<bool> LineNumberer::numberable(const std::vector<std::string_view>& lines) {
    std::vector<bool> out(lines.size());
    bool continues = false;
    bool selectHead = false;
    // The last line is the End statement.
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const bool continuation = continues;
        continues = vb::isContinued(lines[i]);
        if (continuation)
            continue;
        const std::string_view text = afterNumber(lines[i], leadingNumber(lines[i]));
        if (selectHead) {
            // Nothing may stand numbered between Select Case and its first
            // Case, not even a comment.
            if (vb::startsWithKeyword(vb::trimLeft(text), "Case"))
                selectHead = false;
            continue;
        }
        out[i] = takesNumber(text);
        selectHead = opensSelect(text);
    }
    return out;
}

Result<std::vector<LineNumberer::Edit>>
LineNumberer::number(const std::vector<std::string_view>& lines, const NumberingOptions& options) {
    if (options.start < 1 || options.step < 1 || options.start > kHighest ||
        options.step > kHighest)
        return refusal("line numbers start at 1 to " + std::to_string(kHighest) +
                       " and go up by 1 to " + std::to_string(kHighest));
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    const bool numbered =
        std::any_of(old.begin(), old.end(), [](const auto& n) { return n.has_value(); });
    if (numbered && !options.renumber)
        return refusal("it holds line numbers already; it is left as it is");
    const std::vector<bool> takes = numberable(lines);

    // Every line that had a number keeps one, so that its jumps still land.
    std::unordered_map<std::string, std::string> renamed;
    std::vector<long> assigned(lines.size());
    long next = options.start;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!takes[i] && !old[i])
            continue;
        if (next > kHighest)
            return refusal("it would need line numbers above " + std::to_string(kHighest) +
                           "; it is left as it is");
        assigned[i] = next;
        next += options.step;
        if (old[i] && !renamed.emplace(old[i]->key, std::to_string(assigned[i])).second)
            return refusal("it holds the line number " + old[i]->key +
                           " twice; it is left as it is");
    }

    // Jumps first, right to left on each line, so that the places found stay
    // true while numbers change length; every jump lies after the number
    // the line starts with, which changes last.
    std::vector<std::optional<std::string>> texts(lines.size());
    // A jump to a number the procedure does not hold would not compile; once
    // numbered it might, to the wrong line, and unnumbering would not undo it.
    const std::vector<Reference> refs = references(lines);
    for (auto r = refs.rbegin(); r != refs.rend(); ++r) {
        auto to = renamed.find(r->key);
        if (to == renamed.end())
            return refusal(jumpAt(*r) + " goes to the line number " + r->key +
                           ", which the procedure does not hold; it is left as it is");
        if (!texts[r->line])
            texts[r->line] = std::string(lines[r->line]);
        texts[r->line]->replace(r->at, r->length, to->second);
    }
    std::vector<Edit> edits;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (assigned[i] == 0 && !texts[i])
            continue;
        if (texts[i] || old[i]) {
            std::string text = texts[i] ? std::move(*texts[i]) : std::string(lines[i]);
            if (old[i])
                text.replace(old[i]->at, old[i]->digits, std::to_string(assigned[i]));
            else if (assigned[i] != 0)
                text.insert(0, std::to_string(assigned[i]) + " ");
            edits.push_back({i, std::move(text)});
            continue;
        }
        char digits[8];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, assigned[i]);
        (void)ec; // never past 65529
        std::string text;
        text.reserve(static_cast<size_t>(end - digits) + 1 + lines[i].size());
        text.append(digits, end).append(1, ' ').append(lines[i]);
        edits.push_back({i, std::move(text)});
    }
    return edits;
}

Result<std::vector<LineNumberer::Edit>>
LineNumberer::unnumber(const std::vector<std::string_view>& lines) {
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    std::unordered_map<std::string, size_t> held;
    for (const auto& n : old)
        if (n)
            held.emplace(n->key, 0);
    if (held.empty())
        return std::vector<Edit>{};
    for (const Reference& r : references(lines))
        if (held.count(r.key))
            return refusal(jumpAt(r) + " goes to the line number " + r.key +
                           ", which removing the numbers would break; it is left as it is");
    std::vector<Edit> edits;
    for (size_t i = 0; i < lines.size(); ++i)
        if (old[i]) {
            std::string text(lines[i]);
            text.erase(old[i]->at, old[i]->digits + old[i]->separator);
            edits.push_back({i, std::move(text)});
        }
    return edits;
}

LineNumberer::Unnumbered LineNumberer::unnumbered(const std::vector<std::string_view>& lines) {
    const std::vector<bool> takes = numberable(lines);
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    Unnumbered u;
    for (size_t i = 0; i < lines.size(); ++i)
        if (takes[i] && !old[i] && u.count++ == 0)
            u.first = i;
    return u;
}

Result<std::pair<long, long>> LineNumberer::span(const CodeModule& module, std::string_view name,
                                                 int kind, int procType, size_t definition) {
    auto body = module.ProcBodyLine(name, kind, definition);
    auto start = module.ProcStartLine(name, kind, definition);
    auto count = module.ProcCountLines(name, kind, definition);
    if (!body || !start || !count)
        return (!body ? body : !start ? start : count).error();
    const long last = *start + *count - 1;
    std::string statement;
    for (long l = *body; l <= last; ++l) {
        statement.append(module.line(l)).append(" ");
        if (!vb::isContinued(module.line(l)))
            break;
    }
    if (auto d = vb::parseDeclaration(statement); d && d->endsOnSameLine)
        return std::make_pair(0L, 0L);
    auto first = declaration::TrapLine(module, name, kind, definition);
    if (!first)
        return first.error();
    // The End statement may carry a number of its own ("100 End Sub").
    for (long l = last; l >= *first; --l)
        if (vb::endStatementType(module.line(l)) == procType)
            return std::make_pair(*first, l);
    return makeError(errors::NoEndStatement, kSource,
                     "no End statement after line " + std::to_string(module.fileLine(*first)) +
                         " of the file");
}

namespace {

/// The lines of a span, as views into the module.
std::vector<std::string_view> linesOf(const CodeModule& module, std::pair<long, long> span) {
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<size_t>(span.second - span.first + 1));
    for (long l = span.first; l <= span.second; ++l)
        lines.push_back(module.line(l));
    return lines;
}

} // namespace

RunSummary LineNumberer::run(Action action, Component& component, const InsertionOptions& options,
                             const NumberingOptions& numbering, size_t& chosen) const {
    RunSummary summary;
    CodeModule& module = component.CodeModule();
    // Every procedure's new lines are worked out on the module as read and
    // go in together: one change of the module, however many procedures.
    std::vector<std::pair<long, std::string>> changed;
    std::vector<std::string> logs;
    const char* verb = action == Action::Number ? "Numbered " : "Unnumbered ";
    ChosenDefinitions(m_vbe, m_messages)
        .forEach(component, options, chosen, [&](const ChosenDefinitions::Definition& def) {
            const int procType = def.body ? declaration::DefinitionType(module, def.entry.ProcType,
                                                                        def.index, *def.body)
                                          : def.entry.ProcType;
            auto where = span(module, def.name, def.entry.ProcKind, procType, def.index);
            Result<std::vector<Edit>> edits = std::vector<Edit>{};
            if (!where)
                edits = where.error();
            else if (where->first > 0) {
                const std::vector<std::string_view> lines = linesOf(module, *where);
                edits = action == Action::Number ? number(lines, numbering) : unnumber(lines);
            }
            const long line =
                def.body && (def.count > 1 || !edits) ? module.fileLine(*def.body) : 0;
            RunSummary::Item item{def.cp.toUtf8(def.entry.ModuleName),
                                  def.cp.toUtf8(def.entry.ProcName), &component,
                                  edits ? std::string() : edits.error().description, line};
            if (!edits) {
                summary.failed.push_back(std::move(item));
                return;
            }
            if (edits->empty())
                return;
            for (Edit& e : *edits)
                changed.emplace_back(where->first + static_cast<long>(e.index), std::move(e.text));
            logs.push_back(verb + declaration::KindKeywords(procType).keyword + " : " +
                           def.cp.toUtf8(def.name) + "\r\n");
            summary.treated.push_back(std::move(item));
        });
    if (changed.empty())
        return summary;
    std::vector<std::pair<long, std::string_view>> texts;
    texts.reserve(changed.size());
    for (const auto& [line, text] : changed)
        texts.emplace_back(line, text);
    if (auto r = module.replaceTexts(texts); !r) {
        // Nothing went in: every procedure counted as treated was not.
        for (RunSummary::Item& item : summary.treated) {
            item.failure = r.error().description;
            summary.failed.push_back(std::move(item));
        }
        summary.treated.clear();
        return summary;
    }
    for (const std::string& text : logs)
        m_reporter.log(text);
    return summary;
}

std::vector<Finding> LineNumberer::check(Component& component,
                                         const InsertionOptions& options) const {
    std::vector<Finding> out;
    const CodeModule& module = component.CodeModule();
    size_t chosen = 0;
    ChosenDefinitions(m_vbe, m_messages)
        .forEach(component, options, chosen, [&](const ChosenDefinitions::Definition& def) {
            if (!def.body)
                return;
            const int procType =
                declaration::DefinitionType(module, def.entry.ProcType, def.index, *def.body);
            auto where = span(module, def.name, def.entry.ProcKind, procType, def.index);
            if (!where || where->first == 0)
                return;
            const Unnumbered u = unnumbered(linesOf(module, *where));
            if (u.count == 0)
                return;
            const long line = where->first + static_cast<long>(u.first);
            out.push_back(Finding{
                kUnnumbered, def.cp.toUtf8(def.entry.ModuleName), def.cp.toUtf8(def.entry.ProcName),
                &component, module.fileLine(line),
                declaration::KindKeywords(procType).keyword + " " + def.cp.toUtf8(def.name) + ": " +
                    std::to_string(u.count) + " statement line" + (u.count == 1 ? "" : "s") +
                    " without a line number, the first here"});
        });
    return out;
}

} // namespace trapline
