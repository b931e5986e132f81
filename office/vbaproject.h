#pragma once

// The VBA project of a document: its `dir` and `PROJECT` streams and each
// module's source, read from the storage that holds them.

#include "compoundfile.h"
#include "dirstream.h"
#include "outcome.h"
#include "projectstream.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace trapline::office {

/// Runs `work(0)` to `work(count - 1)`, each once, on whatever threads it
/// has, and returns when all are done: the caller's pool, lent to work whose
/// items are independent (one module each). Empty: one after another here.
using ParallelFor = std::function<void(size_t count, const std::function<void(size_t)>& work)>;

/// Runs `work` for every index through `parallel`, or here when it is empty.
void forEachIndex(const ParallelFor& parallel, size_t count,
                  const std::function<void(size_t)>& work);

/// One module of a project.
struct VbaModule {
    std::string name;       ///< MODULENAME, bytes as stored
    std::string nameUtf8;   ///< the Unicode name where stored, else the bytes decoded
    std::string streamName; ///< the module's stream below VBA/, UTF-8
    ModuleKind kind = ModuleKind::Standard;
    uint32_t textOffset = 0;
    std::string source; ///< the source's bytes, in the project's code page, line ends kept
};

class VbaProject {
public:
    /// Reads the project in the storage at `storage` ("" for the root) of
    /// `file`. Fails (Locked) for a project locked for viewing, (Corrupt)
    /// naming the stream or module that does not read or decompress,
    /// (TooLarge) for a stream or source past what a project can hold.
    /// The sources are decompressed through `parallel`.
    static Outcome<VbaProject> read(const CompoundFile& file, const std::string& storage,
                                    const ParallelFor& parallel = {});

    uint16_t codePage() const { return m_dir.codePage(); }
    const DirStream& dir() const { return m_dir; }
    const ProjectStream& project() const { return m_project; }
    const std::vector<VbaModule>& modules() const { return m_modules; }
    /// A module's source decoded from the project's code page. Decoded only
    /// when asked: a run works on the bytes, and most never need the text.
    std::string sourceUtf8(const VbaModule& module) const;

    /// Streams no project of ours comes near; a claim past them is hostile.
    static constexpr size_t kStreamLimit = 64 << 20;
    /// The most text one module's source may decompress to.
    static constexpr size_t kSourceLimit = 32 << 20;
    /// The most text all modules together may decompress to: modules that
    /// share one stream must not multiply what it costs.
    static constexpr size_t kProjectLimit = 128 << 20;

private:
    VbaProject(DirStream dir, ProjectStream project)
        : m_dir(std::move(dir)), m_project(std::move(project)) {}
    /// Module streams read so far, by name below VBA/.
    using StreamCache = std::map<std::string, std::shared_ptr<const std::string>>;
    Outcome<VbaModule> moduleEntry(const CompoundFile& file, const std::string& prefix,
                                   const DirModule& entry, StreamCache& streams) const;

    DirStream m_dir;
    ProjectStream m_project;
    std::vector<VbaModule> m_modules;
};

} // namespace trapline::office
