#pragma once

#include "folderlocks.h"
#include "insertionrun.h"
#include "project.h"
#include "stagedset.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trapline {

/// One thing a check found in a file: where, under which rule, and what.
struct Finding {
    std::string rule;       ///< the rule's id, e.g. "missing-handler"
    std::string moduleName; ///< UTF-8
    std::string procName;   ///< UTF-8 display name
    Component* component = nullptr;
    long line = 0;       ///< line of the file as read, counted as an editor counts
    std::string message; ///< UTF-8
};

/// What treating one file gave. The treatment fills the log, messages and
/// items; the pipeline adds what reading, diffing and writing gave.
struct FileOutcome {
    Component* component = nullptr;
    std::string loadError; ///< the file could not be read; nothing else is set
    std::string diffError; ///< for a diff: why it cannot name the file for `patch -p0`
    bool matched = false;  ///< the module filter chose the file
    std::string log;       ///< log lines ("\n" ends), worth printing once the file is written
    std::string messages;  ///< messages for the user, printed when the file is done
    std::string diff;      ///< for a diff: the file's change
    std::vector<RunSummary::Item> treated, failed; ///< treated: kept only when asked
    size_t treatedCount = 0;
    /// Procedures the filters chose, whether or not there was anything to do
    /// in them (a `remove` finds no handler in some).
    size_t chosen = 0;
    std::vector<Finding> findings;
    /// `loadError`, or why the file was not written, concerns the whole
    /// document the module lies in: it names the document, not the module.
    bool wholeDocument = false;
    /// An earlier module of the same document said it already.
    bool saidBefore = false;
};

/// What the pipeline does with a file once it is treated.
enum class BatchMode {
    Write,    ///< stage it; every staged file replaces its original at commit()
    Diff,     ///< write nothing, give its change as a unified diff
    ReadOnly, ///< write nothing, give nothing (a check)
};

struct BatchSettings {
    BatchMode mode = BatchMode::Write;
    bool backup = false; ///< keep each replaced file under a free ".bak" name
    bool keepTreated =
        false; ///< keep every treated item (a large project treats tens of thousands)
    /// Only the components of this exact name (UTF-8, compared with each
    /// name decoded from its own code page), or "*".
    std::string moduleFilter = "*";
};

/// The work done on each file. Called on worker threads, one file at a time
/// each, so it must not touch shared state without its own lock.
class BatchTreatment {
public:
    virtual ~BatchTreatment() = default;
    /// Treats `component`, which is loaded, and records what it did in `outcome`.
    virtual void treat(Component& component, FileOutcome& outcome) const = 0;
};

/// Hears what the pipeline does, always on the thread that runs it and in
/// project order, so that what it prints reads in the project's order.
class BatchListener {
public:
    virtual ~BatchListener() = default;
    /// Another run holds `folder`; the pipeline waits for it.
    virtual void waiting(const std::string& folder) { (void)folder; }
    /// A staged file of a run that was killed was removed.
    virtual void leftoverRemoved(const std::string& path) { (void)path; }
    /// A file's new version is in place, but another version of it that
    /// turned up in the moment of replacing had to be set aside; `note`
    /// says where. Follows written().
    virtual void setAside(FileOutcome& outcome, const std::string& note) {
        (void)outcome;
        (void)note;
    }
    virtual void progress(size_t done, size_t total) {
        (void)done;
        (void)total;
    }
    /// A file was treated (or could not be read, see `loadError`).
    virtual void treated(FileOutcome& outcome) { (void)outcome; }
    /// A file's new version is in place; `backup` names the kept old one, if any.
    virtual void written(FileOutcome& outcome, const std::string& backup) {
        (void)outcome;
        (void)backup;
    }
    /// A file could not be staged or put in place; its original is as it was.
    virtual void notWritten(FileOutcome& outcome, const std::string& why) {
        (void)outcome;
        (void)why;
    }
};

/// The batch pipeline that `insert`, `remove`, `refresh` and `check` share:
/// lock the folders that may be written, then read one file at a time (two
/// in parallel), treat it, stage its new version next to it and let go of
/// it; once every file is treated, flush all staged files together and only
/// then put each in place, and only when every file could be read.
///
///     BatchPipeline pipeline(project, settings, listener);
///     if (auto locked = pipeline.lockFolders(); !locked) report(locked.error());
///     pipeline.treatAll(treatment);
///     if (pipeline.totals().unreadable) pipeline.discard(); else pipeline.commit();
class BatchPipeline {
public:
    /// What the pass over every file gave.
    struct Totals {
        bool unreadable = false; ///< some file could not be read
        /// Some document must not be changed now (another program has it
        /// open): nothing may be written.
        bool refused = false;
        bool undiffable = false; ///< some file's diff cannot name it for `patch -p0`
        bool matched = false;    ///< some file passed the module filter
        size_t selected = 0;     ///< procedures treated or failed
        size_t chosen = 0;       ///< procedures the filters chose
        std::vector<RunSummary::Item> treated, failed;
        std::vector<Finding> findings;
        size_t unwritten = 0; ///< procedures treated in files that could not be written
        size_t written = 0;   ///< files replaced by their new version
        size_t setAside = 0;  ///< of those, files whose other version was set aside
        /// A signal stopped the run (see SignalCleanup::Handoff): nothing more
        /// was treated or written after it.
        bool interrupted = false;
        size_t interruptedFiles = 0; ///< staged files the signal kept from being written
    };

    /// `project` must have been loaded with deferred contents, or loaded whole.
    BatchPipeline(Project& project, BatchSettings settings, BatchListener& listener);
    BatchPipeline(const BatchPipeline&) = delete;
    BatchPipeline& operator=(const BatchPipeline&) = delete;
    ~BatchPipeline();

    /// Locks every folder a file of the project may be written in, waiting
    /// for another run that holds one, and then takes each file's stamp as it
    /// is now, so that a run that waited works on what the other wrote. A
    /// no-op unless the mode is Write.
    Result<void> lockFolders();

    /// Loads, treats and stages (or diffs) every file in project order, two
    /// at a time, keeping only a few files in memory.
    void treatAll(const BatchTreatment& treatment);

    const Totals& totals() const { return m_totals; }

    /// Removes what killed runs left behind in the folders about to be
    /// written (see DiskFile::removeLeftovers), flushes every staged file,
    /// puts each in place and syncs the folders; then names each file that
    /// could not be written (their procedures move from the treated to the
    /// failed).
    void commit();
    /// Removes every staged file; nothing is replaced.
    void discard();

private:
    struct Treated;
    /// Whether the module filter names `c`.
    bool filterNames(const Component& c) const;
    Treated treatOne(Component& component, const BatchTreatment& treatment) const;
    void take(Treated& treated);
    /// Stages the document whose modules were taken last, once all of them
    /// are treated: one file, written whole, or nothing when none changed.
    void finishDocument();
    void removeLeftovers();

    Project& m_project;
    BatchSettings m_settings;
    BatchListener& m_listener;
    std::optional<FolderLocks> m_locks;
    Totals m_totals;
    StagedSet m_staged;
    /// How new files come out in the run's folders, shared by the workers.
    mutable DiskFile::NewFiles m_newFiles;
    /// In the order of m_staged: one outcome for a module file, one for each
    /// changed module of a document.
    std::vector<std::vector<FileOutcome>> m_stagedOutcomes;
    OfficeDocument* m_document = nullptr;              ///< whose modules are being taken
    const OfficeDocument* m_refusedDocument = nullptr; ///< the last one said to be refused
    std::vector<FileOutcome> m_documentOutcomes;       ///< its modules' outcomes so far
    std::vector<std::pair<FileOutcome, std::string>> m_notWritten;
    int64_t m_startNs = 0; ///< when the run began: leftovers are older
};

} // namespace trapline
