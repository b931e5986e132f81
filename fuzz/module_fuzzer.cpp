// Feeds arbitrary bytes to the code model as a module file and checks what
// must hold for any file, well formed or not: the bytes come back unchanged,
// procedure positions tile the module, the trap and End lines fall inside
// their procedure, and an index shifted after insertions agrees with one
// built afresh from the result.

#include "codemodule.h"
#include "declaration.h"
#include "proccatalogue.h"
#include "vbsyntax.h"

#include "check.h"

#include <algorithm>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace trapline;

/// Choices drawn from the input's last bytes, so a crash reproduces from the
/// input file alone.
class Choices : FuzzedDataProvider {
public:
    using FuzzedDataProvider::FuzzedDataProvider;
    /// A number in [lo, hi]; lo when the range is empty.
    long between(long lo, long hi) { return hi <= lo ? lo : ConsumeIntegralInRange(lo, hi); }
};

struct ProcRef {
    std::string name;
    int kind = 0;
    size_t definition = 0; ///< which of several whole versions under #If
};

struct Span {
    long start = 0, body = 0, last = 0;
    bool operator==(const Span&) const = default;
};

/// Every (name, host kind) the module's members stand for and the index can
/// find, once per definition.
std::vector<ProcRef> procedures(const CodeModule& m) {
    std::vector<ProcRef> out;
    for (const Member& member : m.Members()) {
        CHECK(member.Type == 1 || member.Type == 2);
        bool any = false;
        const std::vector<int> kinds =
            member.Type == 1 ? std::vector<int>{0} : std::vector<int>{1, 2, 3};
        for (int kind : kinds) {
            const size_t definitions = m.ProcDefinitions(member.Name, kind);
            CHECK((definitions > 0) == m.ProcBodyLine(member.Name, kind).ok());
            CHECK(!m.ProcBodyLine(member.Name, kind, definitions).ok());
            for (size_t d = 0; d < definitions; ++d) {
                out.push_back({member.Name, kind, d});
                any = true;
            }
        }
        // A member is listed because a procedure was declared under its name.
        CHECK(any);
    }
    return out;
}

Span spanOf(const CodeModule& m, const ProcRef& p) {
    auto body = m.ProcBodyLine(p.name, p.kind, p.definition);
    auto start = m.ProcStartLine(p.name, p.kind, p.definition);
    auto count = m.ProcCountLines(p.name, p.kind, p.definition);
    // The three answers come from one index entry: all or none.
    CHECK(body.ok() && start.ok() && count.ok());
    Span s{*start, *body, *start + *count - 1};
    CHECK(s.start >= 1);
    CHECK(s.start <= s.body);
    CHECK(s.body <= s.last);
    CHECK(s.last <= m.CountOfLines());
    return s;
}

/// Positions of all procedures, checked one by one and against each other.
std::vector<Span> checkSpans(const CodeModule& m, const std::vector<ProcRef>& procs) {
    std::vector<Span> spans;
    for (const ProcRef& p : procs)
        spans.push_back(spanOf(m, p));
    std::vector<Span> sorted = spans;
    std::sort(sorted.begin(), sorted.end(),
              [](const Span& a, const Span& b) { return a.start < b.start; });
    // Procedures tile the module; no line belongs to two of them.
    for (size_t i = 1; i < sorted.size(); ++i)
        CHECK(sorted[i - 1].last < sorted[i].start);
    return spans;
}

/// The End keyword pair a procedure is closed with.
std::string endStatementOf(const CodeModule& m, const ProcRef& p, const Span& s) {
    int type = p.kind != 0 ? 2 : vb::subOrFunction(m.line(s.body));
    // The index tells the type as its declaration's first line does.
    CHECK(m.procLines(p.name, p.kind, p.definition)->type == type);
    return declaration::KindKeywords(type).endStatement;
}

struct Placement {
    long trap = 0, end = 0;
    bool ok = false;
};

/// Where the error trap and the handler of `p` go, checked to lie inside it.
Placement placement(const CodeModule& m, const ProcRef& p) {
    Span s = spanOf(m, p);
    auto trap = declaration::TrapLine(m, p.name, p.kind, p.definition);
    if (!trap)
        return {};
    CHECK(*trap > s.body && *trap <= s.last);
    auto end = declaration::EndLine(m, endStatementOf(m, p, s), s.last, *trap);
    if (!end)
        return {};
    CHECK(*end >= *trap && *end <= s.last);
    CHECK(m.line(*end).find(endStatementOf(m, p, s)) != std::string_view::npos);
    return {*trap, *end, true};
}

std::vector<std::string> allLines(const CodeModule& m) {
    std::vector<std::string> lines;
    for (long l = 1; l <= m.CountOfLines(); ++l)
        lines.emplace_back(m.line(l));
    return lines;
}

/// The shifted index must say what a fresh read of the written file says.
void checkAgainstReload(const CodeModule& m) {
    const std::string bytes = m.serialize();
    CodeModule fresh(bytes);
    CHECK(fresh.serialize() == bytes);
    CHECK(allLines(fresh) == allLines(m)); // and so as many lines
    CHECK(fresh.Members().size() == m.Members().size());
    for (size_t i = 0; i < m.Members().size(); ++i) {
        CHECK(fresh.Members()[i].Name == m.Members()[i].Name);
        CHECK(fresh.Members()[i].Type == m.Members()[i].Type);
        CHECK(fresh.Members()[i].attribute == m.Members()[i].attribute);
    }
    CHECK(checkSpans(m, procedures(m)) == checkSpans(fresh, procedures(fresh)));
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

/// A piece of some line is searched for from the top: Find must report that
/// occurrence or an earlier one, and what it reports must be the target.
void checkFind(const CodeModule& m, Choices& choose) {
    const long n = m.CountOfLines();
    if (n == 0) {
        long sl = 1, sc = 1, el = 1, ec = -1;
        CHECK(!m.Find("x", sl, sc, el, ec).ok());
        return;
    }
    const long at = choose.between(1, n);
    const std::string text(m.line(at));
    const long col = choose.between(0, static_cast<long>(text.size()));
    const long len = choose.between(0, std::min<long>(static_cast<long>(text.size()) - col, 12));
    const std::string target = text.substr(static_cast<size_t>(col), static_cast<size_t>(len));
    const bool matchCase = choose.between(0, 1) == 1;

    long sl = 1, sc = 1, el = n, ec = -1;
    auto found = m.Find(target, sl, sc, el, ec, false, matchCase, false);
    CHECK(found.ok());
    CHECK(*found);
    CHECK(sl == el);
    CHECK(sl < at || (sl == at && sc <= col + 1));
    CHECK(ec - sc == len);
    std::string_view hit = m.line(sl).substr(static_cast<size_t>(sc - 1), static_cast<size_t>(len));
    CHECK(matchCase ? hit == target : equalsNoCase(hit, target));

    // A whole-word search over a window of the module: any hit lies in it.
    long wl = choose.between(1, n), wc = choose.between(1, 40);
    long wel = choose.between(wl, n + 2), wec = choose.between(-1, 40);
    const long fromLine = wl, fromCol = wc, toLine = wel, toCol = wec;
    auto windowed = m.Find(target, wl, wc, wel, wec, true, matchCase, false);
    CHECK(windowed.ok());
    if (*windowed) {
        CHECK(wl == wel && wl >= fromLine && wl <= std::min(toLine, n));
        if (wl == fromLine)
            CHECK(wc >= fromCol);
        if (wl == std::min(toLine, n) && toCol >= 0)
            CHECK(wec - 1 <= toCol);
        std::string_view whit = m.line(wl).substr(static_cast<size_t>(wc - 1), target.size());
        CHECK(matchCase ? whit == target : equalsNoCase(whit, target));
    }

    long pl = 1, pc = 1, pel = n, pec = -1;
    CHECK(!m.Find(target, pl, pc, pel, pec, false, false, true).ok());
    long bl = n + 1, bc = 1, bel = n, bec = -1;
    CHECK(!m.Find(target, bl, bc, bel, bec).ok());
}

void checkCatalogue(const VBE& vbe, Component& component) {
    CountingMessageBox box;
    ProcCatalogue catalogue(vbe, box);
    bool any = catalogue.GetProcNames("*");
    CHECK(any == (catalogue.size() > 0));
    CHECK(box.shown == 0);
    const CodeModule& m = component.CodeModule();
    for (size_t i = 1; i < catalogue.Procs().size(); ++i) {
        const ProcInfo& info = catalogue.Procs()[i];
        CHECK(info.component == &component);
        CHECK(info.ModuleName == component.Name());
        CHECK(info.ProcType >= 0 && info.ProcType <= 2);
        CHECK((info.ProcKind == 0) == (info.ProcType != 2));
        // The display name leads back to the procedure it was made from.
        CHECK(m.ProcBodyLine(declaration::HostName(info.ProcName), info.ProcKind).ok());
    }
    CHECK(!catalogue.GetProcNames("NoSuchModule"));
    CHECK(catalogue.size() == 0);
    CHECK(box.shown == 0);
}

/// A code window's edits, then every state visited brought back: the lines
/// are what the edits made, procedures are where a fresh index puts them,
/// and each state serialises as it did when it was taken.
void checkEditsAndStates(const std::string& input, Choices& choose) {
    static const std::vector<std::string> kTexts = {
        "", "'c", "Sub S()", "End Sub", "x = 1 _", "Function F() As Long", "#If VBA7 Then"};
    CodeModule m(input);
    std::vector<std::string> expected = allLines(m);
    std::vector<std::pair<trapline::LineStore::State, std::string>> visited{
        {m.state(), m.serialize()}};
    for (int edit = 0; edit < 4; ++edit) {
        const long n = m.CountOfLines();
        const long line = choose.between(1, n + 1);
        const long count = choose.between(0, std::min(3L, n + 1 - line));
        std::vector<std::string> texts;
        for (long i = choose.between(0, 3); i > 0; --i)
            texts.push_back(kTexts[static_cast<size_t>(
                choose.between(0, static_cast<long>(kTexts.size()) - 1))]);
        const std::vector<std::string_view> views(texts.begin(), texts.end());
        CHECK(m.replaceLines(line, count, views).ok());
        expected.erase(expected.begin() + (line - 1), expected.begin() + (line - 1 + count));
        expected.insert(expected.begin() + (line - 1), texts.begin(), texts.end());
        CHECK(allLines(m) == expected);
        // Where the file read again shows the same lines (a head left open
        // or a lone CR at the end would take some in), it shows the same procedures.
        const CodeModule fresh(m.serialize());
        if (allLines(fresh) == expected)
            for (const ProcRef& p : procedures(m))
                CHECK(spanOf(m, p) == spanOf(fresh, p));
        visited.emplace_back(m.state(), m.serialize());
    }
    for (size_t i = visited.size(); i-- > 0;) {
        CHECK(m.restore(visited[i].first));
        CHECK(m.serialize() == visited[i].second);
    }
    CHECK(!m.modified());
    CHECK(m.restore(m.originalState()));
    CHECK(m.serialize() == input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Choices choose(data, size);

    FuzzModule fuzz(input);
    const VBE& vbe = fuzz.vbe;
    Component& component = fuzz.component;
    CodeModule& m = component.CodeModule();

    // A load without change writes the file back byte for byte.
    CHECK(!m.modified());
    CHECK(m.serialize() == input);
    CHECK(m.eol() == "\r\n" || m.eol() == "\n");

    const std::vector<ProcRef> procs = procedures(m);
    checkSpans(m, procs);
    std::vector<Placement> placements;
    for (const ProcRef& p : procs)
        placements.push_back(placement(m, p));

    checkFind(m, choose);
    checkCatalogue(vbe, component);
    checkEditsAndStates(input, choose);

    // A comment at the trap line of one procedure: one more line, the file
    // otherwise as it was.
    std::vector<size_t> placeable;
    for (size_t i = 0; i < placements.size(); ++i)
        if (placements[i].ok)
            placeable.push_back(i);
    const std::vector<std::string> before = allLines(m);
    if (!placeable.empty()) {
        size_t pick = placeable[static_cast<size_t>(
            choose.between(0, static_cast<long>(placeable.size()) - 1))];
        const long trap = placements[pick].trap;
        // Unchanged lines are views into the file itself.
        const size_t offset = static_cast<size_t>(m.line(trap).data() - m.originalBytes().data());
        CHECK(offset <= input.size());
        CHECK(m.InsertLines(trap, "'x").ok());
        CHECK(m.modified());
        const std::string expected =
            input.substr(0, offset) + "'x" + std::string(m.eol()) + input.substr(offset);
        CHECK(m.serialize() == expected);
        std::vector<std::string> after = allLines(m);
        CHECK(after[static_cast<size_t>(trap - 1)] == "'x");
        after.erase(after.begin() + (trap - 1));
        CHECK(after == before);
        checkAgainstReload(m);
    }

    // Comments anywhere, even at the very end, move procedures but never
    // change where they begin or end. Two kinds of file are not appended to:
    // one whose last byte is a lone CR, as the line end added after it makes
    // that CR part of a CR LF and so changes the last line; and one that is
    // all head ending in a Begin block without its End, as what is added
    // falls into that block when the file is read again.
    const bool endsInLoneCr = !input.empty() && input.back() == '\r';
    if (m.CountOfLines() == 0 &&
        (endsInLoneCr || CodeModule(input + std::string(m.eol()) + "'c").CountOfLines() == 0))
        return 0;
    for (int i = 0; i < 3; ++i) {
        const long at = choose.between(1, m.CountOfLines() + (endsInLoneCr ? 0 : 1));
        const long count = m.CountOfLines();
        CHECK(m.InsertLines(at, choose.between(0, 1) ? "' note\r\n' more" : "'c").ok());
        CHECK(m.CountOfLines() > count);
        // A comment after a continued line joins its statement, which may
        // undo a declaration; hence the procedures are asked for again.
        checkSpans(m, procedures(m));
    }
    CHECK(!m.InsertLines(0, "'c").ok());
    CHECK(!m.InsertLines(m.CountOfLines() + 2, "'c").ok());
    checkAgainstReload(m);

    // What the product does: a trap after each declaration and a handler
    // before each End statement, positions asked for afresh every time.
    for (const ProcRef& p : procedures(m)) {
        // An earlier insertion after a continued line may have undone it.
        if (!m.ProcBodyLine(p.name, p.kind, p.definition))
            continue;
        Placement where = placement(m, p);
        if (!where.ok)
            continue;
        const long count = m.CountOfLines();
        const bool joins = vb::isContinued(m.line(where.trap - 1));
        CHECK(m.InsertLines(where.trap, "On Error GoTo EH").ok());
        if (!m.ProcBodyLine(p.name, p.kind, p.definition))
            continue;
        Span s = spanOf(m, p);
        auto end = declaration::EndLine(m, endStatementOf(m, p, s), s.last, where.trap + 1);
        if (!end)
            continue;
        CHECK(*end > where.trap && *end <= s.last);
        // Unless the trap joined the line above, it moved nothing but lines.
        if (!joins)
            CHECK(*end == where.end + 1);
        CHECK(m.InsertLines(*end, "Exit Sub\r\nEH:\r\n    Resume Next").ok());
        CHECK(m.CountOfLines() == count + 4);
        checkSpans(m, procedures(m));
    }
    checkAgainstReload(m);
    return 0;
}
