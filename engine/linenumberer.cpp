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
    /// no number is too long for it. A view into the line, which outlives it:
    /// every line is read, and none needs a copy.
    std::string_view key;
};

std::string_view keyOf(std::string_view digits) {
    size_t z = 0;
    while (z + 1 < digits.size() && digits[z] == '0')
        ++z;
    return digits.substr(z);
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
    // some do not, and none can raise an error of its own. Each of those
    // words starts with C, D, E or S: most lines are passed by that letter.
    const char first = static_cast<char>(t[0] | 0x20);
    if (first != 'c' && first != 'd' && first != 'e' && first != 's')
        return true;
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

/// Whether a statement after a ':' of the line is a Case clause.
bool caseFollows(std::string_view text) {
    for (size_t pos = 0; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            pos = text.find('"', pos + 1);
            if (pos == std::string_view::npos)
                return false;
        } else if (c == '\'') {
            return false;
        } else if (c == ':' && (pos + 1 == text.size() || text[pos + 1] != '=')) {
            const std::string_view next = vb::trimLeft(text.substr(pos + 1));
            if (vb::startsWithKeyword(next, "Case"))
                return true;
            if (vb::startsWithKeyword(next, "Rem"))
                return false;
        }
    }
    return false;
}

/// Whether a line opens a Select Case whose first Case is on a later line.
bool opensSelect(std::string_view text) {
    std::string_view t = vb::trimLeft(text);
    return vb::startsWithKeyword(t, "Select") &&
           vb::startsWithKeyword(vb::trimLeft(t.substr(6)), "Case") && !caseFollows(t);
}

/// A number in the code that names a line: a jump's target.
struct Reference {
    size_t line = 0;
    size_t at = 0;
    size_t length = 0;
    std::string_view key; ///< a view into the line, as Leading's
};

/// Where the scan of a statement stands: what the words before make of a
/// number that comes next.
enum class Expect { Nothing, Target, AfterTarget, ResumeTarget, ThenTarget };

/// Every jump to a line number in `lines`: the targets of GoTo and GoSub
/// (all of On x GoTo's), of Resume, and a number right after Then or Else.
/// Strings and comments hold none; "On Error GoTo 0" and "Resume 0" are none.
/// `old` holds each line's number as numbersOf() reads it.
std::vector<Reference> references(const std::vector<std::string_view>& lines,
                                  const std::vector<std::optional<Leading>>& old) {
    std::vector<Reference> out;
    Expect expect = Expect::Nothing;
    bool continues = false;
    // After '.' or '!' a word names a member ("Selection.GoTo", "With x:
    // .GoTo 10"): a method, never a statement.
    bool member = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i];
        const bool continuation = continues;
        continues = vb::isContinued(text);
        size_t pos = 0;
        bool statementStart = !continuation;
        if (!continuation) {
            expect = Expect::Nothing;
            member = false;
            // A statement of one line without a digit holds no jump to a
            // number: most lines are passed over at the cost of one search.
            if (!continues && std::none_of(text.begin(), text.end(), isDigit))
                continue;
            if (old[i])
                pos = old[i]->at + old[i]->digits;
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
                member = false;
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
                const std::string_view key = keyOf(text.substr(pos, end - pos));
                const bool jump = whole && ((expect == Expect::Target && key != "0") ||
                                            (expect == Expect::ResumeTarget && key != "0") ||
                                            expect == Expect::ThenTarget);
                if (jump)
                    out.push_back(Reference{i, pos, end - pos, key});
                expect = jump && expect == Expect::Target ? Expect::AfterTarget : Expect::Nothing;
                statementStart = false;
                member = false;
                pos = end;
            } else if (isWordChar(c)) {
                const size_t end = vb::wordEnd(text, pos);
                const std::string_view word = text.substr(pos, end - pos);
                if (statementStart && vb::equalsNoCase(word, "Rem"))
                    break;
                if (word == "_" && continues)
                    break;
                if (member)
                    expect = Expect::Nothing;
                else if (vb::equalsNoCase(word, "GoTo") || vb::equalsNoCase(word, "GoSub"))
                    expect = Expect::Target;
                else if (vb::equalsNoCase(word, "Resume"))
                    expect = Expect::ResumeTarget;
                else if (vb::equalsNoCase(word, "Then") || vb::equalsNoCase(word, "Else"))
                    expect = Expect::ThenTarget;
                else // a named label among the targets keeps the list going
                    expect = expect == Expect::Target ? Expect::AfterTarget : Expect::Nothing;
                statementStart = false;
                member = false;
                pos = end;
            } else {
                if (c == ',' && expect == Expect::AfterTarget)
                    expect = Expect::Target;
                else
                    expect = Expect::Nothing;
                statementStart = c == ':';
                member = c == '.' || c == '!';
                ++pos;
            }
        }
    }
    return out;
}

/// One piece of a statement, as the scan for Erl sees it.
struct Token {
    enum Kind { Word, Number, Text, Op } kind = Op;
    std::string_view text;
    size_t line = 0, at = 0;
    /// A number of digits alone ("20", not "20#", "2.5" or "2E1").
    bool whole = false;
};

/// Hands each statement of `lines` to `visit` as its tokens: statements end
/// at a line that continues none and at ':' (not ":="); a line's leading
/// number, strings' contents and comments (which a " _" continues too) are
/// left out, the strings themselves kept as Text.
template <typename Visit>
void forEachStatement(const std::vector<std::string_view>& lines, Visit visit) {
    std::vector<Token> tokens;
    auto flush = [&] {
        if (!tokens.empty())
            visit(static_cast<const std::vector<Token>&>(tokens));
        tokens.clear();
    };
    bool continues = false, comment = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i];
        const bool continuation = continues;
        continues = vb::isContinued(text);
        size_t pos = 0;
        if (!continuation) {
            flush();
            comment = false;
            if (auto n = leadingNumber(text))
                pos = n->at + n->digits;
        }
        if (comment)
            continue;
        while (pos < text.size()) {
            const char c = text[pos];
            size_t end = pos + 1;
            Token t;
            t.line = i;
            t.at = pos;
            if (isBlank(c)) {
                ++pos;
                continue;
            }
            if (c == '\'') {
                comment = true;
                break;
            }
            if (c == '"') {
                const size_t close = text.find('"', pos + 1);
                end = close == std::string_view::npos ? text.size() : close + 1;
                t.kind = Token::Text;
            } else if (isDigit(c)) {
                while (end < text.size() && isDigit(text[end]))
                    ++end;
                t.kind = Token::Number;
                t.whole = true;
                // "2.5", "2E1", "20#", "20&": no line number; taken whole.
                while (end < text.size() &&
                       (isWordChar(text[end]) || text[end] == '.' ||
                        std::string_view("#!@%&$").find(text[end]) != std::string_view::npos)) {
                    t.whole = false;
                    ++end;
                }
            } else if (isWordChar(c)) {
                end = vb::wordEnd(text, pos);
                t.kind = Token::Word;
                const std::string_view word = text.substr(pos, end - pos);
                if (word == "_" && continues)
                    break;
                if (tokens.empty() && vb::equalsNoCase(word, "Rem")) {
                    comment = true;
                    break;
                }
            } else if (end < text.size() && ((c == '<' && (text[end] == '>' || text[end] == '=')) ||
                                             ((c == '>' || c == ':') && text[end] == '='))) {
                ++end;
            } else if (c == ':') {
                flush();
                pos = end;
                continue;
            }
            t.text = text.substr(pos, end - pos);
            tokens.push_back(t);
            pos = end;
        }
    }
    flush();
}

/// The numbers the procedure compares Erl with, as places to remap like
/// jumps, and the first line (if any) where it does so in a way whose remap
/// might not be exact.
struct ErlComparisons {
    std::vector<Reference> numbers;
    std::optional<size_t> unsure;
};

bool isWord(const Token& t, std::string_view word) {
    return t.kind == Token::Word && vb::equalsNoCase(t.text, word);
}

bool isOp(const Token& t, std::string_view op) {
    return t.kind == Token::Op && t.text == op;
}

bool isComparison(const Token& t) {
    if (t.kind != Token::Op)
        return false;
    for (std::string_view op : {"=", "<>", "<", ">", "<=", ">="})
        if (t.text == op)
            return true;
    return false;
}

/// An operator that makes of Erl something other than its value.
bool isOperator(const Token& t) {
    if (isComparison(t))
        return true;
    if (t.kind == Token::Op)
        return t.text.size() == 1 &&
               std::string_view("+-*/\\^").find(t.text[0]) != std::string_view::npos;
    for (std::string_view word : {"Mod", "Like", "Is", "To"})
        if (isWord(t, word))
            return true;
    return false;
}

ErlComparisons erlComparisons(const std::vector<std::string_view>& lines) {
    ErlComparisons out;
    // Most procedures never name Erl: one search each line, no tokens.
    const bool named = std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
        // A loop of its own: find_first_of() calls memchr() for every byte.
        for (size_t at = 0; at < line.size(); ++at)
            if ((line[at] | 0x20) == 'e' && vb::startsWithKeyword(line.substr(at), "Erl"))
                return true;
        return false;
    });
    if (!named)
        return out;
    auto unsure = [&](size_t line) {
        if (!out.unsure || line < *out.unsure)
            out.unsure = line;
    };
    auto number = [&](const Token& t) {
        out.numbers.push_back(Reference{t.line, t.at, t.text.size(), keyOf(t.text)});
    };
    // One entry per open Select Case: whether it selects on Erl alone.
    std::vector<bool> selects;
    forEachStatement(lines, [&](const std::vector<Token>& t) {
        const size_t n = t.size();
        auto isErl = [&](size_t i) {
            return isWord(t[i], "Erl") && !(i > 0 && (isOp(t[i - 1], ".") || isOp(t[i - 1], "!")));
        };
        auto anyErl = [&] {
            for (size_t i = 0; i < n; ++i)
                if (isErl(i))
                    return true;
            return false;
        };
        if (n >= 2 && isWord(t[0], "Select") && isWord(t[1], "Case")) {
            const bool onErl = n == 3 && isErl(2);
            if (!onErl && anyErl())
                unsure(t[0].line);
            selects.push_back(onErl);
            return;
        }
        if (n >= 2 && isWord(t[0], "End") && isWord(t[1], "Select")) {
            if (!selects.empty())
                selects.pop_back();
            return;
        }
        if (isWord(t[0], "Case") && !selects.empty() && selects.back()) {
            // "Case Else", or whole numbers alone: "Case 20", "Case 20, 30".
            if (n == 2 && isWord(t[1], "Else"))
                return;
            for (size_t i = 1;; i += 2) {
                if (i >= n || t[i].kind != Token::Number || !t[i].whole ||
                    (i + 1 < n && !isOp(t[i + 1], ","))) {
                    unsure(t[0].line);
                    return;
                }
                if (t[i].text.find_first_not_of('0') != std::string_view::npos)
                    number(t[i]);
                if (i + 1 >= n)
                    return;
            }
        }
        // Where a comparison stops: what binds less tightly than it does.
        auto opens = [&](size_t i) { // the token before the comparison, at i - 1
            if (i == 0)
                return false;
            const Token& b = t[i - 1];
            if (isOp(b, "(") || isOp(b, ","))
                return true;
            for (std::string_view word : {"If", "ElseIf", "And", "Or", "Not", "Xor", "Eqv", "Imp",
                                          "Case", "While", "Until"})
                if (isWord(b, word))
                    return true;
            return false;
        };
        auto closes = [&](size_t i) { // the token after the comparison, at i
            if (i >= n)
                return true;
            const Token& a = t[i];
            if (isOp(a, ")") || isOp(a, ","))
                return true;
            for (std::string_view word : {"Then", "And", "Or", "Xor", "Eqv", "Imp"})
                if (isWord(a, word))
                    return true;
            return false;
        };
        for (size_t i = 0; i < n; ++i) {
            if (!isErl(i))
                continue;
            // Erl in parentheses, "(Erl)", stands where the parentheses do.
            size_t lo = i, hi = i;
            while (lo > 0 && hi + 1 < n && isOp(t[lo - 1], "(") && isOp(t[hi + 1], ")"))
                --lo, ++hi;
            // "Erl = 20" or "20 = Erl", and nothing else in the comparison.
            const Token* with = nullptr;
            const Token* op = nullptr;
            if (hi + 2 < n && isComparison(t[hi + 1]) && t[hi + 2].kind == Token::Number &&
                opens(lo) && closes(hi + 3)) {
                op = &t[hi + 1];
                with = &t[hi + 2];
            } else if (lo >= 2 && isComparison(t[lo - 1]) && t[lo - 2].kind == Token::Number &&
                       opens(lo - 2) && closes(hi + 1)) {
                op = &t[lo - 1];
                with = &t[lo - 2];
            }
            if (with) {
                // Numbers stay above 0, so any comparison with 0 still holds.
                if (with->whole && with->text.find_first_not_of('0') == std::string_view::npos)
                    continue;
                if (with->whole && (op->text == "=" || op->text == "<>"))
                    number(*with);
                else
                    unsure(t[i].line);
                continue;
            }
            // Erl as a value: assigned ("n = Erl", "Let n = Erl") or passed
            // on; not an operand, a Case of its own (compared with what the
            // Select Case holds) nor what On x GoTo picks by.
            const size_t target = isWord(t[0], "Let") || isWord(t[0], "Set") ? 1 : 0;
            const bool assigned = lo == target + 2 && t[target].kind == Token::Word &&
                                  isOp(t[target + 1], "=") && !opens(target + 1);
            const bool caseItem = isWord(t[0], "Case") && lo > 0 &&
                                  (isWord(t[lo - 1], "Case") || isOp(t[lo - 1], ","));
            if ((lo > 0 && isOperator(t[lo - 1]) && !assigned) ||
                (hi + 1 < n && isOperator(t[hi + 1])) || caseItem ||
                (lo > 0 && isWord(t[lo - 1], "On")))
                unsure(t[i].line);
        }
    });
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

/// LineNumberer::numberable() for lines whose numbers numbersOf() has read
/// already: each line's number is read once.
std::vector<bool> takingNumbers(const std::vector<std::string_view>& lines,
                                const std::vector<std::optional<Leading>>& old) {
    std::vector<bool> out(lines.size());
    bool continues = false;
    bool selectHead = false;
    // The last line is the End statement.
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const bool continuation = continues;
        continues = vb::isContinued(lines[i]);
        if (continuation)
            continue;
        const std::string_view text = afterNumber(lines[i], old[i]);
        if (selectHead) {
            // Nothing may stand numbered between Select Case and its first
            // Case, not even a comment; a Select Case may hold no Case at all.
            const std::string_view head = vb::trimLeft(text);
            if (vb::startsWithKeyword(head, "Case") || vb::endStatementType(head) ||
                (vb::startsWithKeyword(head, "End") &&
                 vb::startsWithKeyword(vb::trimLeft(head.substr(3)), "Select")))
                selectHead = false;
            continue;
        }
        out[i] = takesNumber(text);
        selectHead = opensSelect(text);
    }
    return out;
}

} // namespace

std::vector<bool> LineNumberer::numberable(const std::vector<std::string_view>& lines) {
    return takingNumbers(lines, numbersOf(lines));
}

namespace {

/// A line's new text, at `offset` of a buffer that holds every new text of
/// a run: numbering rewrites most lines, and none takes a string of its own.
struct Placed {
    size_t index = 0;
    size_t offset = 0;
    size_t length = 0;
};

/// Gives back the edits of `placed` as strings of their own.
std::vector<LineNumberer::Edit> editsOf(const std::string& buffer,
                                        const std::vector<Placed>& placed) {
    std::vector<LineNumberer::Edit> edits;
    edits.reserve(placed.size());
    for (const Placed& p : placed)
        edits.push_back({p.index, buffer.substr(p.offset, p.length)});
    return edits;
}

Result<void> numberInto(const std::vector<std::string_view>& lines, const NumberingOptions& options,
                        std::string& buffer, std::vector<Placed>& placed);
Result<void> unnumberInto(const std::vector<std::string_view>& lines, std::string& buffer,
                          std::vector<Placed>& placed);

} // namespace

Result<std::vector<LineNumberer::Edit>>
LineNumberer::number(const std::vector<std::string_view>& lines, const NumberingOptions& options) {
    std::string buffer;
    std::vector<Placed> placed;
    if (auto r = numberInto(lines, options, buffer, placed); !r)
        return r.error();
    return editsOf(buffer, placed);
}

Result<std::vector<LineNumberer::Edit>>
LineNumberer::unnumber(const std::vector<std::string_view>& lines) {
    std::string buffer;
    std::vector<Placed> placed;
    if (auto r = unnumberInto(lines, buffer, placed); !r)
        return r.error();
    return editsOf(buffer, placed);
}

namespace {

Result<void> numberInto(const std::vector<std::string_view>& lines, const NumberingOptions& options,
                        std::string& buffer, std::vector<Placed>& placed) {
    if (options.start < 1 || options.step < 1 || options.start > LineNumberer::kHighest ||
        options.step > LineNumberer::kHighest)
        return refusal("line numbers start at 1 to " + std::to_string(LineNumberer::kHighest) +
                       " and go up by 1 to " + std::to_string(LineNumberer::kHighest));
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    const bool numbered =
        std::any_of(old.begin(), old.end(), [](const auto& n) { return n.has_value(); });
    if (numbered && !options.renumber)
        return refusal("it holds line numbers already; it is left as it is");
    const std::vector<bool> takes = takingNumbers(lines, old);

    // Every line that had a number keeps one, so that its jumps still land.
    std::unordered_map<std::string_view, std::string> renamed;
    std::vector<long> assigned(lines.size());
    long next = options.start;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!takes[i] && !old[i])
            continue;
        if (next > LineNumberer::kHighest)
            return refusal("it would need line numbers above " +
                           std::to_string(LineNumberer::kHighest) + "; it is left as it is");
        assigned[i] = next;
        next += options.step;
        if (old[i] && !renamed.emplace(old[i]->key, std::to_string(assigned[i])).second)
            return refusal("it holds the line number " + std::string(old[i]->key) +
                           " twice; it is left as it is");
    }

    // A jump to a number the procedure does not hold would not compile; once
    // numbered it might, to the wrong line, and unnumbering would not undo it.
    std::vector<Reference> refs = references(lines, old);
    for (auto r = refs.rbegin(); r != refs.rend(); ++r)
        if (!renamed.count(r->key))
            return refusal(jumpAt(*r) + " goes to the line number " + std::string(r->key) +
                           ", which the procedure does not hold; it is left as it is");
    // What Erl is compared with names the old numbers too: it follows them
    // where the comparison is plain, and nothing changes where it might not.
    if (numbered) {
        ErlComparisons erl = erlComparisons(lines);
        for (const Reference& r : erl.numbers)
            if (!renamed.count(r.key) && (!erl.unsure || r.line < *erl.unsure))
                erl.unsure = r.line;
        if (erl.unsure)
            return refusal("the procedure's line " + std::to_string(*erl.unsure + 1) +
                           " compares Erl with a number that renumbering cannot follow "
                           "exactly; it is left as it is");
        if (!erl.numbers.empty()) {
            refs.insert(refs.end(), erl.numbers.begin(), erl.numbers.end());
            std::sort(refs.begin(), refs.end(), [](const Reference& a, const Reference& b) {
                return a.line != b.line ? a.line < b.line : a.at < b.at;
            });
            // A number both jumped to and compared with is remapped once.
            refs.erase(std::unique(refs.begin(), refs.end(),
                                   [](const Reference& a, const Reference& b) {
                                       return a.line == b.line && a.at == b.at;
                                   }),
                       refs.end());
        }
    }

    // Each line's new text in one pass from left to right: its number, then
    // the text up to each remapped number in turn.
    auto ref = refs.begin();
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool remaps = ref != refs.end() && ref->line == i;
        if (assigned[i] == 0 && !remaps)
            continue;
        const std::string_view line = lines[i];
        char digits[8];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, assigned[i]);
        (void)ec; // never past 65529
        const size_t start = buffer.size();
        size_t from = 0;
        if (old[i]) { // the old number's place, its separator kept
            buffer.append(line.substr(0, old[i]->at)).append(digits, end);
            from = old[i]->at + old[i]->digits;
        } else if (assigned[i] != 0) {
            buffer.append(digits, end).append(1, ' ');
        }
        for (; ref != refs.end() && ref->line == i; ++ref) {
            buffer.append(line.substr(from, ref->at - from)).append(renamed.find(ref->key)->second);
            from = ref->at + ref->length;
        }
        buffer.append(line.substr(from));
        placed.push_back({i, start, buffer.size() - start});
    }
    return {};
}

Result<void> unnumberInto(const std::vector<std::string_view>& lines, std::string& buffer,
                          std::vector<Placed>& placed) {
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    std::unordered_map<std::string_view, size_t> held;
    for (const auto& n : old)
        if (n)
            held.emplace(n->key, 0);
    if (held.empty())
        return {};
    for (const Reference& r : references(lines, old))
        if (held.count(r.key))
            return refusal(jumpAt(r) + " goes to the line number " + std::string(r.key) +
                           ", which removing the numbers would break; it is left as it is");
    for (size_t i = 0; i < lines.size(); ++i)
        if (old[i]) {
            const size_t start = buffer.size();
            buffer.append(lines[i].substr(0, old[i]->at))
                .append(lines[i].substr(old[i]->at + old[i]->digits + old[i]->separator));
            placed.push_back({i, start, buffer.size() - start});
        }
    return {};
}

} // namespace

LineNumberer::Unnumbered LineNumberer::unnumbered(const std::vector<std::string_view>& lines) {
    const std::vector<std::optional<Leading>> old = numbersOf(lines);
    const std::vector<bool> takes = takingNumbers(lines, old);
    Unnumbered u;
    for (size_t i = 0; i < lines.size(); ++i)
        if (takes[i] && !old[i] && u.count++ == 0)
            u.first = i;
    return u;
}

Result<std::pair<long, long>> LineNumberer::span(const CodeModule& module, std::string_view name,
                                                 int kind, int procType, size_t definition) {
    const vb::CodepageScope scope(module.leadBytes());
    auto where = module.procLines(name, kind, definition);
    if (!where)
        return where.error();
    const long last = where->last;
    std::string statement;
    for (long l = where->body; l <= last; ++l) {
        statement.append(module.line(l)).append(" ");
        if (!vb::isContinued(module.line(l)))
            break;
    }
    if (auto d = vb::parseDeclaration(statement); d && d->endsOnSameLine)
        return std::make_pair(0L, 0L);
    auto first = declaration::TrapLine(module, name, kind, definition);
    if (!first)
        return first.error();
    // Past the End that ends it, a procedure holds nothing to number; one
    // whose lines run on to another End is code VB6 does not compile.
    if (const long second = declaration::SecondEnd(module, *first, last))
        return makeError(errors::NoEndStatement, kSource,
                         "a second End statement, on line " +
                             std::to_string(module.fileLine(second)) +
                             " of the file, after the one that ends the procedure; it is left "
                             "as it is");
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
    const vb::CodepageScope scope(module.leadBytes());
    // Every procedure's new lines are worked out on the module as read and
    // go in together: one change of the module, however many procedures.
    std::string buffer;
    buffer.reserve(module.originalBytes().size() + module.originalBytes().size() / 8);
    std::vector<std::pair<long, Placed>> changed;
    std::vector<std::string> logs;
    const char* verb = action == Action::Number ? "Numbered " : "Unnumbered ";
    ChosenDefinitions(m_vbe, m_messages)
        .forEach(component, options, chosen, [&](const ChosenDefinitions::Definition& def) {
            const int procType = def.body ? declaration::DefinitionType(module, def.entry.ProcType,
                                                                        def.index, *def.body)
                                          : def.entry.ProcType;
            auto where = span(module, def.name, def.entry.ProcKind, procType, def.index);
            std::vector<Placed> placed;
            Result<void> edits;
            if (!where)
                edits = where.error();
            else if (where->first > 0) {
                const std::vector<std::string_view> lines = linesOf(module, *where);
                edits = action == Action::Number ? numberInto(lines, numbering, buffer, placed)
                                                 : unnumberInto(lines, buffer, placed);
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
            if (placed.empty())
                return;
            for (const Placed& p : placed)
                changed.emplace_back(where->first + static_cast<long>(p.index), p);
            logs.push_back(verb + declaration::KindKeywords(procType).keyword + " : " +
                           def.cp.toUtf8(def.name) + "\r\n");
            summary.treated.push_back(std::move(item));
        });
    if (changed.empty())
        return summary;
    std::vector<std::pair<long, std::string_view>> texts;
    texts.reserve(changed.size());
    for (const auto& [line, p] : changed)
        texts.emplace_back(line, std::string_view(buffer).substr(p.offset, p.length));
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
    const vb::CodepageScope scope(module.leadBytes());
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
