#include "insertcommand.h"

#include "arguments.h"
#include "clireporter.h"
#include "diskfile.h"
#include "folderlocks.h"
#include "insertionrun.h"
#include "json.h"
#include "orderedpool.h"
#include "projectinput.h"
#include "stagedset.h"
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
                     run in this folder, applies (the log then goes to
                     stderr, so that stdout holds the diff alone)
  --backup           keep each replaced file as NAME.bak (or NAME.bak.1, …
                     when that name is taken: an existing file is never
                     overwritten, and the name used is said on stderr)
  --json             print one JSON object {"treated": [...], "failed": [...]}
                     instead of the log lines; a procedure the module defines
                     more than once (versions under #If) gives an item per
                     definition, with the "Line" of its declaration
  -h, --help         show this help

The log ("Вставлено в Sub : Name" for each treated procedure whose file
was written; once per definition) goes to stdout; messages go to stderr.
Nothing is asked.

Another trapline run writing in the same folders is waited for. A file
that changed on disk since it was read is never overwritten.

Exit status: 0 when every selected procedure was treated (or none was
selected); 1 when some failed or a file could not be written (each is
named on stderr); 2 for bad usage or input, such as a --module or --proc
that names nothing, in which case nothing is written.
)USAGE";
}

namespace {

/// The name a file goes by in messages: relative to the current folder.
std::string displayPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::proximate(path, ec);
    return ec ? path : rel.string();
}

/// The options of `trapline insert` that say what goes in; reports and gives
/// nothing when they are unusable.
std::optional<InsertionOptions> insertionOptions(const Arguments& a, const Codepage& codepage,
                                                 ProjectInput& input) {
    InsertionOptions options;
    options.confirm = false;
    options.procName = a.value("proc", "*");
    options.moduleName = a.value("module", "*");
    options.onlySub = a.has("subs");
    options.onlyFunc = a.has("functions");
    options.onlyProperty = a.has("properties");
    options.skipTrapped = !a.has("include-trapped");
    options.withComment = !a.has("live");
    options.useDefault = !a.has("header");
    if (options.procName.empty()) {
        input.fail("--proc needs a procedure name");
        return std::nullopt;
    }
    if (!codepage.fromUtf8(options.moduleName) || !codepage.fromUtf8(options.procName)) {
        input.fail("--module or --proc holds a character the code page cannot hold");
        return std::nullopt;
    }
    if (!options.useDefault) {
        auto header = readTemplate(a.value("header"), codepage);
        auto footer = readTemplate(a.value("footer"), codepage);
        for (auto* t : {&header, &footer})
            if (!*t) {
                input.fail(t->error().source + ": " + t->error().description);
                return std::nullopt;
            }
        options.header = *header;
        options.footer = *footer;
    }
    return options;
}

/// Checks the combinations of arguments that make no sense together.
bool usable(const Arguments& a, ProjectInput& input) {
    const char* problem = nullptr;
    if (a.positionals().empty())
        problem = "no PATH given\nTry 'trapline insert --help'.";
    else if (a.has("header") != a.has("footer"))
        problem = "--header and --footer go together";
    else if (a.has("dry-run") && a.has("json"))
        problem = "--dry-run prints a diff; it does not go with --json";
    else if (a.has("dry-run") && a.has("backup"))
        problem = "--dry-run writes nothing, so --backup has nothing to keep";
    if (problem)
        input.fail(problem);
    return problem == nullptr;
}

/// Locks the folders the run may write in, after which every file is read
/// as it is then: a run that had to wait sees what the other one wrote.
std::optional<FolderLocks> lockFolders(Project& project, std::FILE* err) {
    const Components& components = project.VBComponents();
    std::vector<std::string> folders;
    for (long i = 1; i <= components.Count(); ++i)
        folders.push_back(DiskFile::folderOfTarget((*components.Item(i))->path()));
    auto locks = FolderLocks::acquire(folders, [err](const std::string& folder) {
        std::fprintf(err, "trapline: waiting for another trapline run to finish in %s\n",
                     displayPath(folder).c_str());
    });
    if (!locks) {
        std::fprintf(err, "trapline: %s: %s\n", displayPath(locks.error().source).c_str(),
                     locks.error().description.c_str());
        return std::nullopt;
    }
    for (const std::string& name : locks->leftovers())
        std::fprintf(err, "trapline: removed %s, left behind by an interrupted run\n",
                     displayPath(name).c_str());
    for (long i = 1; i <= components.Count(); ++i)
        (*components.Item(i))->restamp();
    return std::move(*locks);
}

/// A file name for JSON: UTF-8, converted from the code page when the name's
/// bytes are not UTF-8 already.
std::string utf8Path(const std::string& path, const Codepage& codepage) {
    std::string shown = displayPath(path);
    return Codepage::isValidUtf8(shown) ? shown : codepage.toUtf8(shown);
}

std::string jsonItems(const std::vector<RunSummary::Item>& list, bool withReason,
                      const Codepage& codepage) {
    std::string out = "[";
    for (size_t i = 0; i < list.size(); ++i) {
        const RunSummary::Item& it = list[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"ModuleName\": " + jsonString(it.moduleName) +
               ", \"ProcName\": " + jsonString(it.procName) + ", \"File\": " +
               jsonString(it.component ? utf8Path(it.component->path(), codepage) : "");
        if (it.line > 0) // one item per definition of a procedure defined twice
            out += ", \"Line\": " + std::to_string(it.line);
        if (withReason)
            out += ", \"Reason\": " + jsonString(it.failure);
        out += "}";
    }
    return out + (list.empty() ? "]" : "\n  ]");
}

/// How the run goes: chosen by --dry-run, --json and --backup.
struct RunSettings {
    bool dryRun = false;
    bool json = false;
    bool backup = false;
};

/// What treating one component gave.
struct Outcome {
    Component* component = nullptr;
    std::string loadError;
    std::string diffError; ///< why the diff cannot name the file for patch
    bool matched = false;
    std::string log, messages, diff;
    std::vector<RunSummary::Item> treated, failed; ///< treated: kept for --json only
    size_t treatedCount = 0;
    std::optional<Result<DiskFile::Staged>> staged;
};

/// Reads one component, treats it, stages its new version (or writes its
/// diff) and lets go of it.
Outcome treatComponent(VBE& vbe, Component* c, const InsertionOptions& options,
                       const RunSettings& settings) {
    Outcome o;
    o.component = c;
    if (auto loaded = c->load(); !loaded) {
        o.loadError = loaded.error().description;
        return o;
    }
    const Codepage& cp = vbe.ActiveVBProject()->codepage();
    if (options.moduleName != "*" && c->Name() != *cp.fromUtf8(options.moduleName)) {
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
    // A large project treats tens of thousands: only JSON needs them named.
    if (settings.json)
        o.treated = std::move(s.treated);
    if (settings.dryRun && c->needsSave()) {
        std::error_code ec;
        auto name = UnifiedDiff::patchName(c->path(), std::filesystem::current_path(ec));
        if (name)
            o.diff = UnifiedDiff::of(*name, c->CodeModule().edits(), c->CodeModule().eol(),
                                     c->stamp().mtimeNs);
        else
            o.diffError = name.error().description;
    } else if (!settings.dryRun && c->needsSave())
        o.staged = DiskFile::stage(c->path(), c->pieces(), c->isNew() ? nullptr : &c->stamp(),
                                   settings.backup && !c->isNew(), c->isNew());
    c->unload();
    return o;
}

/// What the pass over every file gave, before anything is committed.
struct Collected {
    bool unreadable = false;
    bool undiffable = false;
    bool matched = false;
    size_t selected = 0; ///< procedures treated or failed
    std::vector<RunSummary::Item> treated, failed;
    StagedSet staged;
    std::vector<Outcome> stagedOutcomes; ///< in the order of `staged`
    std::vector<std::pair<Outcome, std::string>> notWritten;
};

/// Treats every file, two at a time, and takes in their outcomes in project
/// order: messages and diffs are printed at once; the log of a staged file
/// waits until it is written.
Collected collect(VBE& vbe, const InsertionOptions& options, const RunSettings& settings,
                  std::FILE* out, std::FILE* err) {
    const Components& components = vbe.ActiveVBProject()->VBComponents();
    const size_t count = static_cast<size_t>(components.Count());
    Collected run;
    ProgressLine progress(err);
    auto treat = [&](size_t index) {
        return treatComponent(vbe, *components.Item(static_cast<long>(index + 1)), options,
                              settings);
    };
    orderedParallel<Outcome>(count, 2, 8, treat, [&](size_t index, Outcome& o) {
        progress.show(index, count);
        if (!o.loadError.empty()) {
            std::fprintf(err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                         o.loadError.c_str());
            run.unreadable = true;
            return;
        }
        if (!o.diffError.empty()) {
            std::fprintf(err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                         o.diffError.c_str());
            run.undiffable = true;
        }
        run.matched = run.matched || o.matched;
        run.selected += o.treatedCount + o.failed.size();
        std::fputs(o.messages.c_str(), err);
        // Under --dry-run stdout is for the diff alone.
        if (settings.dryRun && !settings.json)
            std::fputs(o.log.c_str(), err);
        std::fputs(o.diff.c_str(), out);
        o.diff.clear();
        run.failed.insert(run.failed.end(), o.failed.begin(), o.failed.end());
        if (o.staged && !*o.staged) {
            std::string why = o.staged->error().description;
            run.notWritten.emplace_back(std::move(o), why);
        } else if (o.staged) {
            run.staged.add(std::move(**o.staged));
            o.staged.reset();
            run.stagedOutcomes.push_back(std::move(o));
        } else {
            run.treated.insert(run.treated.end(), o.treated.begin(), o.treated.end());
        }
    });
    progress.show(count, count);
    return run;
}

/// Puts the staged files in place and prints the log of each file written.
void commitAndLog(Collected& run, const RunSettings& settings, std::FILE* out, std::FILE* err) {
    std::vector<StagedSet::Outcome> done = run.staged.commitAll();
    for (size_t k = 0; k < done.size(); ++k) {
        Outcome& o = run.stagedOutcomes[k];
        if (done[k].error) {
            run.notWritten.emplace_back(std::move(o), done[k].error->description);
            continue;
        }
        const std::string plain = o.component->path() + ".bak";
        if (!done[k].backup.empty() && done[k].backup != plain)
            std::fprintf(err, "trapline: %s exists already; the replaced file is kept as %s\n",
                         displayPath(plain).c_str(), displayPath(done[k].backup).c_str());
        if (!settings.json)
            std::fputs(o.log.c_str(), out);
        run.treated.insert(run.treated.end(), o.treated.begin(), o.treated.end());
    }
}

/// Names each file that could not be written; its procedures move from the
/// treated to the failed. Returns how many procedures that was.
size_t reportUnwritten(Collected& run, const Codepage& codepage, std::FILE* err) {
    size_t procedures = 0;
    for (auto& [o, why] : run.notWritten) {
        const size_t n = o.treatedCount;
        std::fprintf(err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                     why.c_str());
        std::fprintf(err, "trapline: not written: %s (%zu procedure%s)\n",
                     codepage.toUtf8(o.component->Name()).c_str(), n, n == 1 ? "" : "s");
        procedures += n;
        for (RunSummary::Item& item : o.treated) {
            item.failure = "not written: " + why;
            run.failed.push_back(std::move(item));
        }
    }
    return procedures;
}

} // namespace

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
    if (!usable(a, input))
        return 2;
    auto codepage = input.codepage(a.value("codepage", "1251"));
    if (!codepage)
        return 2;
    auto options = insertionOptions(a, *codepage, input);
    if (!options)
        return 2;

    bool complete = true;
    auto project = input.load(a.positionals(), *codepage, complete, true);
    if (!project)
        return 2;
    if (!complete) {
        input.fail("the project could not be read completely; nothing was written");
        return 2;
    }
    const RunSettings settings{a.has("dry-run"), a.has("json"), a.has("backup")};
    std::optional<FolderLocks> locks;
    if (!settings.dryRun && !(locks = lockFolders(*project, m_err)))
        return 2;

    Project& projectRef = *project;
    VBE vbe(std::move(project));
    Collected run = collect(vbe, *options, settings, m_out, m_err);
    if (run.unreadable || run.undiffable || !run.matched ||
        (run.selected == 0 && options->procName != "*")) {
        run.staged.discardAll();
        input.fail(run.unreadable   ? "some files could not be read; nothing was written"
                   : run.undiffable ? "run it from a folder that holds every file of the project"
                   : !run.matched   ? "no module named '" + options->moduleName + "'"
                                    : "no procedure named '" + options->procName + "'" +
                                        (options->moduleName == "*"
                                             ? std::string()
                                             : " in module '" + options->moduleName + "'"));
        return 2;
    }
    if (run.selected == 0)
        input.fail("no procedure was selected; nothing to do");
    commitAndLog(run, settings, m_out, m_err);
    const size_t unwritten = reportUnwritten(run, projectRef.codepage(), m_err);
    if (settings.json)
        std::fprintf(m_out, "{\n  \"treated\": %s,\n  \"failed\": %s\n}\n",
                     jsonItems(run.treated, false, projectRef.codepage()).c_str(),
                     jsonItems(run.failed, true, projectRef.codepage()).c_str());
    return run.failed.empty() && unwritten == 0 ? 0 : 1;
}

} // namespace trapline::cli
