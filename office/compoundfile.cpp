#include "compoundfile.h"
#include "asciicase.h"

#include <set>

namespace trapline::office {

std::vector<std::string> splitPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size() && !path.empty()) {
        const size_t slash = std::min(path.find('/', pos), path.size());
        parts.emplace_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return parts;
}

Outcome<CompoundTree> CompoundFile::tree(size_t limit) const {
    CompoundTree tree;
    tree.sectorSize = sectorSize();
    size_t budget = limit;
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        const std::string path = std::move(pending.back());
        pending.pop_back();
        Outcome<std::string> id = classId(path);
        if (!id)
            return id.failure();
        tree.nodes[path] = CompoundTree::Node{true, std::move(*id), {}};
        Outcome<std::vector<Entry>> entries = list(path);
        if (!entries)
            return entries.failure();
        // Names are compared without case: a storage cannot hold two that
        // differ only in case, and a rewrite would keep only one of them.
        std::set<std::string> seen;
        for (const Entry& entry : *entries) {
            const std::string child = path.empty() ? entry.name : path + "/" + entry.name;
            if (entry.name.empty() || entry.name.find('/') != std::string::npos ||
                !seen.insert(folded(entry.name)).second)
                return fail(Problem::Corrupt, "an entry named \"" + child + "\"");
            if (entry.isStorage) {
                pending.push_back(child);
                continue;
            }
            Outcome<std::string> data = read(child, budget);
            if (!data)
                return data.failure();
            budget -= data->size();
            tree.nodes[child] = CompoundTree::Node{false, {}, std::move(*data)};
        }
    }
    return tree;
}

} // namespace trapline::office

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/compoundfile.inc"
#else
#include "posix/compoundfile.inc"
#endif
