#include "insertcommand.h"

#include "arguments.h"
#include "clireporter.h"
#include "diskfile.h"
#include "insertionrun.h"
#include "json.h"
#include "projectinput.h"
#include "stagingwriter.h"
#include "stderrmessagebox.h"
#include "unifieddiff.h"

#include <filesystem>
#include <map>
#include <optional>
#include <thread>

namespace trapline::cli {
namespace {

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2)
                return false;
        i += len;
    }
    return true;
}

/// A template file as the window would hand its text over: UTF-8 (a file
/// that is not valid UTF-8 is read in the project's code page, as template
/// files written on Windows are) with CR LF line breaks.
Result<std::string> readTemplate(const std::string& path, const Codepage& cp) {
    auto file = DiskFile::read(path);
    if (!file)
        return file.error();
    std::string text = std::move(file->bytes);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    if (text.find('\0') != std::string::npos)
        return makeError(errors::BadFileFormat, path, "binary file, not a template");
    if (!validUtf8(text))
        text = cp.toUtf8(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' || text[i] == '\r')
            out += "\r\n";
        else
            out += text[i];
    }
    return out;
}

std::string displayPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::proximate(path, ec);
    return ec ? path : rel.string();
}

} // namespace

const char* InsertCommand::usage() {
    return R"USAGE(Usage: trapline insert PATH... [options]

Puts an error trap after the declaration of each chosen procedure and a
handler before its End statement, and writes the changed files back.

PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file below it) or module files. Several PATHs make
one project.

Choosing procedures:
  --module NAME      only the module named NAME exactly (default "*", all)
  --proc NAME        only procedures of this display name, e.g. "Value (Let)"
                     (default "*": every procedure that passes the filters)
  --subs, --functions, --properties
                     with "*": exactly one of these treats only that type;
                     none or several treat every type
  --include-trapped  with "*": also treat procedures that already hold
                     "On Error " (left out by default)

What goes in:
  --live             insert working code (by default every inserted line is
                     a comment, starting with an apostrophe)
  --header FILE --footer FILE
                     the user's templates instead of the standard handler;
                     "???", "#MODULE#" and "#PROC#" are replaced by the
                     procedure's keyword, module and display name
  --codepage CP      code page of the project's files (default 1251)

Output:
  --dry-run          write nothing; print a unified diff that `patch -p0`,
                     run in this folder, applies
  --backup           keep each replaced file as NAME.bak
  --json             print one JSON object {"treated": [...], "failed": [...]}
                     instead of the log lines
  -h, --help         show this help

The log ("Вставлено в Sub : Name" for each treated procedure) goes to
stdout; messages go to stderr. Nothing is asked.

Exit status: 0 when every selected procedure was treated (or none was
selected); 1 when some failed (each is named on stderr with its module);
2 for bad usage or input, in which case nothing is written.
)USAGE";
}

int InsertCommand::run(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "-h" || a == "--help") {
            std::fputs(usage(), m_out);
            return 0;
        }
    ProjectInput input("insert", m_err);
    auto parsed = Arguments::parse(
        args, {{"module", true},   {"proc", true},       {"subs", false},
               {"functions", false}, {"properties", false}, {"include-trapped", false},
               {"live", false},    {"header", true},     {"footer", true},
               {"codepage", true}, {"dry-run", false},   {"backup", false},
               {"json", false}});
    if (!parsed) {
        input.fail(parsed.error().description + "\nTry 'trapline insert --help'.");
        return 2;
    }
    const Arguments& a = *parsed;
    if (a.positionals().empty()) {
        input.fail("no PATH given\nTry 'trapline insert --help'.");
        return 2;
    }
    if (a.has("header") != a.has("footer")) {
        input.fail("--header and --footer go together");
        return 2;
    }
    if (a.has("dry-run") && a.has("json")) {
        input.fail("--dry-run prints a diff; it does not go with --json");
        return 2;
    }
    if (a.has("dry-run") && a.has("backup")) {
        input.fail("--dry-run writes nothing, so --backup has nothing to keep");
        return 2;
    }
    auto codepage = input.codepage(a.value("codepage", "1251"));
    if (!codepage)
        return 2;

    InsertionOptions options;
    options.confirm = false;
    options.procName = a.value("proc", "*");
    options.onlySub = a.has("subs");
    options.onlyFunc = a.has("functions");
    options.onlyProperty = a.has("properties");
    options.skipTrapped = !a.has("include-trapped");
    options.withComment = !a.has("live");
    options.useDefault = !a.has("header");
    if (!options.useDefault) {
        auto header = readTemplate(a.value("header"), *codepage);
        auto footer = readTemplate(a.value("footer"), *codepage);
        for (auto* t : {&header, &footer})
            if (!*t) {
                input.fail(t->error().source + ": " + t->error().description);
                return 2;
            }
        options.header = *header;
        options.footer = *footer;
    }
    if (options.procName.empty()) {
        input.fail("--proc needs a procedure name");
        return 2;
    }

    bool complete = true;
    auto project = input.load(a.positionals(), *codepage, complete, true);
    if (!project)
        return 2;
    if (!complete) {
        input.fail("the project could not be read completely; nothing was written");
        return 2;
    }
    auto moduleFilter = codepage->fromUtf8(a.value("module", "*"));
    if (!moduleFilter) {
        input.fail("--module: " + moduleFilter.error().description);
        return 2;
    }
    options.moduleName = a.value("module", "*");

    // One file at a time: read it, treat it, stage its new version and let
    // go of it, so that memory stays within one module however large the
    // project. The staged files replace their originals together at the end,
    // and only when every file could be read.
    Project& projectRef = *project;
    VBE vbe(std::move(project));
    StderrMessageBox messages(m_err);
    const bool json = a.has("json");
    const bool dryRun = a.has("dry-run");
    CliReporter reporter(m_out, m_err, !json && !dryRun);
    InsertionRun run(vbe, messages, reporter);
    std::vector<RunSummary::Item> treated, failed;
    StagingWriter writer;
    std::map<const Component*, std::vector<RunSummary::Item>> treatedIn;
    std::map<const Component*, size_t> treatedCount;
    std::map<const Component*, std::string> notWritten;
    size_t unwrittenProcedures = 0;
    bool matched = false;
    bool unreadable = false;
    const Components& components = projectRef.VBComponents();
    const size_t count = static_cast<size_t>(components.Count());
    for (size_t i = 1; i <= count; ++i) {
        Component* c = *components.Item(static_cast<long>(i));
        reporter.fileProgress(i - 1, count);
        if (auto loaded = c->load(); !loaded) {
            std::fprintf(m_err, "trapline: %s: %s\n", displayPath(c->path()).c_str(),
                         loaded.error().description.c_str());
            unreadable = true;
            continue;
        }
        if (*moduleFilter != "*" && c->Name() != *moduleFilter) {
            c->unload();
            continue;
        }
        matched = true;
        options.component = c;
        RunSummary s = run.run(options);
        failed.insert(failed.end(), s.failed.begin(), s.failed.end());
        if (dryRun) {
            if (c->needsSave())
                std::fputs(UnifiedDiff::of(displayPath(c->path()), c->CodeModule().edits(),
                                           c->CodeModule().eol())
                               .c_str(),
                           m_out);
            if (json)
                treated.insert(treated.end(), s.treated.begin(), s.treated.end());
        } else if (c->needsSave()) {
            StagingWriter::Job job;
            job.owner = c;
            job.path = c->path();
            job.bytes = c->serialize();
            job.expected = c->stamp();
            job.checkStamp = !c->isNew();
            job.exclusive = c->isNew();
            job.backup = a.has("backup") && !c->isNew();
            writer.submit(std::move(job));
        }
        // Names are kept for the JSON report; otherwise counting will do.
        if (!dryRun) {
            treatedCount[c] += s.treated.size();
            if (json && !s.treated.empty())
                treatedIn[c] = std::move(s.treated);
        }
        c->unload();
    }
    reporter.fileProgress(count, count);

    std::vector<std::pair<const Component*, DiskFile::Staged>> staged;
    for (StagingWriter::Done& done : writer.finish()) {
        auto* c = static_cast<const Component*>(done.owner);
        if (done.staged)
            staged.emplace_back(c, std::move(*done.staged));
        else
            notWritten[c] = done.staged.error().description;
    }
    auto discardAll = [&] {
        for (const auto& [c, st] : staged)
            DiskFile::discard(st);
    };
    if (unreadable) {
        discardAll();
        input.fail("some files could not be read; nothing was written");
        return 2;
    }
    if (!matched) {
        input.fail("no module named '" + a.value("module") + "'");
        return 2;
    }

    std::vector<const DiskFile::Staged*> files;
    for (const auto& [c, st] : staged)
        files.push_back(&st);
    DiskFile::flush(files);
    // Replacing files is the file system's slowest step; two threads share it.
    std::vector<std::optional<Error>> commitErrors(staged.size());
    auto commitRange = [&](size_t from, size_t step) {
        for (size_t k = from; k < staged.size(); k += step)
            if (auto written = DiskFile::commit(staged[k].second); !written)
                commitErrors[k] = written.error();
    };
    {
        std::thread helper(commitRange, 1, 2);
        commitRange(0, 2);
        helper.join();
    }
    for (size_t k = 0; k < staged.size(); ++k)
        if (commitErrors[k])
            notWritten[staged[k].first] = commitErrors[k]->description;

    // A file that could not be written takes its procedures from the treated
    // to the failed; those that failed in the run were named by its messages.
    for (const auto& [c, why] : notWritten)
        std::fprintf(m_err, "trapline: %s: %s\n", displayPath(c->path()).c_str(), why.c_str());
    for (const auto& [c, why] : notWritten) {
        if (treatedCount[c] > 0)
            std::fprintf(m_err, "trapline: not written: %s (%zu procedure%s)\n",
                         projectRef.codepage().toUtf8(c->Name()).c_str(), treatedCount[c],
                         treatedCount[c] == 1 ? "" : "s");
        unwrittenProcedures += treatedCount[c];
    }
    for (size_t i = 1; i <= count; ++i) {
        const Component* c = *components.Item(static_cast<long>(i));
        auto it = treatedIn.find(c);
        if (it == treatedIn.end())
            continue;
        auto bad = notWritten.find(c);
        for (RunSummary::Item& item : it->second) {
            if (bad == notWritten.end()) {
                treated.push_back(std::move(item));
                continue;
            }
            item.failure = "not written: " + bad->second;
            failed.push_back(std::move(item));
        }
    }

    if (json) {
        auto items = [&](const std::vector<RunSummary::Item>& list, bool withReason) {
            std::string out = "[";
            for (size_t i = 0; i < list.size(); ++i) {
                const RunSummary::Item& it = list[i];
                out += i ? ",\n    " : "\n    ";
                out += "{\"ModuleName\": " + jsonString(it.moduleName) +
                       ", \"ProcName\": " + jsonString(it.procName) + ", \"File\": " +
                       jsonString(it.component ? displayPath(it.component->path()) : "");
                if (withReason)
                    out += ", \"Reason\": " + jsonString(it.failure);
                out += "}";
            }
            return out + (list.empty() ? "]" : "\n  ]");
        };
        std::fprintf(m_out, "{\n  \"treated\": %s,\n  \"failed\": %s\n}\n",
                     items(treated, false).c_str(), items(failed, true).c_str());
    }
    return failed.empty() && unwrittenProcedures == 0 ? 0 : 1;
}

} // namespace trapline::cli
