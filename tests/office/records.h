#pragma once

// What the office tests build their streams from: little-endian numbers,
// `dir` records, and the path of a sample document.

#include <cstdint>
#include <string>

namespace officetest {

inline std::string u16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string u32(uint32_t v) {
    return u16(v & 0xFFFF) + u16(v >> 16);
}
/// A `dir` record: its id, its size, its data.
inline std::string record(unsigned id, const std::string& data) {
    return u16(id) + u32(static_cast<uint32_t>(data.size())) + data;
}
/// The path of a sample document of tests/data/office.
inline std::string sample(const std::string& name) {
    return std::string(OFFICE_DATA) + "/" + name;
}

} // namespace officetest
