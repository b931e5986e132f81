#include "dirstream.h"

namespace trapline::office {
namespace {

namespace id {
constexpr uint16_t CodePage = 0x0003;
constexpr uint16_t ProjectModules = 0x000F;
constexpr uint16_t ProjectName = 0x0004;
constexpr uint16_t Version = 0x0009;
constexpr uint16_t Terminator = 0x0010;
constexpr uint16_t ModuleName = 0x0019;
constexpr uint16_t ModuleStreamName = 0x001A;
constexpr uint16_t ModuleTypeProcedural = 0x0021;
constexpr uint16_t ModuleTypeOther = 0x0022;
constexpr uint16_t ModuleReadOnly = 0x0025;
constexpr uint16_t ModulePrivate = 0x0028;
constexpr uint16_t ModuleEnd = 0x002B;
constexpr uint16_t ModuleOffset = 0x0031;
constexpr uint16_t ModuleStreamNameUnicode = 0x0032;
constexpr uint16_t ModuleNameUnicode = 0x0047;
} // namespace id

uint32_t readU32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t k = 4; k-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

std::string u16(unsigned value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}

std::string u32(uint32_t value) {
    return u16(value & 0xFFFF) + u16(value >> 16);
}

std::string record(uint16_t id, std::string_view data) {
    return u16(id) + u32(static_cast<uint32_t>(data.size())) + std::string(data);
}

std::string at(size_t offset) {
    return " at byte " + std::to_string(offset);
}

} // namespace

Outcome<DirStream> DirStream::parse(std::string_view bytes) {
    DirStream dir;
    dir.m_bytes = bytes;
    bool sawCodePage = false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 6)
            return fail(Problem::Corrupt, "dir: a record header is cut short" + at(pos));
        DirRecord record;
        record.id = static_cast<uint16_t>(static_cast<unsigned char>(bytes[pos]) |
                                          static_cast<unsigned char>(bytes[pos + 1]) << 8);
        record.offset = pos;
        size_t size = readU32(bytes, pos + 2);
        // Office writes PROJECTVERSION's size as 4 and follows it with a
        // 32-bit major and a 16-bit minor version.
        if (record.id == id::Version)
            size = 6;
        if (size > bytes.size() - pos - 6)
            return fail(Problem::Corrupt, "dir: a record runs past the stream" + at(pos));
        record.data = bytes.substr(pos + 6, size);
        pos += 6 + size;
        if (record.id == id::CodePage && record.data.size() == 2) {
            dir.m_codePage = static_cast<uint16_t>(static_cast<unsigned char>(record.data[0]) |
                                                   static_cast<unsigned char>(record.data[1]) << 8);
            sawCodePage = true;
        }
        if (record.id == id::ProjectName)
            dir.m_projectName = record.data;
        const bool last = record.id == id::Terminator;
        dir.m_records.push_back(std::move(record));
        if (last)
            break;
    }
    if (!sawCodePage)
        return fail(Problem::Corrupt, "dir: no code page");
    Outcome<bool> modules = dir.readModules();
    if (!modules)
        return modules.failure();
    return dir;
}

Outcome<bool> DirStream::readModules() {
    bool inModule = false;
    DirModule module;
    bool sawOffset = false;
    for (size_t k = 0; k < m_records.size(); ++k) {
        const DirRecord& record = m_records[k];
        if (record.id == id::ModuleName) {
            if (inModule)
                return fail(Problem::Corrupt, "dir: a module without its end" + at(record.offset));
            inModule = true;
            module = DirModule{};
            module.name = record.data;
            sawOffset = false;
            continue;
        }
        if (!inModule)
            continue;
        switch (record.id) {
        case id::ModuleNameUnicode:
            module.nameUnicode = record.data;
            break;
        case id::ModuleStreamName:
            module.streamName = record.data;
            break;
        case id::ModuleStreamNameUnicode:
            module.streamNameUnicode = record.data;
            break;
        case id::ModuleOffset:
            if (record.data.size() != 4)
                return fail(Problem::Corrupt,
                            "dir: a text offset of the wrong size" + at(record.offset));
            module.textOffset = readU32(record.data, 0);
            module.offsetRecord = k;
            sawOffset = true;
            break;
        case id::ModuleTypeProcedural:
            module.type = ModuleType::Procedural;
            break;
        case id::ModuleTypeOther:
            module.type = ModuleType::Other;
            break;
        case id::ModuleReadOnly:
            module.readOnly = true;
            break;
        case id::ModulePrivate:
            module.isPrivate = true;
            break;
        case id::ModuleEnd:
            if (module.streamName.empty() && module.streamNameUnicode.empty())
                return fail(Problem::Corrupt,
                            "dir: a module without a stream name" + at(record.offset));
            if (!sawOffset)
                return fail(Problem::Corrupt,
                            "dir: a module without a text offset" + at(record.offset));
            m_modules.push_back(std::move(module));
            inModule = false;
            break;
        default:
            break;
        }
    }
    if (inModule)
        return fail(Problem::Corrupt, "dir: the last module has no end");
    return true;
}

std::string DirStream::withTextOffsets(const std::vector<uint32_t>& offsets) const {
    std::string out = m_bytes;
    for (size_t k = 0; k < m_modules.size() && k < offsets.size(); ++k) {
        const size_t at = m_records[m_modules[k].offsetRecord].offset + 6;
        for (size_t b = 0; b < 4; ++b)
            out[at + b] = static_cast<char>(offsets[k] >> (8 * b) & 0xFF);
    }
    return out;
}

Outcome<std::string> DirStream::withModulesAdded(std::string bytes,
                                                 const std::vector<std::string>& modules) const {
    const DirRecord* count = nullptr;
    const DirRecord* terminator = nullptr;
    for (const DirRecord& record : m_records) {
        if (record.id == id::ProjectModules && record.data.size() == 2 && !count)
            count = &record;
        if (record.id == id::Terminator)
            terminator = &record;
    }
    if (!count || !terminator)
        return fail(Problem::Corrupt, "dir: no module count or no terminator");
    const size_t stated = static_cast<unsigned char>(count->data[0]) |
                          static_cast<unsigned char>(count->data[1]) << 8;
    if (stated + modules.size() > 0xFFFF)
        return fail(Problem::TooLarge, "dir: more than 65535 modules");
    std::string inserted;
    for (const std::string& module : modules)
        inserted += module;
    // The count comes before the terminator: insert last, so that its offset holds.
    bytes.insert(terminator->offset, inserted);
    const std::string newCount = u16(static_cast<unsigned>(stated + modules.size()));
    bytes.replace(count->offset + 6, 2, newCount);
    return bytes;
}

std::string DirStream::standardModule(std::string_view name, std::string_view nameUtf16) {
    return record(id::ModuleName, name) + record(id::ModuleNameUnicode, nameUtf16) +
           record(id::ModuleStreamName, name) + record(id::ModuleStreamNameUnicode, nameUtf16) +
           record(0x001C, "") + record(0x0048, "") + // doc string, both halves empty
           record(id::ModuleOffset, u32(0)) + record(0x001E, u32(0)) + // help context
           record(0x002C, u16(0xFFFF)) +                               // cookie
           record(id::ModuleTypeProcedural, "") + record(id::ModuleEnd, "");
}

} // namespace trapline::office
