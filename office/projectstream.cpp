#include "projectstream.h"

#include <cstdint>

namespace trapline::office {
namespace {

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[k]) != lower(b[k]))
            return false;
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

ProjectStream ProjectStream::parse(std::string_view bytes) {
    ProjectStream project;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end + (bytes.substr(end, 2) == "\r\n" ? 2 : 1);
        if (!line.empty() && line.front() == '[')
            break;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        if (key == "Module")
            project.m_modules.push_back({std::string(value), ModuleKind::Standard});
        else if (key == "Class")
            project.m_modules.push_back({std::string(value), ModuleKind::Class});
        else if (key == "BaseClass")
            project.m_modules.push_back({std::string(value), ModuleKind::Designer});
        else if (key == "Document")
            project.m_modules.push_back(
                {std::string(value.substr(0, value.find('/'))), ModuleKind::Document});
        else if (key == "CMG")
            project.m_protection = unquoted(value);
        else if (key == "GC")
            project.m_visibility = unquoted(value);
    }
    return project;
}

std::optional<ModuleKind> ProjectStream::kindOf(std::string_view name) const {
    for (const ProjectModule& module : m_modules)
        if (module.name == name)
            return module.kind;
    for (const ProjectModule& module : m_modules)
        if (sameName(module.name, name))
            return module.kind;
    return std::nullopt;
}

bool ProjectStream::lockedForViewing() const {
    const std::optional<std::string> visibility = decrypt(m_visibility);
    if (visibility && visibility->size() == 1 && (*visibility)[0] == '\0')
        return true;
    const std::optional<std::string> protection = decrypt(m_protection);
    return protection && protection->size() == 4 && ((*protection)[0] & 1) != 0;
}

std::optional<std::string> ProjectStream::decrypt(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string data;
    for (size_t k = 0; k < hex.size(); k += 2) {
        const int high = hexDigit(hex[k]);
        const int low = hexDigit(hex[k + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        data += static_cast<char>(high << 4 | low);
    }
    if (data.size() < 3)
        return std::nullopt;
    auto byteAt = [&](size_t k) { return static_cast<uint8_t>(data[k]); };
    const uint8_t seed = byteAt(0);
    const uint8_t versionEnc = byteAt(1);
    const uint8_t keyEnc = byteAt(2);
    if ((seed ^ versionEnc) != 2)
        return std::nullopt;
    // Each byte is masked by the sum of the two bytes before it: the
    // previous plain byte and the encrypted byte before the previous one.
    uint8_t plain1 = static_cast<uint8_t>(seed ^ keyEnc);
    uint8_t enc1 = keyEnc;
    uint8_t enc2 = versionEnc;
    size_t pos = 3;
    auto next = [&](uint8_t& out) {
        if (pos >= data.size())
            return false;
        const uint8_t enc = byteAt(pos++);
        out = static_cast<uint8_t>(enc ^ static_cast<uint8_t>(enc2 + plain1));
        enc2 = enc1;
        enc1 = enc;
        plain1 = out;
        return true;
    };
    uint8_t ignored = 0;
    for (int k = 0; k < (seed & 6) / 2; ++k)
        if (!next(ignored))
            return std::nullopt;
    uint32_t length = 0;
    for (int k = 0; k < 4; ++k) {
        uint8_t b = 0;
        if (!next(b))
            return std::nullopt;
        length |= uint32_t{b} << (8 * k);
    }
    if (length != data.size() - pos)
        return std::nullopt;
    std::string out;
    for (uint32_t k = 0; k < length; ++k) {
        uint8_t b = 0;
        next(b);
        out += static_cast<char>(b);
    }
    return out;
}

} // namespace trapline::office
