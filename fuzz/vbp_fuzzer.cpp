// Feeds arbitrary bytes to the .vbp reader and writer. Whatever the file
// holds, a line the tool adds must land whole on a line boundary before the
// settings sections, leave every other byte where it was, and be found again
// when the result is read back. The project loader then runs on the same
// bytes against a small folder of module files.

#include "proccatalogue.h"
#include "projectloader.h"
#include "vbe.h"
#include "vbpfile.h"

#include "check.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace trapline;

constexpr std::string_view kAdded = "Module=mdl_Error; mdl_Error.bas";

/// Lines as the reader counts them: a final line without an end counts too.
long lineCount(const std::string& b) {
    long n = 0;
    for (char c : b)
        n += c == '\n';
    if (!b.empty() && b.back() != '\n')
        ++n;
    return n;
}

/// Offset of the first line that opens a "[Section]", or npos.
size_t firstSection(const std::string& b) {
    for (size_t pos = 0; pos < b.size();) {
        if (b[pos] == '[')
            return pos;
        size_t nl = b.find('\n', pos);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return std::string::npos;
}

bool sameEntry(const VbpFile::Entry& a, const VbpFile::Entry& b, long shift) {
    return a.type == b.type && a.name == b.name && a.path == b.path && a.line + shift == b.line;
}

void checkParse(const VbpFile& vbp, const std::string& b) {
    CHECK(vbp.bytes() == b);
    const long lines = lineCount(b);
    const size_t section = firstSection(b);
    long previous = 0;
    for (const VbpFile::Entry& e : vbp.entries()) {
        CHECK(e.line >= 1 && e.line <= lines);
        CHECK(e.line > previous);
        previous = e.line;
        CHECK(!e.path.empty());
        if (section != std::string::npos)
            CHECK(e.line <= lineCount(b.substr(0, section)));
    }
    for (const VbpFile::Problem& p : vbp.problems()) {
        CHECK(p.line >= 1 && p.line <= lines);
        CHECK(!p.message.empty());
    }
}

void checkLineAdded(const VbpFile& vbp, const std::string& b) {
    const std::string out = vbp.withLineAdded("Module", kAdded);
    // The file's own line end: CR LF unless its first line ends in LF alone.
    std::string eol = "\r\n";
    if (size_t nl = b.find('\n'); nl != std::string::npos && (nl == 0 || b[nl - 1] != '\r'))
        eol = "\n";
    CHECK(out.size() == b.size() + kAdded.size() + eol.size());

    // Added after a last line that has no end, that line gets one and the
    // new one none. Anywhere else the line goes in whole at a line boundary;
    // where it fits at several, they give the same bytes, the last of them
    // included.
    const bool appendedToOpenLine =
        !b.empty() && b.back() != '\n' && out == b + eol + std::string(kAdded);
    if (!appendedToOpenLine) {
        size_t prefix = 0;
        while (prefix < b.size() && b[prefix] == out[prefix])
            ++prefix;
        size_t at = prefix;
        while (at > 0 && b[at - 1] != '\n')
            --at;
        const std::string expected = b.substr(0, at) + std::string(kAdded) + eol + b.substr(at);
        CHECK(out == expected);
        // Settings sections come last; components never go into them.
        const size_t section = firstSection(b);
        CHECK(section == std::string::npos || at <= section);
    }

    // Read back, the file lists what it did plus the new module, nothing lost.
    VbpFile again = VbpFile::parse(out);
    CHECK(again.name() == vbp.name());
    const auto& before = vbp.entries();
    const auto& after = again.entries();
    CHECK(after.size() == before.size() + 1);
    size_t added = after.size();
    for (size_t i = 0; i < after.size(); ++i) {
        const VbpFile::Entry& e = after[i];
        if (e.type == ComponentType::StdModule && e.name == "mdl_Error" &&
            e.path == "mdl_Error.bas" && (i == before.size() || !sameEntry(before[i], e, 0))) {
            added = i;
            break;
        }
    }
    CHECK(added < after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (i < added)
            CHECK(sameEntry(before[i], after[i], 0));
        else
            CHECK(sameEntry(before[i], after[i + 1], 1));
    }
    // It follows the last Module line; in a file without one (nor a line
    // that failed to be one), it follows every component line.
    bool anyModule = false;
    for (const VbpFile::Entry& e : before)
        anyModule = anyModule || e.type == ComponentType::StdModule;
    for (size_t i = added + 1; i < after.size(); ++i)
        CHECK(after[i].type != ComponentType::StdModule);
    if (!anyModule && vbp.problems().empty())
        CHECK(added == before.size());
    CHECK(again.problems().size() == vbp.problems().size());
}

/// A folder with a few module files for the loader to find.
void makeFixture() {
    const fs::path dir = scratchFolder();
    writeFile(dir / "mdl_Error.bas", "Attribute VB_Name = \"mdl_Error\"\r\n"
                                     "Public Sub LogError(ByVal where As String)\r\n"
                                     "    Debug.Print where\r\n"
                                     "End Sub\r\n");
    writeFile(dir / "Class1.cls", "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  'True\r\nEND\r\n"
                                  "Attribute VB_Name = \"Class1\"\r\n"
                                  "Public Property Get Value() As Long\r\n"
                                  "    Value = 1\r\n"
                                  "End Property\r\n");
    writeFile(dir / "Forms" / "Main.frm", "VERSION 5.00\r\nBegin VB.Form Main\r\n"
                                          "   Caption = \"Main\"\r\nEnd\r\n"
                                          "Attribute VB_Name = \"Main\"\r\n"
                                          "Private Sub Form_Load()\r\nEnd Sub\r\n");
    writeFile(dir / "Sub Dir" / "Mod2.bas", "Attribute VB_Name = \"Mod2\"\n"
                                            "Function Twice(x)\n    Twice = 2 * x\nEnd Function");
}

/// Paths that would lead the loader out of the fixture folder.
bool leavesFixture(const std::string& b, const VbpFile& vbp) {
    if (b.find("..") != std::string::npos)
        return true;
    for (const VbpFile::Entry& e : vbp.entries())
        if (e.path[0] == '/' || e.path[0] == '\\')
            return true;
    return false;
}

void checkLoader(const VbpFile& vbp, const std::string& b) {
    if (leavesFixture(b, vbp))
        return;
    const std::string vbpPath = scratchFolder() / "Fuzz.vbp";
    writeFile(vbpPath, b);
    ProjectLoader loader;
    auto project = loader.load({vbpPath});
    CHECK(project.ok());
    // A NUL byte marks a binary file, which is refused whole.
    const bool binary = b.find('\0') != std::string::npos;
    CHECK((*project)->fileName() == (binary ? "" : vbpPath));
    CHECK(!binary || ((*project)->VBComponents().Count() == 0 && !loader.diagnostics().empty()));
    const long lines = lineCount(b);
    for (const Diagnostic& d : loader.diagnostics()) {
        CHECK(d.line >= 0 && d.line <= lines);
        CHECK(!d.text().empty());
    }
    const Components& components = (*project)->VBComponents();
    CHECK(components.Count() <= static_cast<long>(vbp.entries().size()));
    for (long i = 1; i <= components.Count(); ++i) {
        auto c = components.Item(i);
        CHECK(c.ok());
        // What was loaded is written back unchanged.
        CHECK((*c)->serialize() == readFile((*c)->path()));
        CHECK(!(*c)->needsSave());
    }
    VBE vbe(std::move(*project));
    CountingMessageBox box;
    ProcCatalogue catalogue(vbe, box);
    (void)catalogue.GetProcNames("*");
    CHECK(box.shown == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeFixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string b(reinterpret_cast<const char*>(data), size);
    const VbpFile vbp = VbpFile::parse(b);
    checkParse(vbp, b);
    checkLineAdded(vbp, b);
    checkLoader(vbp, b);
    return 0;
}
