#pragma once

// The `dir` stream of a VBA project (MS-OVBA 2.3.4.2), decompressed: the
// project's code page and, for each module, its names, stream and the offset
// of its source in that stream. Every record is kept with its bytes and
// position, so that a writer changes the text offsets and nothing else.

#include "outcome.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

/// What a MODULETYPE record says of a module.
enum class ModuleType {
    Procedural, ///< a standard module (0x0021)
    Other,      ///< a class, document or designer module (0x0022)
};

/// One record of the stream: its id, where it starts and its data.
struct DirRecord {
    uint16_t id = 0;
    size_t offset = 0; ///< of the record's id in the decompressed stream
    std::string data;  ///< the bytes after the size field
};

/// One module as its MODULE records describe it.
struct DirModule {
    std::string name;              ///< MODULENAME, bytes as stored
    std::string nameUnicode;       ///< MODULENAMEUNICODE, UTF-16LE; may be empty
    std::string streamName;        ///< MODULESTREAMNAME, bytes as stored
    std::string streamNameUnicode; ///< its UTF-16LE half; may be empty
    uint32_t textOffset = 0;       ///< where the compressed source starts in the stream
    ModuleType type = ModuleType::Procedural;
    bool readOnly = false;
    bool isPrivate = false;
    size_t offsetRecord = 0; ///< index in records() of the MODULEOFFSET record
};

class DirStream {
public:
    /// Parses the decompressed stream. Each record is an id, a 32-bit size and
    /// that many bytes, with the deviation real files show: PROJECTVERSION
    /// states a size of 4 and holds 6. Records this reader does not know are
    /// skipped by their size; a name's Unicode half may be missing. Fails
    /// (Corrupt) for a record that runs past the end, a stream without its
    /// code page, or a module without a stream name or text offset.
    static Outcome<DirStream> parse(std::string_view bytes);

    uint16_t codePage() const { return m_codePage; }
    /// PROJECTNAME, bytes as stored.
    const std::string& projectName() const { return m_projectName; }
    const std::vector<DirModule>& modules() const { return m_modules; }
    const std::vector<DirRecord>& records() const { return m_records; }

    /// The stream again with each module's text offset replaced, in module
    /// order; every other byte stays as read. `offsets` has one per module.
    std::string withTextOffsets(const std::vector<uint32_t>& offsets) const;

    /// `bytes` (this stream as withTextOffsets gives it) with `modules`, each
    /// a module's records from MODULENAME to its terminator, after the last
    /// module, and PROJECTMODULES counting them. Fails (Corrupt) without a
    /// PROJECTMODULES record or a terminator, (TooLarge) past 65,535 modules.
    Outcome<std::string> withModulesAdded(std::string bytes,
                                          const std::vector<std::string>& modules) const;

    /// The records of a new standard module whose stream has its name:
    /// names, empty doc string, text offset 0, help context 0, cookie, type
    /// procedural and terminator. `name` is in the code page, `nameUtf16`
    /// UTF-16LE.
    static std::string standardModule(std::string_view name, std::string_view nameUtf16);

private:
    Outcome<bool> readModules();

    std::string m_bytes;
    uint16_t m_codePage = 0;
    std::string m_projectName;
    std::vector<DirRecord> m_records;
    std::vector<DirModule> m_modules;
};

} // namespace trapline::office
