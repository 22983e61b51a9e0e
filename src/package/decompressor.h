// The package's stream format and its expansion.
//
// A stream is a bit stream (least significant bit first) of items: a literal
// (flag 0, 8-bit value: 9 bits) or a match (flag 1, 8-bit absolute ring
// position P, 4-bit length code N: 13 bits) that copies N + 2 bytes from a
// 256-byte ring holding the most recent output. The ring starts zeroed with
// its write position at 0; a match reads all its bytes before writing any.
//
// Threads: expandStream uses process-wide working storage (about 52 KB of
// static buffers, no allocation), so only one expansion may run at a time.
// Portable: no platform headers.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Called before every block read and once at the end with the stream bytes
// read so far and the stream's total. Returns nonzero to go on, 0 to stop.
// A stream of n reads gives n + 1 calls: (0, total), then after each read the
// bytes read so far, the last with done == total. The first read takes
// min(total, 4098) bytes, each later one 4096 (or all that is left once fewer
// than 4098 remain): a 10000-byte stream gives (0, 10000), (4098, 10000),
// (8194, 10000), (10000, 10000).
typedef int (*ProgressCallback)(int32_t done, int32_t total);

// Expands the stream of compressedSize bytes at startOffset of input into
// output until uncompressedSize bytes were produced. A compressedSize of 0
// makes the whole input, from offset 0, the stream. The output is written in
// pieces of exactly 4096 bytes as they fill and the rest at the end.
// Returns 1, or 0 when a file is missing, uncompressedSize is 0 or a size or
// the offset is negative (in these cases the input is not moved), the input
// is empty or too short for the stream, a read comes back short, the stream
// ends before producing uncompressedSize bytes (also inside its last item),
// the stream holds a whole byte or more after the item that completes
// uncompressedSize (it is longer than its record says; with a compressedSize
// of 0 the input's surplus is allowed), a write fails, or progress asked to
// stop (a stop at the first call leaves
// the output untouched and the input at startOffset). What was written before
// a failure stays written; the caller closes the files (and should check the
// output's fclose, which may still fail).
// On success the input stands at startOffset + compressedSize.
int expandStream(FILE* input, int32_t startOffset, int32_t compressedSize,
                 int32_t uncompressedSize, FILE* output, ProgressCallback progress);
