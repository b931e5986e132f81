#pragma once

// The parts of an OOXML package that lead to its VBA project: the package's
// relationships name the main part, the main part's relationships name the
// project, and `[Content_Types].xml` says what each part holds.

#include "outcome.h"
#include "zippackage.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

/// One `<Relationship>` element.
struct Relationship {
    std::string type;
    std::string target; ///< resolved: a part name without its leading '/'
    bool external = false;
};

class OpcPackage {
public:
    /// Reads the content types and the package's relationships.
    static Outcome<OpcPackage> open(const ZipPackage& zip);

    /// The name of the VBA project part, through the main part's
    /// relationships. Fails (NoProject) when it names none, (Corrupt) when
    /// the part is missing or not of the VBA project's content type.
    Outcome<std::string> projectPart() const;

    /// The content type of `part` (no leading '/'): its override, else its
    /// extension's default; empty when neither.
    std::string contentType(std::string_view part) const;

    /// The relationships of `part` (from its `_rels/<name>.rels`), none
    /// when it has no such part. "" is the package itself.
    Outcome<std::vector<Relationship>> relationships(std::string_view part) const;

    /// Every `<name ...>` element of `xml` as its attributes (entities
    /// decoded). Enough for the flat files of the packaging conventions.
    static std::vector<std::map<std::string, std::string>> elements(std::string_view xml,
                                                                    std::string_view name);

private:
    explicit OpcPackage(const ZipPackage& zip) : m_zip(&zip) {}

    const ZipPackage* m_zip;
    std::map<std::string, std::string> m_overrides; ///< part name, ASCII letters folded -> type
    std::map<std::string, std::string> m_defaults;  ///< extension, ASCII letters folded -> type
};

/// `target` relative to the folder of `source` (both part names, no leading
/// '/'), with "." and ".." resolved; an absolute target loses its '/'.
std::string resolvePartName(std::string_view source, std::string_view target);

} // namespace trapline::office
