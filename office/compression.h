#pragma once

// The run-length compression of MS-OVBA 2.4.1 that VBA projects store their
// `dir` stream and module sources in: a signature byte, then chunks that each
// hold up to 4,096 bytes of text as literals and copy tokens.

#include "outcome.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace trapline::office {

/// Decompresses one compressed container. Fails (Corrupt) on a missing
/// signature, a chunk header or token cut short, a copy token reaching
/// before its chunk, or a chunk that grows past 4,096 bytes; fails
/// (TooLarge) as soon as the text would pass `limit` bytes, so hostile input
/// never costs more memory than the caller allows.
///
///     decompress("\x01\x03\xB0\x02\x61\x45\x00", 1 << 20) // 73 times 'a'
Outcome<std::string> decompress(std::string_view container, size_t limit);

/// Compresses `text` as MS-OVBA 2.4.1.3 does: the longest match in the
/// chunk's earlier bytes (the nearest of equal ones) becomes a copy token,
/// and a chunk is stored raw only when its compressed form would not fit.
/// Fails (Unencodable) for a last chunk that would have to be stored raw:
/// a raw chunk always holds 4,096 bytes, so a shorter one would gain bytes.
Outcome<std::string> compress(std::string_view text);

} // namespace trapline::office
