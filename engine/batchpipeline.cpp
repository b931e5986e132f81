#include "batchpipeline.h"

#include "officedocument.h"
#include "orderedpool.h"
#include "platform/filesystem.h"
#include "signalcleanup.h"
#include "unifieddiff.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <utility>

namespace trapline {

/// One file's outcome with its staged new version, on its way from a worker
/// to the thread that takes outcomes in.
struct BatchPipeline::Treated {
    FileOutcome outcome;
    std::optional<Result<DiskFile::Staged>> staged;
};

BatchPipeline::BatchPipeline(Project& project, BatchSettings settings, BatchListener& listener)
    : m_project(project), m_settings(std::move(settings)), m_listener(listener),
      m_startNs(std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count()) {}

BatchPipeline::~BatchPipeline() {
    discard();
}

Result<void> BatchPipeline::lockFolders() {
    if (m_settings.mode != BatchMode::Write)
        return {};
    const Components& components = m_project.VBComponents();
    std::vector<std::string> folders;
    for (long i = 1; i <= components.Count(); ++i) {
        Component& c = **components.Item(i);
        // A file read through its own name, no link, lies in the folder named.
        const DiskFile::Contents* read = c.reading();
        folders.push_back(read && read->noLink ? platform::parentFolder(c.path())
                                               : DiskFile::folderOfTarget(c.path()));
    }
    bool told = false;
    auto locks = FolderLocks::acquire(folders, [&](const std::string& folder) {
        if (!told)
            m_listener.waiting(folder);
        told = true;
        return !SignalCleanup::interrupted();
    });
    if (!locks)
        return locks.error();
    // Whatever a run we waited for wrote is what this one reads and guards.
    // A file read before the lock is read again, unless its folder has not
    // changed since: every run of ours makes and renames files where it
    // writes. Folder times tick coarser than the clock, hence the margin.
    constexpr int64_t kMargin = 20'000'000;
    for (long i = 1; i <= components.Count(); ++i) {
        Component& c = **components.Item(i);
        const DiskFile::Contents* read = c.reading();
        const std::optional<int64_t> changed =
            read && !locks->waited() ? locks->changeTime(folders[static_cast<size_t>(i - 1)])
                                     : std::nullopt;
        if (!changed || *changed >= read->readNs - kMargin)
            c.restamp();
    }
    // A document is read whole when it is opened: one that run wrote is read
    // again. One that cannot be is left as read, and is then not written
    // over, as any file changed on disk.
    for (const std::unique_ptr<OfficeDocument>& document : m_project.documents()) {
        auto again = document->reread();
        for (long i = 1; again && *again && i <= components.Count(); ++i)
            if ((*components.Item(i))->document() == document.get())
                (*components.Item(i))->retakeFromDocument();
    }
    m_locks = std::move(*locks);
    return {};
}

bool BatchPipeline::filterNames(const Component& c) const {
    // Compared as text: a document's module names are in its own code page.
    return c.codepage(m_project.codepage()).toUtf8(c.Name()) == m_settings.moduleFilter;
}

BatchPipeline::Treated BatchPipeline::treatOne(Component& c,
                                               const BatchTreatment& treatment) const {
    Treated t;
    FileOutcome& o = t.outcome;
    o.component = &c;
    if (SignalCleanup::interrupted())
        return t;
    if (auto loaded = c.load(); !loaded) {
        o.loadError = loaded.error().description;
        return t;
    }
    if (m_settings.moduleFilter != "*" && !filterNames(c)) {
        c.unload();
        return t;
    }
    o.matched = true;
    // Text goes into a document in the run's code page: one in another would
    // get letters it does not mean.
    if (c.document() && m_settings.mode != BatchMode::ReadOnly) {
        if (std::string conflict = c.document()->codepageConflict(m_project.codepage());
            !conflict.empty()) {
            o.loadError = conflict;
            o.wholeDocument = true;
            return t;
        }
    }
    treatment.treat(c, o);
    // A large project treats tens of thousands: only JSON needs them named.
    o.treatedCount = o.treated.size();
    if (!m_settings.keepTreated)
        o.treated = {};
    if (c.needsSave() && m_settings.mode == BatchMode::Diff) {
        std::error_code ec;
        auto name = UnifiedDiff::patchName(c.path(), std::filesystem::current_path(ec));
        // A document's module is shown as a file inside it: "Book.xlsm/Module1.bas".
        if (name && c.document())
            *name += "/" + c.document()->codepage().toUtf8(c.Name()) +
                     (c.Type() == ComponentType::StdModule ? ".bas"
                      : c.Type() == ComponentType::MSForm  ? ".frm"
                                                           : ".cls");
        if (name)
            o.diff = UnifiedDiff::of(*name, c.CodeModule().edits(), c.CodeModule().eol(),
                                     c.stamp().mtimeNs);
        // No patch program can apply it inside a document: a line before the
        // diff, which patch passes over, says so.
        if (name && c.document())
            o.diff = "preview: " + *name +
                     " lies inside the document; a run without --dry-run "
                     "writes it\n" +
                     o.diff;
        if (!name)
            o.diffError = name.error().description;
    } else if (c.needsSave() && m_settings.mode == BatchMode::Write && !c.document()) {
        t.staged = DiskFile::stage(c.path(), c.pieces(), c.isNew() ? nullptr : &c.stamp(),
                                   m_settings.backup && !c.isNew(), c.isNew(), c.reading(),
                                   &m_newFiles, /*hashWritten=*/false);
    }
    c.unload();
    return t;
}

void BatchPipeline::take(Treated& t) {
    FileOutcome& o = t.outcome;
    if (o.component->document() != m_document)
        finishDocument();
    if (m_totals.interrupted || SignalCleanup::interrupted()) {
        m_totals.interrupted = true;
        if (t.staged && *t.staged)
            DiskFile::discard(**t.staged);
        return;
    }
    if (o.wholeDocument) {
        // A document refused as a whole is named once, not once a module.
        o.saidBefore = o.component->document() == m_refusedDocument;
        m_refusedDocument = o.component->document();
    }
    m_listener.treated(o);
    if (!o.loadError.empty()) {
        m_totals.unreadable = true;
        return;
    }
    m_totals.undiffable = m_totals.undiffable || !o.diffError.empty();
    m_totals.matched = m_totals.matched || o.matched;
    m_totals.selected += o.treatedCount + o.failed.size();
    m_totals.chosen += o.chosen;
    m_totals.failed.insert(m_totals.failed.end(), std::make_move_iterator(o.failed.begin()),
                           std::make_move_iterator(o.failed.end()));
    o.failed.clear();
    m_totals.findings.insert(m_totals.findings.end(), std::make_move_iterator(o.findings.begin()),
                             std::make_move_iterator(o.findings.end()));
    o.findings.clear();
    o.diff.clear();
    if (t.staged && !*t.staged) {
        std::string why = t.staged->error().description;
        m_notWritten.emplace_back(std::move(o), std::move(why));
    } else if (t.staged) {
        m_staged.add(std::move(**t.staged));
        m_stagedOutcomes.emplace_back().push_back(std::move(o));
    } else if (o.component->document() && m_settings.mode == BatchMode::Write) {
        m_document = o.component->document();
        m_documentOutcomes.push_back(std::move(o));
    } else {
        // Nothing to write: what was treated stands as it is.
        m_totals.treated.insert(m_totals.treated.end(), o.treated.begin(), o.treated.end());
    }
}

void BatchPipeline::treatAll(const BatchTreatment& treatment) {
    const Components& components = m_project.VBComponents();
    const size_t count = static_cast<size_t>(components.Count());
    auto treat = [&](size_t index) {
        return treatOne(**components.Item(static_cast<long>(index + 1)), treatment);
    };
    orderedParallel<Treated>(count, 2, 8, treat, [&](size_t index, Treated& t) {
        m_listener.progress(index, count);
        take(t);
    });
    finishDocument();
    m_listener.progress(count, count);
}

void BatchPipeline::finishDocument() {
    OfficeDocument* document = std::exchange(m_document, nullptr);
    std::vector<FileOutcome> outcomes = std::exchange(m_documentOutcomes, {});
    if (!document || m_totals.interrupted)
        return;
    std::vector<const Component*> modules;
    std::vector<FileOutcome> changed;
    for (FileOutcome& o : outcomes) {
        modules.push_back(o.component);
        if (!o.component->needsSave())
            m_totals.treated.insert(m_totals.treated.end(), o.treated.begin(), o.treated.end());
        else
            changed.push_back(std::move(o));
    }
    auto staged = document->stage(modules, m_project.codepage(), m_settings.backup);
    if (!staged && staged.error().number == errors::DocumentRefused && !changed.empty()) {
        // Not to be changed now (another program has it open): as for a
        // document that cannot be read, the run writes nothing.
        m_totals.refused = true;
        FileOutcome refusal;
        refusal.component = changed.front().component;
        refusal.loadError = staged.error().description;
        refusal.wholeDocument = true;
        m_refusedDocument = document;
        m_listener.treated(refusal);
    } else if (!staged) {
        // Said once with the first changed module, each of which then
        // names the procedures that were not written.
        for (size_t k = 0; k < changed.size(); ++k) {
            changed[k].wholeDocument = true;
            changed[k].saidBefore = k > 0;
            m_notWritten.emplace_back(std::move(changed[k]), staged.error().description);
        }
    } else if (*staged) {
        m_staged.add(std::move(**staged));
        m_stagedOutcomes.push_back(std::move(changed));
    }
}

void BatchPipeline::removeLeftovers() {
    // The folders about to be written, each with the names of the project's
    // files in it: only leftovers of those are ours to remove.
    std::map<std::string, std::vector<std::string>> folders;
    auto add = [&](const std::string& path, bool newFolder) {
        const size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
        auto it = newFolder ? folders.try_emplace(std::move(folder)).first : folders.find(folder);
        if (it != folders.end())
            it->second.push_back(path.substr(slash + 1));
    };
    for (const DiskFile::Staged& s : m_staged.files())
        add(s.target, true);
    const Components& components = m_project.VBComponents();
    for (long i = 1; i <= components.Count(); ++i)
        add((*components.Item(i))->path(), false);
    // File times tick coarser than the clock: a margin keeps a file made just
    // after the run began from passing for an older one.
    const int64_t before = m_startNs - 100'000'000;
    for (const auto& [folder, names] : folders)
        for (const std::string& removed : DiskFile::removeLeftovers(folder, names, before))
            m_listener.leftoverRemoved(removed);
}

void BatchPipeline::commit() {
    if (m_totals.interrupted) {
        discard();
        return;
    }
    removeLeftovers();
    std::vector<StagedSet::Outcome> done = m_staged.commitAll();
    std::vector<FileOutcome> interrupted;
    for (size_t k = 0; k < done.size(); ++k) {
        for (size_t m = 0; m < m_stagedOutcomes[k].size(); ++m) {
            FileOutcome& o = m_stagedOutcomes[k][m];
            // The file's own news (a backup, a version set aside) is told once.
            const bool first = m == 0;
            if (done[k].error && done[k].error->number == errors::Cancelled) {
                interrupted.push_back(std::move(o));
            } else if (done[k].error) {
                // A document's problem is its own, not each module's: said once.
                o.wholeDocument = o.component->document() != nullptr;
                o.saidBefore = !first;
                m_notWritten.emplace_back(std::move(o), done[k].error->description);
            } else {
                m_totals.written += first;
                m_listener.written(o, first ? done[k].committed.backup : std::string());
                if (first && !done[k].committed.setAside.empty()) {
                    ++m_totals.setAside;
                    m_listener.setAside(o, done[k].committed.note);
                }
                m_totals.treated.insert(m_totals.treated.end(), o.treated.begin(), o.treated.end());
            }
        }
    }
    m_stagedOutcomes.clear();
    auto unwritten = [this](FileOutcome& o, const std::string& why) {
        m_totals.unwritten += o.treatedCount;
        for (RunSummary::Item& item : o.treated) {
            item.failure = "not written: " + why;
            m_totals.failed.push_back(std::move(item));
        }
    };
    for (auto& [o, why] : m_notWritten) {
        m_listener.notWritten(o, why);
        unwritten(o, why);
    }
    m_notWritten.clear();
    // A signal stopped the rest: the run says so once, not once a file.
    m_totals.interrupted = !interrupted.empty();
    m_totals.interruptedFiles = interrupted.size();
    for (FileOutcome& o : interrupted)
        unwritten(o, "the run was interrupted");
    m_locks.reset();
}

void BatchPipeline::discard() {
    m_staged.discardAll();
    m_stagedOutcomes.clear();
    m_document = nullptr;
    m_documentOutcomes.clear();
    m_notWritten.clear();
    m_locks.reset();
}

} // namespace trapline
