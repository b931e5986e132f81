// Feeds arbitrary bytes to the code model as a module file, numbers every
// procedure and checks two laws. Unnumbering gives back what unnumbering the
// file as it came gives (so, for a file without numbers of its own, every
// byte). And numbering only ever puts "N " in front of a line that starts
// a statement: never on a continuation, blank, comment or directive line, a
// label, a line that belongs to the block before it, nor between Select
// Case and its first Case. The line tests here are written apart from the
// numberer's, on purpose.

#include "codemodule.h"
#include "component.h"
#include "linenumberer.h"
#include "project.h"
#include "runreporter.h"
#include "vbe.h"

#include "check.h"

#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace trapline;

namespace {

std::string serializedAfter(const std::string& input, LineNumberer::Action first, bool twice,
                            const NumberingOptions& numbering) {
    auto project = std::make_unique<Project>();
    Component& component = *project->VBComponents().append(std::make_unique<Component>(
        "Fuzz", ComponentType::StdModule, "/nonexistent/Fuzz.bas", input, FileStamp{}));
    const VBE vbe(std::move(project));
    InsertionOptions options;
    options.confirm = false;
    CountingMessageBox messages;
    NullReporter reporter;
    LineNumberer numberer(vbe, messages, reporter);
    size_t chosen = 0;
    (void)numberer.run(first, component, options, numbering, chosen);
    if (twice)
        (void)numberer.run(LineNumberer::Action::Unnumber, component, options, numbering, chosen);
    return component.CodeModule().serialize();
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        out.push_back(text.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    return out;
}

std::string_view stripped(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool startsWithWordNoCase(std::string_view s, std::string_view word) {
    if (s.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return s.size() == word.size() ||
           !(std::isalnum(static_cast<unsigned char>(s[word.size()])) || s[word.size()] == '_' ||
             static_cast<unsigned char>(s[word.size()]) >= 0x80);
}

bool continues(std::string_view line) {
    std::string_view t = stripped(line);
    return !t.empty() && t.back() == '_' &&
           (t.size() == 1 || t[t.size() - 2] == ' ' || t[t.size() - 2] == '\t');
}

/// A line the rules never number, judged on its text as it was.
bool excluded(std::string_view line) {
    std::string_view t = stripped(line);
    if (t.empty() || t[0] == '\'' || t[0] == '#' || startsWithWordNoCase(t, "Rem"))
        return true;
    for (const char* word :
         {"Case", "Else", "ElseIf", "End If", "End Select", "End With", "Dim", "Static", "Const"})
        if (startsWithWordNoCase(t, word))
            return true;
    // A label: a name, or a number, right before ':' (not ":=").
    size_t n = 0;
    while (n < t.size() && (std::isalnum(static_cast<unsigned char>(t[n])) || t[n] == '_' ||
                            static_cast<unsigned char>(t[n]) >= 0x80))
        ++n;
    const bool digitsOnly = n > 0 && t.find_first_not_of("0123456789") >= n &&
                            std::isdigit(static_cast<unsigned char>(t[0]));
    if (digitsOnly)
        return true;
    return n > 0 && n < t.size() && t[n] == ':' && (n + 1 == t.size() || t[n + 1] != '=') &&
           !startsWithWordNoCase(t, "Stop") && !startsWithWordNoCase(t, "End") &&
           !startsWithWordNoCase(t, "Do") && !startsWithWordNoCase(t, "Loop") &&
           !startsWithWordNoCase(t, "Next") && !startsWithWordNoCase(t, "Wend") &&
           !startsWithWordNoCase(t, "Return") && !startsWithWordNoCase(t, "Resume") &&
           !startsWithWordNoCase(t, "Beep") && !startsWithWordNoCase(t, "Close") &&
           !startsWithWordNoCase(t, "Reset") && !startsWithWordNoCase(t, "Randomize");
}

/// "Select Case x: Case 1: y = 1" holds its first Case itself. Any ':'
/// followed by Case counts, in a string or comment too: the law is then
/// looser than the numberer, never stricter.
bool caseOnSameLine(std::string_view t) {
    for (size_t colon = t.find(':'); colon != std::string_view::npos;
         colon = t.find(':', colon + 1))
        if (startsWithWordNoCase(stripped(t.substr(colon + 1)), "Case"))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!CodeModule::usable(input))
        return 0;
    NumberingOptions numbering;
    const unsigned form = size > 0 ? data[size - 1] : 0;
    numbering.start = 1 + (form & 0x1f);
    numbering.step = 1 + ((form >> 5) & 0x7) * 3;

    const std::string numbered =
        serializedAfter(input, LineNumberer::Action::Number, false, numbering);
    CHECK(serializedAfter(input, LineNumberer::Action::Number, true, numbering) ==
          serializedAfter(input, LineNumberer::Action::Unnumber, false, numbering));

    const std::vector<std::string_view> before = splitLines(input), after = splitLines(numbered);
    CHECK(before.size() == after.size());
    bool selectHead = false;
    bool continuation = false;
    for (size_t i = 0; i < before.size(); ++i) {
        const std::string_view t = stripped(before[i]);
        // Attribute lines are hidden from the code and continue nothing.
        std::string_view raw = before[i];
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const bool attribute = startsWithWordNoCase(raw, "Attribute") && raw.size() > 10 &&
                               (raw[9] == ' ' || raw[9] == '\t');
        const bool continued = continuation;
        if (!attribute)
            continuation = continues(before[i]);
        if (before[i] != after[i]) {
            const size_t digits = after[i].find_first_not_of("0123456789");
            CHECK(digits > 0 && digits != std::string_view::npos && after[i][digits] == ' ');
            CHECK(after[i].substr(digits + 1) == before[i]);
            CHECK(std::stol(std::string(after[i].substr(0, digits))) <= LineNumberer::kHighest);
            CHECK(!attribute && !continued && !selectHead && !excluded(before[i]));
        }
        if (continued || attribute)
            continue;
        // Each procedure's lines are judged on their own.
        for (const char* word :
             {"Sub", "Function", "Property", "Public", "Private", "Friend", "Static", "End"})
            if (startsWithWordNoCase(t, word))
                selectHead = false;
        if (selectHead && startsWithWordNoCase(t, "Case"))
            selectHead = false;
        else if (startsWithWordNoCase(t, "Select") &&
                 startsWithWordNoCase(stripped(t.substr(6)), "Case"))
            selectHead = !caseOnSameLine(t);
    }
    return 0;
}
