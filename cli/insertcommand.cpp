#include "insertcommand.h"

#include "arguments.h"
#include "clireporter.h"
#include "diskfile.h"
#include "insertionrun.h"
#include "json.h"
#include "orderedpool.h"
#include "projectinput.h"
#include "stderrmessagebox.h"
#include "unifieddiff.h"

#include <filesystem>
#include <map>
#include <optional>
#include <thread>

namespace trapline::cli {
namespace {

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
    if (!Codepage::isValidUtf8(text))
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

/// Flushes the staged files together, then puts each in place; replacing
/// files is the file system's slowest step, so two threads share it.
std::vector<std::optional<Error>> commitAll(const std::vector<const DiskFile::Staged*>& files) {
    DiskFile::flush(files);
    std::vector<std::optional<Error>> errors(files.size());
    auto commitRange = [&](size_t from, size_t step) {
        for (size_t k = from; k < files.size(); k += step)
            if (auto written = DiskFile::commit(*files[k]); !written)
                errors[k] = written.error();
    };
    std::thread helper(commitRange, 1, 2);
    commitRange(0, 2);
    helper.join();
    return errors;
}

std::string displayPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::proximate(path, ec);
    return ec ? path : rel.string();
}

} // namespace

const char* InsertCommand::usage() const {
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

int InsertCommand::execute(const std::vector<std::string>& args) {
    ProjectInput input("insert", m_err);
    auto parsed = Arguments::parse(args, {{"module", true},
                                          {"proc", true},
                                          {"subs", false},
                                          {"functions", false},
                                          {"properties", false},
                                          {"include-trapped", false},
                                          {"live", false},
                                          {"header", true},
                                          {"footer", true},
                                          {"codepage", true},
                                          {"dry-run", false},
                                          {"backup", false},
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
    // go of it, so that memory stays within a few modules however large the
    // project. Two files are treated at once; what they report is printed
    // in project order. The staged files replace their originals together
    // at the end, and only when every file could be read.
    Project& projectRef = *project;
    VBE vbe(std::move(project));
    const bool json = a.has("json");
    const bool dryRun = a.has("dry-run");
    const bool backup = a.has("backup");
    const Components& components = projectRef.VBComponents();
    const size_t count = static_cast<size_t>(components.Count());

    struct Outcome {
        Component* component = nullptr;
        std::string loadError;
        bool matched = false;
        std::string log, messages, diff;
        std::vector<RunSummary::Item> treated, failed;
        size_t treatedCount = 0;
        std::optional<Result<DiskFile::Staged>> staged;
    };
    auto treat = [&](size_t index) {
        Outcome o;
        Component* c = *components.Item(static_cast<long>(index + 1));
        o.component = c;
        if (auto loaded = c->load(); !loaded) {
            o.loadError = loaded.error().description;
            return o;
        }
        if (*moduleFilter != "*" && c->Name() != *moduleFilter) {
            c->unload();
            return o;
        }
        o.matched = true;
        StderrMessageBox messages(&o.messages);
        CliReporter reporter(o.log);
        InsertionOptions mine = options;
        mine.component = c;
        RunSummary s = InsertionRun(vbe, messages, reporter).run(mine);
        o.failed = std::move(s.failed);
        o.treatedCount = s.treated.size();
        if (json)
            o.treated = std::move(s.treated);
        if (dryRun && c->needsSave())
            o.diff = UnifiedDiff::of(displayPath(c->path()), c->CodeModule().edits(),
                                     c->CodeModule().eol(), c->stamp().mtimeNs);
        else if (!dryRun && c->needsSave())
            o.staged = DiskFile::stage(c->path(), c->pieces(), c->isNew() ? nullptr : &c->stamp(),
                                       backup && !c->isNew(), c->isNew());
        c->unload();
        return o;
    };

    ProgressLine progress(m_err);
    std::vector<RunSummary::Item> treated, failed;
    std::vector<std::pair<Outcome, DiskFile::Staged>> staged;
    std::vector<std::pair<Outcome, std::string>> notWritten;
    bool matched = false;
    bool unreadable = false;
    size_t selected = 0;
    orderedParallel<Outcome>(count, 2, 8, treat, [&](size_t index, Outcome& o) {
        progress.show(index, count);
        if (!o.loadError.empty()) {
            std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                         o.loadError.c_str());
            unreadable = true;
            return;
        }
        matched = matched || o.matched;
        selected += o.treatedCount + o.failed.size();
        std::fputs(o.messages.c_str(), m_err);
        if (!json)
            std::fputs(o.log.c_str(), m_out);
        std::fputs(o.diff.c_str(), m_out);
        failed.insert(failed.end(), o.failed.begin(), o.failed.end());
        o.diff.clear();
        o.log.clear();
        if (o.staged && !*o.staged) {
            std::string why = o.staged->error().description;
            notWritten.emplace_back(std::move(o), why);
        } else if (o.staged) {
            DiskFile::Staged st = std::move(**o.staged);
            staged.emplace_back(std::move(o), std::move(st));
        } else {
            treated.insert(treated.end(), o.treated.begin(), o.treated.end());
        }
    });
    progress.show(count, count);

    if (unreadable || !matched) {
        for (const auto& [o, st] : staged)
            DiskFile::discard(st);
        input.fail(unreadable ? "some files could not be read; nothing was written"
                              : "no module named '" + a.value("module") + "'");
        return 2;
    }

    if (selected == 0)
        input.fail("no procedure was selected; nothing to do");
    std::vector<const DiskFile::Staged*> files;
    for (const auto& [o, st] : staged)
        files.push_back(&st);
    std::vector<std::optional<Error>> commitErrors = commitAll(files);
    for (size_t k = 0; k < staged.size(); ++k) {
        Outcome& o = staged[k].first;
        if (commitErrors[k])
            notWritten.emplace_back(std::move(o), commitErrors[k]->description);
        else
            treated.insert(treated.end(), o.treated.begin(), o.treated.end());
    }

    // A file that could not be written takes its procedures from the treated
    // to the failed; those that failed in the run were named by its messages.
    size_t unwrittenProcedures = 0;
    for (auto& [o, why] : notWritten) {
        std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                     why.c_str());
        std::fprintf(m_err, "trapline: not written: %s (%zu procedure%s)\n",
                     projectRef.codepage().toUtf8(o.component->Name()).c_str(), o.treatedCount,
                     o.treatedCount == 1 ? "" : "s");
        unwrittenProcedures += o.treatedCount;
        for (RunSummary::Item& item : o.treated) {
            item.failure = "not written: " + why;
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
