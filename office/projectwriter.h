#pragma once

// Writes a VBA project back into the storage that holds it, as MS-OVBA asks
// a writer: every module stream holds only its compressed source at offset
// 0, `_VBA_PROJECT` holds no compiled state and no `__SRP_` stream is left,
// so that Office compiles the project from its sources again. Every other
// stream keeps its bytes; in `dir` only the text offsets change.

#include "compoundfile.h"
#include "outcome.h"
#include "vbaproject.h"

#include <map>
#include <string>
#include <vector>

namespace trapline::office {

/// A standard module to add; name and source in the project's code page.
struct NewModule {
    std::string name;
    std::string source;
};

/// What a write changes in a project.
struct ProjectChanges {
    std::map<size_t, std::string> sources; ///< new source bytes by module index
    std::vector<NewModule> added;
};

class ProjectWriter {
public:
    /// Rewrites the project in the storage `storage` of `tree` ("" for the
    /// root). Returns every module's intended source, the added ones last.
    /// Fails (Corrupt) for an index past the modules or for modules sharing
    /// one stream, (TooLarge) for sources past the project's limits,
    /// (Unencodable) for a new module's name that is taken or is no name.
    /// The sources are compressed through `parallel`.
    static Outcome<std::vector<std::string>> write(const VbaProject& project,
                                                   const ProjectChanges& changes,
                                                   const std::string& storage, CompoundTree& tree,
                                                   const ParallelFor& parallel = {});

    /// `_VBA_PROJECT` as a writer leaves it: no compiled state, version
    /// 0xFFFF; `old`'s two reserved bytes at 5 are kept.
    static std::string purgedVbaProject(std::string_view old);

    /// Whether `name` (code page bytes) can name a new module: a letter, then
    /// letters, digits and '_', 31 bytes at most.
    static bool isModuleName(std::string_view name);
};

} // namespace trapline::office
