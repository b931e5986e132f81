#include "compression.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

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
    // The fewest bits, at least 4, that count to `difference`.
    const unsigned bits =
        difference <= 16 ? 4 : static_cast<unsigned>(std::bit_width(difference - 1));
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

/// Decompresses the tokens of one compressed chunk, [pos, end) of `in`,
/// onto `out`. The chunk's text is built in a buffer of its 4,096 bytes and
/// appended whole: a byte at a time into a growing string costs several
/// times the decoding itself.
Outcome<size_t> decompressTokens(std::string_view in, size_t pos, size_t end, std::string& out,
                                 size_t limit) {
    std::array<char, kChunk> text;
    size_t size = 0; // bytes of the chunk decompressed so far
    const size_t room = limit - std::min(limit, out.size());
    while (pos < end) {
        const auto flags = static_cast<unsigned char>(in[pos++]);
        for (unsigned bit = 0; bit < 8 && pos < end; ++bit) {
            if ((flags >> bit & 1) == 0) {
                if (size >= kChunk)
                    return fail(Problem::Corrupt, "a chunk grows past 4096 bytes" + at(pos));
                if (size >= room)
                    return fail(Problem::TooLarge, "more than " + std::to_string(limit) + " bytes");
                text[size++] = in[pos++];
                continue;
            }
            if (end - pos < 2)
                return fail(Problem::Corrupt, "a copy token is cut short" + at(pos));
            const uint16_t token = readU16(in, pos);
            const TokenShape shape = tokenShape(size);
            const size_t length = static_cast<size_t>(token & shape.lengthMask) + 3;
            const size_t offset = (size_t{token} >> (16 - shape.offsetBits)) + 1;
            if (offset > size)
                return fail(Problem::Corrupt, "a copy token reaches before its chunk" + at(pos));
            if (size + length > kChunk)
                return fail(Problem::Corrupt, "a chunk grows past 4096 bytes" + at(pos));
            if (length > room - std::min(room, size))
                return fail(Problem::TooLarge, "more than " + std::to_string(limit) + " bytes");
            if (offset >= length) {
                std::memcpy(text.data() + size, text.data() + size - offset, length);
            } else {
                // The copy overlaps the bytes it produces: a run.
                for (size_t k = 0; k < length; ++k)
                    text[size + k] = text[size + k - offset];
            }
            size += length;
            pos += 2;
        }
    }
    out.append(text.data(), size);
    return pos;
}

/// How many leading bytes `a` and `b` share, at most `most`; eight at a
/// time where that many are left.
size_t commonLength(const char* a, const char* b, size_t most) {
    size_t n = 0;
    for (; n + 8 <= most; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            const uint64_t differ = x ^ y;
            if constexpr (std::endian::native == std::endian::little)
                return n + static_cast<size_t>(std::countr_zero(differ)) / 8;
            else
                return n + static_cast<size_t>(std::countl_zero(differ)) / 8;
        }
    }
    while (n < most && a[n] == b[n])
        ++n;
    return n;
}

/// Finds matches within one chunk as MS-OVBA 2.4.1.3.19.4 does (every
/// earlier position, the longest match, the nearest of equal ones), through
/// chains of earlier positions whose first three bytes hash alike: only
/// those can give the three bytes a copy token needs, so the length found is
/// the same. A candidate is measured only when it can beat the best so far,
/// and the search stops at the longest length a token can hold there.
class MatchFinder {
public:
    /// Starts on a new chunk, forgetting every position of the last.
    void reset(std::string_view chunk) {
        m_chunk = chunk;
        m_head.fill(kNone);
    }

    /// Records position `pos` as a candidate for later positions.
    void add(size_t pos) {
        if (pos + 3 > m_chunk.size())
            return;
        const size_t key = hash(pos);
        m_previous[pos] = m_head[key];
        m_head[key] = static_cast<uint16_t>(pos);
    }

    /// The offset and length of the match for `pos`, length 0 when none.
    std::pair<size_t, size_t> match(size_t pos) const {
        if (pos + 3 > m_chunk.size())
            return {0, 0};
        const size_t most = std::min(m_chunk.size() - pos, tokenShape(pos).maxLength);
        const char* here = m_chunk.data() + pos;
        size_t best = 2; // a copy token needs three bytes
        size_t bestCandidate = 0;
        for (uint16_t c = m_head[hash(pos)]; c != kNone && best < most; c = m_previous[c]) {
            const char* there = m_chunk.data() + c;
            if (there[best] != here[best])
                continue;
            const size_t length = commonLength(there, here, most);
            if (length > best) {
                best = length;
                bestCandidate = c;
            }
        }
        if (best < 3)
            return {0, 0};
        return {pos - bestCandidate, best};
    }

private:
    size_t hash(size_t pos) const {
        const auto byte = [&](size_t k) {
            return uint32_t{static_cast<unsigned char>(m_chunk[k])};
        };
        const uint32_t key = byte(pos) << 16 | byte(pos + 1) << 8 | byte(pos + 2);
        return (key * 2654435761u) >> (32 - kBucketBits);
    }

    static constexpr unsigned kBucketBits = 13;
    static constexpr uint16_t kNone = 0xFFFF; // no position: a chunk has 4,096
    std::string_view m_chunk;
    std::array<uint16_t, size_t{1} << kBucketBits> m_head;
    std::array<uint16_t, kChunk> m_previous;
};

/// The most bytes a chunk's tokens can take: every byte a literal, and a
/// flag byte for every eight.
constexpr size_t kMaxTokenBytes = kChunk + kChunk / 8;

/// Compresses one chunk of text into `out`, header left blank; returns the
/// bytes used, which may be more than a chunk can hold.
size_t compressTokens(std::string_view chunk, MatchFinder& finder,
                      std::array<char, 2 + kMaxTokenBytes>& out) {
    finder.reset(chunk);
    size_t used = 2;
    size_t pos = 0;
    while (pos < chunk.size()) {
        const size_t flagAt = used++;
        unsigned flags = 0;
        for (unsigned bit = 0; bit < 8 && pos < chunk.size(); ++bit) {
            const auto [offset, length] = finder.match(pos);
            if (length == 0) {
                out[used++] = chunk[pos];
                finder.add(pos++);
                continue;
            }
            const TokenShape shape = tokenShape(pos);
            const auto token =
                static_cast<uint16_t>((offset - 1) << (16 - shape.offsetBits) | (length - 3));
            out[used++] = static_cast<char>(token & 0xFF);
            out[used++] = static_cast<char>(token >> 8);
            flags |= 1u << bit;
            for (size_t k = 0; k < length; ++k)
                finder.add(pos++);
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return used;
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
    out.reserve(1 + text.size() / 2);
    auto finder = std::make_unique<MatchFinder>();
    auto buffer = std::make_unique<std::array<char, 2 + kMaxTokenBytes>>();
    for (size_t start = 0; start < text.size(); start += kChunk) {
        const std::string_view chunk = text.substr(start, kChunk);
        const size_t used = compressTokens(chunk, *finder, *buffer);
        if (used <= kMaxChunkBytes) {
            const auto header = static_cast<uint16_t>(0x8000 | kSignatureBits | (used - 3));
            (*buffer)[0] = static_cast<char>(header & 0xFF);
            (*buffer)[1] = static_cast<char>(header >> 8);
            out.append(buffer->data(), used);
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
