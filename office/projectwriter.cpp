#include "projectwriter.h"
#include "asciicase.h"

#include "compression.h"
#include "textdecoding.h"

#include <optional>
#include <set>

namespace trapline::office {
namespace {

/// The node at `path`, its name compared without case as storages do.
CompoundTree::Node* findNode(CompoundTree& tree, const std::string& path) {
    const auto exact = tree.nodes.find(path);
    if (exact != tree.nodes.end())
        return &exact->second;
    for (auto& [name, node] : tree.nodes)
        if (folded(name) == folded(path))
            return &node;
    return nullptr;
}

/// Every module's intended source, the added ones last, within the limits.
Outcome<std::vector<std::string>> intendedSources(const VbaProject& project,
                                                  const ProjectChanges& changes) {
    const std::vector<VbaModule>& modules = project.modules();
    if (!changes.sources.empty() && changes.sources.rbegin()->first >= modules.size())
        return fail(Problem::Corrupt,
                    "no module #" + std::to_string(changes.sources.rbegin()->first));
    std::vector<std::string> sources;
    for (size_t k = 0; k < modules.size(); ++k) {
        const auto changed = changes.sources.find(k);
        sources.push_back(changed == changes.sources.end() ? modules[k].source : changed->second);
    }
    for (const NewModule& module : changes.added)
        sources.push_back(module.source);
    size_t total = 0;
    for (const std::string& source : sources) {
        if (source.size() > VbaProject::kSourceLimit)
            return fail(Problem::TooLarge,
                        "a module's source of " + std::to_string(source.size()) + " bytes");
        total += source.size();
    }
    if (total > VbaProject::kProjectLimit)
        return fail(Problem::TooLarge, "sources of " + std::to_string(total) + " bytes together");
    return sources;
}

/// Each module's stream, holding only its compressed source; the sources
/// are compressed through `parallel`, each on its own.
Outcome<bool> writeModules(const VbaProject& project, const std::vector<std::string>& sources,
                           const std::string& vba, CompoundTree& tree,
                           const ParallelFor& parallel) {
    std::set<std::string> streams;
    std::vector<CompoundTree::Node*> nodes;
    for (size_t k = 0; k < project.modules().size(); ++k) {
        const VbaModule& module = project.modules()[k];
        const std::string what = "module " + module.nameUtf8;
        // Modules that share a stream cannot each hold their source at its
        // start; `dir` and `_VBA_PROJECT` are no module's.
        const std::string key = folded(module.streamName);
        if (!streams.insert(key).second || key == "DIR" || key == "_VBA_PROJECT" ||
            key.rfind("__SRP_", 0) == 0)
            return fail(Problem::Corrupt, what + ": its stream is another's");
        CompoundTree::Node* node = findNode(tree, vba + module.streamName);
        if (!node || node->isStorage)
            return fail(Problem::Corrupt, what + ": no stream " + module.streamName);
        nodes.push_back(node);
    }
    std::vector<std::optional<Failure>> failures(nodes.size());
    forEachIndex(parallel, nodes.size(), [&](size_t k) {
        Outcome<std::string> packed = compress(sources[k]);
        if (packed)
            nodes[k]->data = std::move(*packed);
        else
            failures[k] = packed.failure();
    });
    for (size_t k = 0; k < failures.size(); ++k)
        if (failures[k])
            return fail(failures[k]->problem,
                        "module " + project.modules()[k].nameUtf8 + ": " + failures[k]->detail);
    return true;
}

/// `text` with `line` added after its last module line (else after its
/// first line), in the line ends the text uses.
std::string withModuleLine(const std::string& text, const std::string& line) {
    const size_t firstEnd = text.find_first_of("\r\n");
    const std::string eol = firstEnd == std::string::npos            ? "\r\n"
                            : text.compare(firstEnd, 2, "\r\n") == 0 ? "\r\n"
                                                                     : text.substr(firstEnd, 1);
    size_t insertAt = std::string::npos;
    size_t pos = 0;
    while (pos < text.size() && text[pos] != '[') {
        size_t end = text.find_first_of("\r\n", pos);
        const std::string_view content = std::string_view(text).substr(
            pos, (end == std::string::npos ? text.size() : end) - pos);
        end = end == std::string::npos ? text.size()
                                       : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        const std::string_view key = content.substr(0, content.find('='));
        if (insertAt == std::string::npos || key == "Module" || key == "Class" ||
            key == "Document" || key == "BaseClass" || key == "Package")
            insertAt = end;
        pos = end;
    }
    if (insertAt == std::string::npos)
        return line + eol + text;
    const bool ended = insertAt > 0 && (text[insertAt - 1] == '\n' || text[insertAt - 1] == '\r');
    std::string out = text;
    out.insert(insertAt, ended ? line + eol : eol + line + eol);
    return out;
}

/// `PROJECTwm` with an entry for `name` before its terminator. Fails
/// (Corrupt) when the stream is not a list of names ending in a terminator.
Outcome<std::string> withNameMapEntry(const std::string& map, const std::string& name,
                                      const std::string& nameUtf16) {
    size_t pos = 0;
    while (pos < map.size() && map[pos] != '\0') {
        const size_t nul = map.find('\0', pos);
        if (nul == std::string::npos)
            return fail(Problem::Corrupt, "PROJECTwm: a name without its end");
        pos = nul + 1;
        while (pos + 1 < map.size() && (map[pos] != '\0' || map[pos + 1] != '\0'))
            pos += 2;
        if (pos + 1 >= map.size())
            return fail(Problem::Corrupt, "PROJECTwm: a Unicode name without its end");
        pos += 2;
    }
    if (map.size() - pos < 2 || map.compare(pos, 2, std::string(2, '\0')) != 0)
        return fail(Problem::Corrupt, "PROJECTwm: no terminator");
    std::string out = map;
    out.insert(pos, name + std::string(1, '\0') + nameUtf16 + std::string(2, '\0'));
    return out;
}

/// Whether a new module may be called `name`: no module, no stream of the
/// project and no other new module has it already.
Outcome<bool> checkNewName(const VbaProject& project, const CompoundTree& tree,
                           const std::string& vba, const NewModule& module,
                           std::set<std::string>& taken) {
    const std::string nameUtf8 = decodeCodePage(module.name, project.codePage());
    if (!ProjectWriter::isModuleName(module.name) ||
        nameUtf8.find("\xEF\xBF\xBD") != std::string::npos)
        return fail(Problem::Unencodable, "\"" + nameUtf8 + "\" cannot name a module");
    if (taken.empty()) {
        for (const VbaModule& existing : project.modules())
            taken.insert(folded(existing.nameUtf8));
        for (const ProjectModule& listed : project.project().modules())
            taken.insert(folded(decodeCodePage(listed.name, project.codePage())));
        for (const auto& [path, node] : tree.nodes)
            if (folded(path).rfind(folded(vba), 0) == 0)
                taken.insert(folded(path.substr(vba.size())));
    }
    if (!taken.insert(folded(nameUtf8)).second)
        return fail(Problem::Unencodable, "a module named " + nameUtf8 + " is already there");
    return true;
}

/// The new modules' streams, `PROJECT` lines and `PROJECTwm` entries; the
/// `dir` records they need.
Outcome<std::vector<std::string>> addModules(const VbaProject& project,
                                             const ProjectChanges& changes,
                                             const std::string& prefix, CompoundTree& tree) {
    const std::string vba = prefix + "VBA/";
    std::vector<std::string> records;
    std::set<std::string> taken;
    CompoundTree::Node* projectStream = findNode(tree, prefix + "PROJECT");
    CompoundTree::Node* nameMap = findNode(tree, prefix + "PROJECTwm");
    for (const NewModule& module : changes.added) {
        Outcome<bool> free = checkNewName(project, tree, vba, module, taken);
        if (!free)
            return free.failure();
        const std::string nameUtf8 = decodeCodePage(module.name, project.codePage());
        const std::string nameUtf16 = utf8ToUtf16(nameUtf8);
        Outcome<std::string> packed = compress(module.source);
        if (!packed)
            return fail(packed.failure().problem,
                        "module " + nameUtf8 + ": " + packed.failure().detail);
        tree.nodes[vba + nameUtf8] = CompoundTree::Node{false, {}, std::move(*packed)};
        if (!projectStream || projectStream->isStorage)
            return fail(Problem::Corrupt, "no PROJECT stream");
        projectStream->data = withModuleLine(projectStream->data, "Module=" + module.name);
        if (nameMap && !nameMap->isStorage) {
            Outcome<std::string> map = withNameMapEntry(nameMap->data, module.name, nameUtf16);
            if (!map)
                return map.failure();
            nameMap->data = std::move(*map);
        }
        records.push_back(DirStream::standardModule(module.name, nameUtf16));
    }
    return records;
}

} // namespace

std::string ProjectWriter::purgedVbaProject(std::string_view old) {
    std::string out("\xCC\x61\xFF\xFF\x00", 5);
    out += old.size() >= 7 ? std::string(old.substr(5, 2)) : std::string(2, '\0');
    return out;
}

bool ProjectWriter::isModuleName(std::string_view name) {
    if (name.empty() || name.size() > 31)
        return false;
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    if (!letter(name.front()))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_')
            return false;
    return true;
}

Outcome<std::vector<std::string>>
ProjectWriter::write(const VbaProject& project, const ProjectChanges& changes,
                     const std::string& storage, CompoundTree& tree, const ParallelFor& parallel) {
    const std::string prefix = storage.empty() ? "" : storage + "/";
    const std::string vba = prefix + "VBA/";
    Outcome<std::vector<std::string>> sources = intendedSources(project, changes);
    if (!sources)
        return sources.failure();
    Outcome<bool> modules = writeModules(project, *sources, vba, tree, parallel);
    if (!modules)
        return modules.failure();
    Outcome<std::vector<std::string>> added = addModules(project, changes, prefix, tree);
    if (!added)
        return added.failure();

    // The compiled state goes as a whole: the cache in `_VBA_PROJECT` and
    // the `__SRP_` streams beside it.
    for (auto it = tree.nodes.begin(); it != tree.nodes.end();) {
        const bool inVba =
            it->first.size() > vba.size() && folded(it->first).rfind(folded(vba), 0) == 0;
        const bool srp = inVba && folded(it->first.substr(vba.size())).rfind("__SRP_", 0) == 0;
        it = srp ? tree.nodes.erase(it) : std::next(it);
    }
    CompoundTree::Node* state = findNode(tree, vba + "_VBA_PROJECT");
    if (state && !state->isStorage)
        state->data = purgedVbaProject(state->data);
    else
        tree.nodes[vba + "_VBA_PROJECT"] = CompoundTree::Node{false, {}, purgedVbaProject("")};

    const DirStream& dir = project.dir();
    std::string offsetsZero = dir.withTextOffsets(std::vector<uint32_t>(dir.modules().size(), 0));
    Outcome<std::string> dirBytes = added->empty()
                                        ? Outcome<std::string>(std::move(offsetsZero))
                                        : dir.withModulesAdded(std::move(offsetsZero), *added);
    if (!dirBytes)
        return dirBytes.failure();
    Outcome<std::string> packedDir = compress(*dirBytes);
    if (!packedDir)
        return fail(packedDir.failure().problem, "VBA/dir: " + packedDir.failure().detail);
    CompoundTree::Node* dirNode = findNode(tree, vba + "dir");
    if (!dirNode || dirNode->isStorage)
        return fail(Problem::Corrupt, "no VBA/dir stream");
    dirNode->data = std::move(*packedDir);
    return sources;
}

} // namespace trapline::office
