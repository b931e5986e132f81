// Document::write: the project rewritten in its storage, the container
// rewritten around it, and the result read back before anyone gets it.

#include "asciicase.h"
#include "document.h"

#include "compoundfile.h"
#include "opcpackage.h"
#include "zippackage.h"

#include <optional>

namespace trapline::office {
namespace {

using ZipChanges = std::map<std::string, std::optional<std::string>>;

bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

std::string_view baseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string parentOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? "" : std::string(path.substr(0, slash));
}

/// Leaves out the signature streams at the root and in the project's storage.
void removeSignatureStreams(CompoundTree& tree, const std::string& storage) {
    for (auto it = tree.nodes.begin(); it != tree.nodes.end();) {
        const std::string parent = parentOf(it->first);
        const bool signature = !it->second.isStorage && (parent.empty() || parent == storage) &&
                               startsWithNoCase(baseName(it->first), "\x05"
                                                                     "DigitalSignature");
        it = signature ? tree.nodes.erase(it) : std::next(it);
    }
}

/// `xml` without the `<name …>` elements `drop` chooses; how many are left.
template <class Drop>
std::string withoutElements(const std::string& xml, std::string_view name, Drop drop, int& left) {
    std::string out;
    left = 0;
    size_t pos = 0;
    const std::string open = "<" + std::string(name);
    while (true) {
        size_t start = xml.find(open, pos);
        while (start != std::string::npos && start + open.size() < xml.size() &&
               std::string_view(" \t\r\n/>").find(xml[start + open.size()]) ==
                   std::string_view::npos)
            start = xml.find(open, start + 1);
        if (start == std::string::npos || start + open.size() >= xml.size())
            break;
        const size_t close = xml.find('>', start);
        if (close == std::string::npos)
            break;
        size_t end = close + 1;
        if (xml[close - 1] != '/') {
            const size_t closing = xml.find("</" + std::string(name) + ">", close);
            end = closing == std::string::npos ? end : closing + name.size() + 3;
        }
        auto attributes =
            OpcPackage::elements(std::string_view(xml).substr(start, end - start), name);
        out += xml.substr(pos, start - pos);
        if (attributes.empty() || !drop(attributes.front()))
            out += xml.substr(start, end - start), ++left;
        pos = end;
    }
    return out + xml.substr(pos);
}

/// Drops the signature parts, the relationships to them and their content
/// types' overrides.
Outcome<bool> removeSignatureParts(const ZipPackage& zip, ZipChanges& changes) {
    std::vector<std::string> signatures;
    for (const std::string& name : zip.names())
        if (startsWithNoCase(baseName(name), "vbaProjectSignature")) {
            signatures.push_back(name);
            changes[name] = std::nullopt;
        }
    auto isSignature = [&](const std::string& part) {
        for (const std::string& name : signatures)
            if (sameNoCase(name, part))
                return true;
        return false;
    };
    for (const std::string& name : zip.names()) {
        const bool rels =
            parentOf(name).size() >= 5 && sameNoCase(baseName(parentOf(name)), "_rels");
        const bool types = sameNoCase(name, "[Content_Types].xml");
        if ((!rels && !types) || changes.count(name) || signatures.empty())
            continue;
        Outcome<std::string> xml = zip.read(name, Document::kFileLimit);
        if (!xml)
            return xml.failure();
        int left = 0;
        std::string edited;
        if (types) {
            edited = withoutElements(
                *xml, "Override",
                [&](auto& attributes) {
                    return isSignature(resolvePartName("", attributes["PartName"]));
                },
                left);
        } else {
            // "xl/_rels/vbaProject.bin.rels" tells of "xl/vbaProject.bin".
            std::string source = parentOf(parentOf(name));
            std::string base(baseName(name));
            base.resize(base.size() - std::min<size_t>(base.size(), 5));
            source = source.empty() ? base : source + "/" + base;
            edited = withoutElements(
                *xml, "Relationship",
                [&](auto& attributes) {
                    return attributes["TargetMode"] != "External" &&
                           isSignature(resolvePartName(source, attributes["Target"]));
                },
                left);
        }
        if (edited == *xml)
            continue;
        // Relationships that lead nowhere any more go with their part.
        changes[name] = rels && left == 0 ? std::nullopt : std::optional<std::string>(edited);
    }
    return true;
}

/// The exact stored name of the part `part` names without regard to case.
std::string storedName(const ZipPackage& zip, const std::string& part) {
    for (const std::string& name : zip.names())
        if (sameNoCase(name, part))
            return name;
    return part;
}

} // namespace

namespace {

/// The project's storage in `file` written anew, as a tree: what the
/// written file must hold.
Outcome<CompoundTree> editedTree(const CompoundFile& file, const VbaProject& project,
                                 const std::string& storage, const DocumentEdit& edit,
                                 std::vector<std::string>& sources, const ParallelFor& parallel) {
    Outcome<CompoundTree> tree = file.tree(Document::kFileLimit);
    if (!tree)
        return tree.failure();
    if (edit.removeSignature)
        removeSignatureStreams(*tree, storage);
    Outcome<std::vector<std::string>> written = ProjectWriter::write(
        project, ProjectChanges{edit.sources, edit.added}, storage, *tree, parallel);
    if (!written)
        return written.failure();
    sources = std::move(*written);
    // What Office must find to compile afresh, checked on what is written.
    const std::string vba = storage.empty() ? "VBA/" : storage + "/VBA/";
    for (const auto& [path, node] : tree->nodes)
        if (startsWithNoCase(path, vba) && startsWithNoCase(baseName(path), "__SRP_"))
            return fail(Problem::Corrupt, path + " is left");
    const auto state = tree->nodes.find(vba + "_VBA_PROJECT");
    if (state == tree->nodes.end() || state->second.data.size() != 7 ||
        state->second.data.compare(0, 5, "\xCC\x61\xFF\xFF\x00", 5) != 0)
        return fail(Problem::Corrupt, vba + "_VBA_PROJECT is not as a writer leaves it");
    return tree;
}

/// A compound file written and its tree compared with the one intended.
Outcome<std::string> writtenAndChecked(const CompoundTree& tree, const std::string& what) {
    Outcome<std::string> bytes = CompoundFile::write(tree);
    if (!bytes)
        return bytes.failure();
    Outcome<std::unique_ptr<CompoundFile>> back = CompoundFile::open(*bytes);
    if (!back)
        return fail(back.failure().problem, what + ": " + back.failure().detail);
    Outcome<CompoundTree> backTree = (*back)->tree(Document::kFileLimit);
    if (!backTree)
        return fail(backTree.failure().problem, what + ": " + backTree.failure().detail);
    for (const auto& [path, node] : tree.nodes) {
        const auto found = backTree->nodes.find(path);
        if (found == backTree->nodes.end() || !(found->second == node))
            return fail(Problem::Corrupt,
                        what + ": " + (path.empty() ? "the root" : path) + " is not as written");
    }
    if (backTree->nodes.size() != tree.nodes.size())
        return fail(Problem::Corrupt, what + ": holds more than was written");
    return bytes;
}

} // namespace

Outcome<std::string> Document::writeCompoundFile(const DocumentEdit& edit,
                                                 std::vector<std::string>& sources,
                                                 const ParallelFor& parallel) const {
    Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(m_bytes);
    if (!file)
        return file.failure();
    Outcome<CompoundTree> tree =
        editedTree(**file, m_project, m_projectStorage, edit, sources, parallel);
    if (!tree)
        return tree.failure();
    return writtenAndChecked(*tree, "the written document");
}

Outcome<std::string> Document::writePackage(const DocumentEdit& edit,
                                            std::vector<std::string>& sources,
                                            const ParallelFor& parallel) const {
    Outcome<std::unique_ptr<ZipPackage>> zip = ZipPackage::open(m_bytes);
    if (!zip)
        return zip.failure();
    const std::string part = storedName(**zip, m_projectPart);
    Outcome<std::string> partBytes = (*zip)->read(part, kFileLimit);
    if (!partBytes)
        return partBytes.failure();
    Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(std::move(*partBytes));
    if (!file)
        return fail(file.failure().problem, part + ": " + file.failure().detail);
    Outcome<CompoundTree> tree = editedTree(**file, m_project, "", edit, sources, parallel);
    if (!tree)
        return tree.failure();
    Outcome<std::string> project = writtenAndChecked(*tree, part);
    if (!project)
        return project.failure();
    ZipChanges changes;
    if (edit.removeSignature) {
        Outcome<bool> removed = removeSignatureParts(**zip, changes);
        if (!removed)
            return removed.failure();
    }
    changes[part] = std::move(*project);
    Outcome<std::string> bytes = (*zip)->rewritten(changes);
    if (!bytes)
        return bytes.failure();

    // Every part comes back in its place with the bytes intended.
    Outcome<std::unique_ptr<ZipPackage>> back = ZipPackage::open(*bytes);
    if (!back)
        return fail(back.failure().problem, "the written package: " + back.failure().detail);
    std::vector<std::string> expected;
    for (const std::string& name : (*zip)->names())
        if (!changes.count(name) || changes.at(name))
            expected.push_back(name);
    if ((*back)->names() != expected)
        return fail(Problem::Corrupt, "the written package's parts are not the ones intended");
    for (const std::string& name : expected) {
        Outcome<std::string> now = (*back)->read(name, kFileLimit);
        Outcome<std::string> before = changes.count(name) ? Outcome<std::string>(*changes.at(name))
                                                          : (*zip)->read(name, kFileLimit);
        if (!now || !before || *now != *before)
            return fail(Problem::Corrupt, "the written package's " + name + " is not as intended");
    }
    return bytes;
}

Outcome<bool> Document::checkWritten(const std::string& bytes, const DocumentEdit& edit,
                                     const std::vector<std::string>& sources,
                                     const ParallelFor& parallel) const {
    Outcome<Document> back = read(bytes, {}, parallel);
    if (!back)
        return back.failure();
    const std::vector<VbaModule>& modules = back->project().modules();
    if (modules.size() != sources.size())
        return fail(Problem::Corrupt, std::to_string(modules.size()) + " modules instead of " +
                                          std::to_string(sources.size()));
    for (size_t k = 0; k < modules.size(); ++k) {
        const bool added = k >= m_project.modules().size();
        if (modules[k].source != sources[k] || modules[k].textOffset != 0 ||
            modules[k].name != (added ? edit.added[k - m_project.modules().size()].name
                                      : m_project.modules()[k].name))
            return fail(Problem::Corrupt, "module " + modules[k].nameUtf8 + " is not as written");
    }
    return true;
}

Outcome<std::string> Document::write(const DocumentEdit& edit, const ParallelFor& parallel) const {
    if (m_signed && !edit.removeSignature)
        return fail(Problem::Signed, "the project is digitally signed: an edit would break it");
    std::vector<std::string> sources;
    Outcome<std::string> bytes = m_container == Container::Package
                                     ? writePackage(edit, sources, parallel)
                                     : writeCompoundFile(edit, sources, parallel);
    if (!bytes)
        return bytes.failure();
    Outcome<bool> checked = checkWritten(*bytes, edit, sources, parallel);
    if (!checked)
        return fail(checked.failure().problem,
                    "the written document does not read back: " + checked.failure().detail);
    return bytes;
}

} // namespace trapline::office
