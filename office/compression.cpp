#include "compression.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace trapline::office {
namespace {

constexpr size_t kChunk = 4096;         // text bytes one chunk holds
constexpr size_t kMaxChunkBytes = 4098; // a chunk's bytes, header included
constexpr uint16_t kSignatureBits = 0x3000;

/// How a copy token splits its 16 bits at `difference` bytes into the chunk:
/// the further in, the more bits the offset needs (4 to 12).
struct TokenShape {
    unsigned offsetBits;
    uint16_t lengthMask;
    size_t maxLength;
};

TokenShape tokenShape(size_t difference) {
    unsigned bits = 4;
    while ((size_t{1} << bits) < difference)
        ++bits;
    const auto mask = static_cast<uint16_t>(0xFFFFu >> bits);
    return {bits, mask, size_t{mask} + 3};
}

uint16_t readU16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void appendU16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

std::string at(size_t offset) {
    return " at byte " + std::to_string(offset);
}

/// Decompresses the tokens of one compressed chunk, [pos, end) of `in`.
Outcome<size_t> decompressTokens(std::string_view in, size_t pos, size_t end, std::string& out,
                                 size_t limit) {
    const size_t chunkStart = out.size();
    while (pos < end) {
        const auto flags = static_cast<unsigned char>(in[pos++]);
        for (unsigned bit = 0; bit < 8 && pos < end; ++bit) {
            const size_t difference = out.size() - chunkStart;
            if ((flags >> bit & 1) == 0) {
                if (difference >= kChunk)
                    return fail(Problem::Corrupt, "a chunk grows past 4096 bytes" + at(pos));
                if (out.size() >= limit)
                    return fail(Problem::TooLarge, "more than " + std::to_string(limit) + " bytes");
                out += in[pos++];
                continue;
            }
            if (end - pos < 2)
                return fail(Problem::Corrupt, "a copy token is cut short" + at(pos));
            const uint16_t token = readU16(in, pos);
            const TokenShape shape = tokenShape(difference);
            const size_t length = static_cast<size_t>(token & shape.lengthMask) + 3;
            const size_t offset = (size_t{token} >> (16 - shape.offsetBits)) + 1;
            if (offset > difference)
                return fail(Problem::Corrupt, "a copy token reaches before its chunk" + at(pos));
            if (difference + length > kChunk)
                return fail(Problem::Corrupt, "a chunk grows past 4096 bytes" + at(pos));
            if (length > limit - std::min(limit, out.size()))
                return fail(Problem::TooLarge, "more than " + std::to_string(limit) + " bytes");
            // Byte by byte: a copy may overlap the bytes it produces.
            for (size_t k = 0; k < length; ++k)
                out += out[out.size() - offset];
            pos += 2;
        }
    }
    return pos;
}

/// Finds matches within one chunk as MS-OVBA 2.4.1.3.19.4 does (every
/// earlier position, the longest match, the nearest of equal ones), through
/// chains of earlier positions that share their first three bytes: only those
/// can give the three bytes a copy token needs, so the choice is the same.
class MatchFinder {
public:
    MatchFinder(std::string_view chunk) : m_chunk(chunk), m_previous(chunk.size(), -1) {
        m_head.fill(-1);
    }

    /// Records position `pos` as a candidate for later positions.
    void add(size_t pos) {
        if (pos + 3 > m_chunk.size())
            return;
        const size_t key = hash(pos);
        m_previous[pos] = m_head[key];
        m_head[key] = static_cast<int>(pos);
    }

    /// The offset and length of the match for `pos`, length 0 when none.
    std::pair<size_t, size_t> match(size_t pos) const {
        if (pos + 3 > m_chunk.size())
            return {0, 0};
        size_t best = 0;
        size_t bestCandidate = 0;
        const size_t most = m_chunk.size() - pos;
        for (int c = m_head[hash(pos)]; c >= 0 && best < most; c = m_previous[c]) {
            const auto candidate = static_cast<size_t>(c);
            size_t length = 0;
            while (length < most && m_chunk[candidate + length] == m_chunk[pos + length])
                ++length;
            if (length > best) {
                best = length;
                bestCandidate = candidate;
            }
        }
        if (best < 3)
            return {0, 0};
        return {pos - bestCandidate, std::min(best, tokenShape(pos).maxLength)};
    }

private:
    size_t hash(size_t pos) const {
        const auto byte = [&](size_t k) { return size_t{static_cast<unsigned char>(m_chunk[k])}; };
        return (byte(pos) << 7 ^ byte(pos + 1) << 4 ^ byte(pos + 2)) & (kBuckets - 1);
    }

    static constexpr size_t kBuckets = 1 << 15;
    std::string_view m_chunk;
    std::array<int, kBuckets> m_head;
    std::vector<int> m_previous;
};

/// The compressed form of one chunk of text, header included; may be longer
/// than a chunk can hold.
std::string compressTokens(std::string_view chunk) {
    std::string out(2, '\0');
    auto finder = std::make_unique<MatchFinder>(chunk);
    size_t pos = 0;
    while (pos < chunk.size()) {
        const size_t flagAt = out.size();
        out += '\0';
        unsigned flags = 0;
        for (unsigned bit = 0; bit < 8 && pos < chunk.size(); ++bit) {
            const auto [offset, length] = finder->match(pos);
            if (length == 0) {
                out += chunk[pos];
                finder->add(pos++);
                continue;
            }
            const TokenShape shape = tokenShape(pos);
            appendU16(
                out, static_cast<uint16_t>((offset - 1) << (16 - shape.offsetBits) | (length - 3)));
            flags |= 1u << bit;
            for (size_t k = 0; k < length; ++k)
                finder->add(pos++);
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return out;
}

} // namespace

Outcome<std::string> decompress(std::string_view in, size_t limit) {
    if (in.empty() || in[0] != 0x01)
        return fail(Problem::Corrupt, "no compressed container signature");
    std::string out;
    size_t pos = 1;
    while (pos < in.size()) {
        if (in.size() - pos < 2)
            return fail(Problem::Corrupt, "a chunk header is cut short" + at(pos));
        const uint16_t header = readU16(in, pos);
        if ((header & 0x7000) != kSignatureBits)
            return fail(Problem::Corrupt, "a chunk header without its signature" + at(pos));
        const size_t size = size_t{header & 0x0FFFu} + 3;
        if (size > in.size() - pos)
            return fail(Problem::Corrupt, "a chunk is cut short" + at(pos));
        const size_t end = pos + size;
        if ((header & 0x8000) == 0) {
            // A raw chunk holds its 4,096 bytes as they are.
            if (size != kMaxChunkBytes)
                return fail(Problem::Corrupt, "a raw chunk of the wrong size" + at(pos));
            if (kChunk > limit - std::min(limit, out.size()))
                return fail(Problem::TooLarge, "more than " + std::to_string(limit) + " bytes");
            out.append(in.substr(pos + 2, kChunk));
            pos = end;
            continue;
        }
        Outcome<size_t> next = decompressTokens(in, pos + 2, end, out, limit);
        if (!next)
            return next.failure();
        pos = *next;
    }
    return out;
}

Outcome<std::string> compress(std::string_view text) {
    std::string out(1, '\x01');
    for (size_t start = 0; start < text.size(); start += kChunk) {
        const std::string_view chunk = text.substr(start, kChunk);
        std::string compressed = compressTokens(chunk);
        if (compressed.size() <= kMaxChunkBytes) {
            const auto header =
                static_cast<uint16_t>(0x8000 | kSignatureBits | (compressed.size() - 3));
            compressed[0] = static_cast<char>(header & 0xFF);
            compressed[1] = static_cast<char>(header >> 8);
            out += compressed;
            continue;
        }
        if (chunk.size() < kChunk)
            return fail(Problem::Unencodable,
                        "the last " + std::to_string(chunk.size()) +
                            " bytes do not compress, and a raw chunk would pad them");
        appendU16(out, static_cast<uint16_t>(kSignatureBits | (kMaxChunkBytes - 3)));
        out += chunk;
    }
    return out;
}

} // namespace trapline::office
