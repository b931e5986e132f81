#include "textdecoding.h"

#include "platform/textcodec.h"

#include <memory>

namespace trapline::office {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string codePageName(uint16_t codePage) {
    switch (codePage) {
    case 10000:
        return "MACINTOSH";
    case 65001:
        return "UTF-8";
    default:
        return "CP" + std::to_string(codePage);
    }
}

std::string decodeCodePage(std::string_view bytes, uint16_t codePage) {
    std::string out;
    const std::unique_ptr<platform::TextCodec> codec =
        platform::TextCodec::open(codePageName(codePage));
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (codec)
            pos += codec->decode(bytes.substr(pos), out);
        else
            while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80)
                out += bytes[pos++];
        if (pos < bytes.size()) {
            out += kReplacement;
            ++pos;
        }
    }
    return out;
}

std::string utf16ToUtf8(std::string_view utf16le) {
    std::string out;
    auto unit = [&](size_t k) {
        return static_cast<uint32_t>(static_cast<unsigned char>(utf16le[k]) |
                                     static_cast<unsigned char>(utf16le[k + 1]) << 8);
    };
    size_t k = 0;
    for (; k + 1 < utf16le.size(); k += 2) {
        const uint32_t c = unit(k);
        if (c >= 0xD800 && c < 0xDC00 && k + 3 < utf16le.size()) {
            const uint32_t low = unit(k + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                k += 2;
                continue;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            out += kReplacement;
        else
            appendUtf8(out, c);
    }
    if (k < utf16le.size())
        out += kReplacement;
    return out;
}

std::string utf8ToUtf16(std::string_view utf8) {
    std::string out;
    auto unit = [&](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8 & 0xFF);
    };
    size_t k = 0;
    while (k < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[k]);
        const size_t length = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 0;
        uint32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
        bool ok = length > 0 && k + length <= utf8.size();
        for (size_t b = 1; ok && b < length; ++b) {
            const auto next = static_cast<unsigned char>(utf8[k + b]);
            ok = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        if (!ok) {
            unit(0xFFFD);
            ++k;
            continue;
        }
        k += length;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

} // namespace trapline::office
