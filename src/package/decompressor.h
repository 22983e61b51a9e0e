// The package's stream format and its expansion.
//
// A stream is a bit stream (least significant bit first) of items: a literal
// (flag 0, 8-bit value: 9 bits) or a match (flag 1, 8-bit absolute ring
// position P, 4-bit length code N: 13 bits) that copies N + 2 bytes from a
// 256-byte ring holding the most recent output. The ring starts zeroed with
// its write position at 0; a match reads all its bytes before writing any.
//
// Threads: expandStream uses process-wide working storage, so only one
// expansion may run at a time. Portable: no platform headers.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Called before every block read and once at the end with the stream bytes
// read so far and the stream's total. Returns nonzero to go on, 0 to stop.
typedef int (*ProgressCallback)(int32_t done, int32_t total);

// Expands the stream of compressedSize bytes at startOffset of input into
// output until uncompressedSize bytes were produced. Returns 1, or 0 when a
// file is missing, uncompressedSize is 0 (the input is not moved), the input
// is empty or too short for the stream, a read comes back short, the stream
// ends before producing uncompressedSize bytes, or progress asked to stop.
// On success the input stands at startOffset + compressedSize.
int expandStream(FILE* input, int32_t startOffset, int32_t compressedSize,
                 int32_t uncompressedSize, FILE* output, ProgressCallback progress);
