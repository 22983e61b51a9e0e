// The encoder of the package's stream format: the smallest stream for a file.
//
// A stream is a bit stream (least significant bit first) of items: a literal
// (flag 0, 8-bit value: 9 bits) or a match (flag 1, 8-bit absolute ring
// position P, 4-bit length code N: 13 bits) that copies L = N + 2 bytes (2 to
// 17) out of a 256-byte ring. The ring starts zeroed with its write position
// at 0 and holds output byte k at position k mod 256; a match reads all its
// bytes from the ring as it was before the match, then writes them. The last
// byte is padded with zero bits. There is no header and no end marker: the
// record in front of the stream gives both sizes.
//
// The encoder finds an optimal parse: no stream of the format expanding to the
// same bytes has fewer bits. It considers every ring position as a source,
// including never-written (zero) positions and sources that the match itself
// overwrites.
//
// Threads: any thread, several at once; the functions keep no state. Memory:
// the input and the returned stream are held in memory, plus 2 bytes of
// working storage per input byte and 0.5 MB while a call runs. Results are
// owned by the caller.
// Portable: no platform headers. Throws std::bad_alloc when memory runs out.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Bits of a literal and of a match item.
constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kMatchBits = 13;
constexpr uint32_t kMinMatchLength = 2;
constexpr uint32_t kMaxMatchLength = 17;
constexpr uint32_t kRingSize = 256;

// Returns the smallest stream that expands to the size bytes at data (which
// may be null only when size is 0). An empty input gives an empty stream; a package
// stores an empty file with compressed size 0. The stream's length is
// (bits + 7) / 8 where bits is what optimalStreamBits returns.
std::vector<uint8_t> encodeStream(const uint8_t* data, size_t size);

// The same for a whole buffer.
std::vector<uint8_t> encodeStream(const std::vector<uint8_t>& data);

// The number of item bits (before padding) of the smallest stream for the
// size bytes at data: 0 for an empty input. Runs the parse without building
// the stream.
uint64_t optimalStreamBits(const uint8_t* data, size_t size);
