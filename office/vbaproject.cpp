#include "vbaproject.h"

#include "compression.h"
#include "textdecoding.h"

#include <algorithm>

namespace trapline::office {

Outcome<VbaProject> VbaProject::read(const CompoundFile& file, const std::string& storage) {
    const std::string prefix = storage.empty() ? "" : storage + "/";
    Outcome<std::string> packedDir = file.read(prefix + "VBA/dir", kStreamLimit);
    if (!packedDir)
        return packedDir.failure();
    Outcome<std::string> dirBytes = decompress(*packedDir, kStreamLimit);
    if (!dirBytes)
        return fail(dirBytes.failure().problem, "VBA/dir: " + dirBytes.failure().detail);
    Outcome<DirStream> dir = DirStream::parse(*dirBytes);
    if (!dir)
        return dir.failure();
    Outcome<std::string> projectBytes = file.read(prefix + "PROJECT", kStreamLimit);
    if (!projectBytes)
        return projectBytes.failure();
    VbaProject project(std::move(*dir), ProjectStream::parse(*projectBytes));
    if (project.m_project.lockedForViewing())
        return fail(Problem::Locked, "the project is locked for viewing");
    size_t budget = kProjectLimit;
    for (const DirModule& entry : project.m_dir.modules()) {
        Outcome<VbaModule> module =
            project.readModule(file, prefix, entry, std::min(kSourceLimit, budget));
        if (!module)
            return module.failure();
        budget -= module->source.size();
        project.m_modules.push_back(std::move(*module));
    }
    return project;
}

Outcome<VbaModule> VbaProject::readModule(const CompoundFile& file, const std::string& prefix,
                                          const DirModule& entry, size_t limit) const {
    VbaModule module;
    module.name = entry.name;
    module.nameUtf8 = entry.nameUnicode.empty() ? decodeCodePage(entry.name, codePage())
                                                : utf16ToUtf8(entry.nameUnicode);
    module.streamName = entry.streamNameUnicode.empty()
                            ? decodeCodePage(entry.streamName, codePage())
                            : utf16ToUtf8(entry.streamNameUnicode);
    module.textOffset = entry.textOffset;
    const std::optional<ModuleKind> kind = m_project.kindOf(entry.name);
    module.kind = kind                                   ? *kind
                  : entry.type == ModuleType::Procedural ? ModuleKind::Standard
                                                         : ModuleKind::Class;
    const std::string what = "module " + module.nameUtf8;
    Outcome<std::string> stream = file.read(prefix + "VBA/" + module.streamName, kStreamLimit);
    if (!stream)
        return fail(stream.failure().problem, what + ": " + stream.failure().detail);
    if (entry.textOffset > stream->size())
        return fail(Problem::Corrupt, what + ": its source starts past its stream's end");
    Outcome<std::string> source =
        decompress(std::string_view(*stream).substr(entry.textOffset), limit);
    if (!source)
        return fail(source.failure().problem, what + ": " + source.failure().detail);
    module.source = std::move(*source);
    module.sourceUtf8 = decodeCodePage(module.source, codePage());
    return module;
}

} // namespace trapline::office
