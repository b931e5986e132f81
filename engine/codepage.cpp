#include "codepage.h"

#include "platform/textcodec.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace trapline {
namespace {

std::string normalise(std::string_view name) {
    std::string n(name);
    bool digits = !n.empty();
    for (char c : n)
        digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits)
        return n;
    if (n == "65001")
        return "UTF-8";
    return "CP" + n;
}

/// Text every ANSI code page and UTF-8 write alike; most names are.
bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

size_t utf8Length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1;
}

/// The lead bytes of the code page `codec` converts, or null when none takes
/// a second byte in the ASCII range: in UTF-8 and EUC code pages every byte
/// of a character outside ASCII is >= 0x80 and reads as a word's anyway.
std::unique_ptr<LeadBytes> probeLeadBytes(platform::TextCodec& codec) {
    auto lead = std::make_unique<LeadBytes>();
    std::vector<unsigned char> alone; // bytes that are no character on their own
    std::string out;
    for (int b = 0x80; b < 0x100; ++b) {
        const char one = static_cast<char>(b);
        if (codec.decode(std::string_view(&one, 1), out) == 0)
            alone.push_back(static_cast<unsigned char>(b));
    }
    auto pairs = [&](unsigned char b, int from, int to) {
        for (int t = from; t <= to; ++t) {
            const char two[] = {static_cast<char>(b), static_cast<char>(t)};
            if (codec.decode(std::string_view(two, 2), out) == 2)
                return true;
        }
        return false;
    };
    bool asciiTrail = false;
    for (unsigned char b : alone)
        if (pairs(b, 0x40, 0x7E))
            asciiTrail = lead->is[b] = true;
    if (!asciiTrail)
        return nullptr;
    // Some lead bytes take only trail bytes >= 0x80 (Korean 0xC7..0xFE): they
    // still take the next byte with them.
    for (unsigned char b : alone)
        if (!lead->is[b] && pairs(b, 0x80, 0xFE))
            lead->is[b] = true;
    return lead;
}

/// Learnt once per code page name and kept for the life of the program.
const LeadBytes* leadBytesOf(const std::string& name, platform::TextCodec& codec) {
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<LeadBytes>> known;
    std::lock_guard<std::mutex> lock(guard);
    auto [at, isNew] = known.try_emplace(name);
    if (isNew)
        at->second = probeLeadBytes(codec);
    return at->second.get();
}

} // namespace

Codepage::Codepage() : m_name("CP1251") {}

bool Codepage::isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto lead = static_cast<unsigned char>(s[i]);
        size_t len = utf8Length(lead);
        if ((len == 1 && lead >= 0x80) || i + len > s.size())
            return false;
        // Overlong forms, surrogates and code points past U+10FFFF are not
        // UTF-8: Windows-1251 text such as "\xC1\xB8" would pass for it.
        const auto second = len > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
        if (lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || (lead == 0xE0 && second < 0xA0) ||
            (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second >= 0x90))
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2)
                return false;
        i += len;
    }
    return true;
}

Result<Codepage> Codepage::open(std::string_view name) {
    std::string n = normalise(name);
    if (n.empty())
        return makeError(errors::InvalidCall, "Codepage", "empty code page name");
    auto codec = platform::TextCodec::open(n);
    if (!codec)
        return makeError(errors::InvalidCall, "Codepage",
                         "unknown code page '" + std::string(name) + "'");
    // VB files are ANSI: the code page must write ASCII as ASCII, which is
    // also what lets names and keywords be compared byte for byte.
    const std::string ascii = "Attribute VB_Name = \"Az09_\" ' ()";
    std::string encoded;
    codec->encode(ascii, encoded);
    if (encoded != ascii)
        return makeError(errors::InvalidCall, "Codepage",
                         "code page '" + std::string(name) + "' is not an ANSI code page");
    return Codepage(n, leadBytesOf(n, *codec));
}

std::string Codepage::toUtf8(std::string_view bytes) const {
    if (isAscii(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    auto codec = platform::TextCodec::open(m_name);
    while (codec && !bytes.empty()) {
        size_t used = codec->decode(bytes, out);
        bytes.remove_prefix(used);
        if (!bytes.empty()) {
            out += "\xEF\xBF\xBD";
            bytes.remove_prefix(1);
        }
    }
    return out;
}

Result<std::string> Codepage::fromUtf8(std::string_view utf8) const {
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    auto codec = platform::TextCodec::open(m_name);
    size_t used = codec ? codec->encode(utf8, out) : 0;
    if (used == utf8.size())
        return out;
    size_t len = std::min(utf8Length(static_cast<unsigned char>(utf8[used])), utf8.size() - used);
    return makeError(errors::NotConvertible, "Codepage",
                     "the character '" + std::string(utf8.substr(used, len)) +
                         "' cannot be written in code page " + m_name);
}

} // namespace trapline
