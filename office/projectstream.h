#pragma once

// The `PROJECT` stream of a VBA project (MS-OVBA 2.3.1): `Key=Value` lines in
// the project's code page. It names each module's kind and holds the
// project's protection, encrypted as MS-OVBA 2.4.3 describes.

#include "outcome.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

/// A module's kind as the PROJECT stream names it.
enum class ModuleKind {
    Standard, ///< Module=
    Class,    ///< Class=
    Document, ///< Document=Name/&H00000000
    Designer, ///< BaseClass= (a form)
};

struct ProjectModule {
    std::string name; ///< bytes as stored, in the project's code page
    ModuleKind kind = ModuleKind::Standard;
};

class ProjectStream {
public:
    /// Reads the lines before the first `[Section]`. Lines may end in CRLF,
    /// LF or CR. Never fails: an unknown or broken line is ignored.
    static ProjectStream parse(std::string_view bytes);

    const std::vector<ProjectModule>& modules() const { return m_modules; }
    /// The kind of the module called `name` (bytes; ASCII letters compared
    /// without case, as VBA does), if the stream names it.
    std::optional<ModuleKind> kindOf(std::string_view name) const;

    /// Whether the project is locked for viewing: its visibility state (GC)
    /// says hidden, or its protection state (CMG) says the user locked it.
    /// Values that do not decrypt count as no lock.
    bool lockedForViewing() const;

    /// The decrypted data of a `CMG`, `DPB` or `GC` value (MS-OVBA 2.4.3.3);
    /// nothing when `hex` is not well-formed.
    static std::optional<std::string> decrypt(std::string_view hex);

private:
    std::vector<ProjectModule> m_modules;
    std::string m_protection; ///< CMG, hex
    std::string m_visibility; ///< GC, hex
};

} // namespace trapline::office
