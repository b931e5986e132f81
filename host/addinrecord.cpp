#include "addinrecord.h"

#include <cstdio>

namespace {

constexpr const char* kSource = "add-in record";

trapline::Error damaged(const std::string& what) {
    return trapline::makeError(trapline::errors::BadFileFormat, kSource, what);
}

/// Reads the record's fields in order, never past the end it was given.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : m_bytes(bytes) {}

    bool number(std::uint32_t& out) {
        if (m_bytes.size() - m_pos < 4)
            return false;
        out = 0;
        for (int i = 3; i >= 0; --i)
            out = out << 8 | static_cast<unsigned char>(m_bytes[m_pos + static_cast<size_t>(i)]);
        m_pos += 4;
        return true;
    }

    /// A length and that many bytes, the last a NUL; a length of 0 is no text.
    bool text(std::string& out) {
        std::uint32_t length = 0;
        if (!number(length) || length > m_bytes.size() - m_pos)
            return false;
        if (length == 0) {
            out.clear();
            return true;
        }
        std::string_view field = m_bytes.substr(m_pos, length);
        if (field.back() != '\0')
            return false;
        // The environment reads the text as a C string: up to its first NUL.
        out = std::string(field.substr(0, field.find('\0')));
        m_pos += length;
        return true;
    }

    bool skip(size_t count) {
        if (m_bytes.size() - m_pos < count)
            return false;
        m_pos += count;
        return true;
    }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};

/// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from a class id as stored: the
/// first three groups little-endian, the last eight bytes in order.
std::string classIdText(std::string_view b) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    char text[39];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", byte(3),
                  byte(2), byte(1), byte(0), byte(5), byte(4), byte(7), byte(6), byte(8), byte(9),
                  byte(10), byte(11), byte(12), byte(13), byte(14), byte(15));
    return text;
}

} // namespace

trapline::Result<AddInRecord> AddInRecord::parse(std::string_view bytes) {
    AddInRecord r;
    if (bytes.size() < 20)
        return damaged("shorter than the designer's class id and the size");
    r.designerClassId = classIdText(bytes.substr(0, 16));
    if (r.designerClassId != kDesignerClassId)
        return damaged("belongs to the designer " + r.designerClassId +
                       ", not to the add-in designer");
    std::uint32_t size = 0;
    FieldReader head(bytes.substr(16, 4));
    if (!head.number(size) || size > bytes.size() - 20)
        return damaged("says " + std::to_string(size) + " bytes follow, but only " +
                       std::to_string(bytes.size() - 20) + " do");
    FieldReader f(bytes.substr(20, size));
    if (!f.text(r.registryRoot))
        return damaged("the registry root is cut short or lacks its NUL");
    if (!f.text(r.displayName))
        return damaged("the display name is cut short or lacks its NUL");
    if (!f.text(r.description))
        return damaged("the description is cut short or lacks its NUL");
    if (!f.number(r.loadBehavior))
        return damaged("the load behaviour is missing");
    if (!f.text(r.satelliteLibrary))
        return damaged("the satellite library is cut short or lacks its NUL");
    if (!f.text(r.additionalKey))
        return damaged("the additional registry key is cut short or lacks its NUL");
    if (!f.number(r.flag) || !f.skip(12))
        return damaged("the flag or the reserved bytes are missing");
    return r;
}
