#include "vbaproject.h"

#include "compression.h"
#include "textdecoding.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <optional>

namespace trapline::office {
namespace {

/// Whether `codePage` reads every ASCII byte as itself, so that ASCII text
/// (most source is) needs no decoder.
bool keepsAscii(uint16_t codePage) {
    std::string ascii(128, '\0');
    for (size_t k = 0; k < ascii.size(); ++k)
        ascii[k] = static_cast<char>(k);
    return decodeCodePage(ascii, codePage) == ascii;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// Takes `size` bytes from `budget`; false when fewer are left.
bool take(std::atomic<size_t>& budget, size_t size) {
    size_t left = budget.load();
    while (size <= left)
        if (budget.compare_exchange_weak(left, left - size))
            return true;
    return false;
}

} // namespace

void forEachIndex(const ParallelFor& parallel, size_t count,
                  const std::function<void(size_t)>& work) {
    if (parallel && count > 1) {
        parallel(count, work);
        return;
    }
    for (size_t k = 0; k < count; ++k)
        work(k);
}

Outcome<VbaProject> VbaProject::read(const CompoundFile& file, const std::string& storage,
                                     const ParallelFor& parallel) {
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

    // The container is read here, one stream after another; the sources are
    // decompressed and decoded apart, each on its own.
    // A stream that several modules name is read once: a hostile project
    // must not hold many copies of its largest stream.
    const std::vector<DirModule>& entries = project.m_dir.modules();
    std::vector<std::shared_ptr<const std::string>> streams(entries.size());
    StreamCache byName;
    for (size_t k = 0; k < entries.size(); ++k) {
        Outcome<VbaModule> module = project.moduleEntry(file, prefix, entries[k], byName);
        if (!module)
            return module.failure();
        streams[k] = byName.at(module->streamName);
        project.m_modules.push_back(std::move(*module));
    }
    byName.clear();
    // Modules that share one stream must not multiply what it costs: the
    // sources share one budget, taken as each is decompressed.
    std::atomic<size_t> budget{kProjectLimit};
    std::vector<std::optional<Failure>> failures(entries.size());
    forEachIndex(parallel, entries.size(), [&](size_t k) {
        VbaModule& module = project.m_modules[k];
        const size_t limit = std::min(kSourceLimit, budget.load());
        Outcome<std::string> source =
            decompress(std::string_view(*streams[k]).substr(module.textOffset), limit);
        streams[k].reset();
        if (!source || !take(budget, source->size())) {
            failures[k] =
                source ? Failure{Problem::TooLarge, "more than " + std::to_string(kProjectLimit) +
                                                        " bytes of sources together"}
                       : source.failure();
            return;
        }
        module.source = std::move(*source);
    });
    for (size_t k = 0; k < failures.size(); ++k)
        if (failures[k])
            return fail(failures[k]->problem,
                        "module " + project.m_modules[k].nameUtf8 + ": " + failures[k]->detail);
    return project;
}

std::string VbaProject::sourceUtf8(const VbaModule& module) const {
    return keepsAscii(codePage()) && isAscii(module.source)
               ? module.source
               : decodeCodePage(module.source, codePage());
}

Outcome<VbaModule> VbaProject::moduleEntry(const CompoundFile& file, const std::string& prefix,
                                           const DirModule& entry, StreamCache& streams) const {
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
    std::shared_ptr<const std::string>& stream = streams[module.streamName];
    if (!stream) {
        Outcome<std::string> read = file.read(prefix + "VBA/" + module.streamName, kStreamLimit);
        if (!read)
            return fail(read.failure().problem, what + ": " + read.failure().detail);
        stream = std::make_shared<const std::string>(std::move(*read));
    }
    if (entry.textOffset > stream->size())
        return fail(Problem::Corrupt, what + ": its source starts past its stream's end");
    return module;
}

} // namespace trapline::office
