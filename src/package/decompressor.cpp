#include "package/decompressor.h"

#include <stddef.h>
#include <string.h>
#include <sys/stat.h>

// Block sizes of the stream's reading and the output's writing. The reads and
// the progress calls that come with them are part of the installer's visible
// behaviour (the progress bar moves once per block), so they follow these
// sizes exactly, however the items are decoded.
enum : uint32_t {
    kBlock = 4096,
    kCarry = 2,                                // bytes carried into the next window
    kFirstRead = kBlock + kCarry,              // 4098
    kWindowCapacity = kCarry + kBlock + 1,     // a final read takes up to 4097 bytes
    kLoadPadding = 8,                          // 64-bit loads may look past the last byte
    kRingSize = 256,
    kMaxMatch = 17,
    kLiteralBits = 9,
    kMatchBits = 13,
    // An item that begins before a window's limit ends at most 12 bits past it,
    // so one window yields at most this many items and bytes.
    kMaxWindowItems = kWindowCapacity * 8 / kMatchBits + 2,
    kMaxWindowOutput = kMaxWindowItems * kMaxMatch,
    kCopySlack = 32,                           // an item always stores 32 bytes
    kOutputCapacity = kRingSize + (kBlock - 1) + kMaxWindowOutput + kCopySlack,
};

// Process-wide working storage: one expansion at a time, no allocation.
// The output buffer doubles as the ring: the 256 bytes in front of the next
// output byte are the ring's contents, at linear rather than absolute
// positions, and the 256 zero bytes at the buffer's start stand for positions
// never written.
static unsigned char window[kWindowCapacity + kLoadPadding];
static unsigned char outputBuffer[kOutputCapacity];

static unsigned char* const outputStart = outputBuffer + kRingSize;

struct Expansion {
    unsigned char* next;         // next output byte; bytes from outputStart are pending
    unsigned char* stop;         // the uncompressed size is reached here, if in reach
    unsigned char* lastItem;     // where the item that reached the size began
    uint32_t remaining;          // output bytes still to produce after next
    uint32_t cursor;             // bit position in the window
    int finished;                // the uncompressed size has been produced
};

static inline uint64_t loadBits(uint32_t cursor) {
    const unsigned char* p = window + (cursor >> 3);
    uint64_t bits = (uint64_t)p[0] | (uint64_t)p[1] << 8 | (uint64_t)p[2] << 16 |
                    (uint64_t)p[3] << 24 | (uint64_t)p[4] << 32 | (uint64_t)p[5] << 40 |
                    (uint64_t)p[6] << 48 | (uint64_t)p[7] << 56;
    return bits >> (cursor & 7);
}

static inline void copy16(unsigned char* to, const unsigned char* from) { memcpy(to, from, 16); }

// Decodes the item whose bits start at bit 0 of bits and writes its bytes at
// out; returns the position behind them. Every item takes the same path, so
// that the flag bit, which text makes unpredictable, needs no branch:
//  - a match of length L from distance d (1..256) behind out takes 16 bytes
//    from out - d, and 16 more at out + min(d, 16): from where the first
//    ones left off, or, when d < L, from out - 256. A match reads the ring
//    before writing, so past its own write position it yields the bytes
//    written 256 before, not those it has just produced.
//  - a literal is copied as a match from 256 back (long since stored, so the
//    load never waits on a recent store) with its value stored over byte 0.
// Both loads come before both stores; bytes stored beyond the item are
// overwritten by the items that follow.
static inline unsigned char* expandItem(uint64_t bits, unsigned char* out) {
    // Masks rather than conditions: the compiler turns conditions into branches.
    uint32_t matchMask = 0u - ((uint32_t)bits & 1);  // all ones for a match
    uint32_t value = (uint32_t)(bits >> 1) & 0xFF;
    uint32_t length = 1 + ((((uint32_t)(bits >> 9) & 0xF) + 1) & matchMask);
    uint32_t ringDistance = (((uint32_t)(out - outputStart) - value - 1) & 0xFF) + 1;
    uint32_t distance = kRingSize - ((kRingSize - ringDistance) & matchMask);
    uint32_t split = distance < 16 ? distance : 16;
    const unsigned char* from = out - distance;
    const unsigned char* rest = distance < length ? out - kRingSize : from + split;
    unsigned char head[16], tail[16];
    copy16(head, from);
    copy16(tail, rest);
    // The first byte goes in by a byte store after the copies: changing it
    // inside head would send head through memory and stall the reload.
    unsigned char first = (unsigned char)((from[0] & matchMask) | (value & ~matchMask));
    copy16(out, head);
    copy16(out + split, tail);
    out[0] = first;
    return out + length;
}

// Decodes the items that begin before limitBits. Returns 1, or 0 when an item
// reaches past validBits (the stream ends inside it).
//
// Long on purpose: this loop is where expansion spends its time. The first
// loop decodes four items per load of the bit buffer without any per-item
// test: its condition proves that all four begin before the limit, end inside
// the window and cannot reach the uncompressed size. The second loop takes
// the window's last items one at a time with every test.
static int decodeWindow(Expansion* e, uint32_t limitBits, uint32_t validBits) {
    unsigned char* out = e->next;
    unsigned char* const stop = e->stop;
    uint32_t cursor = e->cursor;
    while (cursor + 4 * kMatchBits <= limitBits && stop - out > (ptrdiff_t)(4 * kMaxMatch)) {
        uint64_t bits = loadBits(cursor);
        uint32_t size = kLiteralBits + 4 * ((uint32_t)bits & 1);
        out = expandItem(bits, out);
        bits >>= size;
        cursor += size;
        size = kLiteralBits + 4 * ((uint32_t)bits & 1);
        out = expandItem(bits, out);
        bits >>= size;
        cursor += size;
        size = kLiteralBits + 4 * ((uint32_t)bits & 1);
        out = expandItem(bits, out);
        bits >>= size;
        cursor += size;
        size = kLiteralBits + 4 * ((uint32_t)bits & 1);
        out = expandItem(bits, out);
        cursor += size;
    }
    while (cursor < limitBits) {
        uint64_t bits = loadBits(cursor);
        uint32_t size = kLiteralBits + 4 * ((uint32_t)bits & 1);
        if (cursor + size > validBits) return 0;
        unsigned char* itemStart = out;
        out = expandItem(bits, out);
        cursor += size;
        if (out >= stop) {
            e->lastItem = itemStart;
            e->finished = 1;
            out = stop;
            break;
        }
    }
    e->remaining -= (uint32_t)(out - e->next);
    e->next = out;
    e->cursor = e->finished ? cursor : cursor - limitBits;
    return 1;
}

// Aims stop at the uncompressed size when a window could reach it; the
// buffer always has room for a whole window's output beyond that.
static void aimStop(Expansion* e) {
    uint32_t room = (uint32_t)(outputBuffer + kOutputCapacity - kCopySlack - e->next);
    e->stop = e->next + (e->remaining < room ? e->remaining : room);
}

// Writes every whole 4096-byte piece that the one-item-at-a-time procedure
// would have written by now, and keeps the ring's 256 bytes in front of the
// rest. An item that reaches the uncompressed size writes no piece itself:
// what it completes goes out with the remainder at the end.
static int writePieces(Expansion* e, FILE* output) {
    unsigned char* covered = e->finished ? e->lastItem : e->next;
    uint32_t pieces = (uint32_t)(covered - outputStart) / kBlock;
    if (pieces == 0) return 1;
    for (uint32_t i = 0; i < pieces; ++i)
        if (fwrite(outputStart + i * kBlock, 1, kBlock, output) != kBlock) return 0;
    unsigned char* kept = outputStart + pieces * kBlock - kRingSize;
    size_t keptBytes = (size_t)(e->next - kept);
    memmove(outputBuffer, kept, keptBytes);
    e->next -= pieces * kBlock;
    return 1;
}

// The input's length as the system knows it, without moving the input (a
// seek would throw a buffered input's buffer away, and every record would
// read it again); -1 for an input without a descriptor, a memory stream say.
static long systemLength(FILE* input) {
    struct stat status;
    int descriptor = fileno(input);
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size >= 0 && (uint64_t)status.st_size <= 0x7FFFFFFFull) {
        return (long)status.st_size;
    }
    return -1;
}

// Puts the input at the stream and gives its start and total. A compressed
// size of 0 makes the whole input the stream. An input that already stands
// at the stream is not sought.
static int locateStream(FILE* input, int32_t startOffset, int32_t compressedSize,
                        long* streamStart, int32_t* total) {
    long here = ftell(input);
    long length = systemLength(input);
    if (length < 0) {  // measured by a seek to the end, which leaves the input there
        here = -1;
        length = fseek(input, 0, SEEK_END) == 0 ? ftell(input) : -1;
    }
    if (length <= 0) return 0;
    if (compressedSize != 0) {
        if ((int64_t)length - startOffset - compressedSize < 0) return 0;
        *streamStart = startOffset;
        *total = compressedSize;
    } else {
        if ((uint64_t)length > 0x7FFFFFFFull) return 0;
        *streamStart = 0;
        *total = (int32_t)length;
    }
    return here == *streamStart || fseek(input, *streamStart, SEEK_SET) == 0;
}

// Reads the next block into the window; the first takes up to 4098 bytes,
// every later one 4096 behind the 2 carried bytes, or all that is left when
// fewer than 4098 bytes remain. Gives the window's limit and valid bits.
static int readBlock(FILE* input, int32_t consumed, int32_t total, uint32_t* got,
                     uint32_t* limitBits, uint32_t* validBits) {
    uint32_t left = (uint32_t)(total - consumed);
    uint32_t carried = 0;
    uint32_t wanted = left < kFirstRead ? left : kFirstRead;
    if (consumed != 0) {
        window[0] = window[kBlock];
        window[1] = window[kBlock + 1];
        carried = kCarry;
        wanted = left >= kFirstRead ? kBlock : left;
    }
    if (fread(window + carried, 1, wanted, input) != wanted) return 0;
    uint32_t valid = carried + wanted;
    *got = wanted;
    *validBits = valid * 8;
    *limitBits = (wanted == left ? valid : valid - kCarry) * 8;
    return 1;
}

// The last pass: the stream must have produced its whole size, and its last
// item must end in its last byte; the rest of the output goes out, and the
// input is left where the next record begins. unused is the count of whole
// stream bytes behind the last item.
static int finishExpansion(Expansion* e, FILE* input, FILE* output, long streamEnd,
                           int readToEnd, int32_t unused) {
    if (!e->finished || unused > 0) return 0;
    size_t rest = (size_t)(e->next - outputStart);
    if (rest != 0 && fwrite(outputStart, 1, rest, output) != rest) return 0;
    return readToEnd || fseek(input, streamEnd, SEEK_SET) == 0;
}

int expandStream(FILE* input, int32_t startOffset, int32_t compressedSize,
                 int32_t uncompressedSize, FILE* output, ProgressCallback progress) {
    if (!input || !output || uncompressedSize <= 0 || startOffset < 0 || compressedSize < 0)
        return 0;
    long streamStart;
    int32_t total;
    if (!locateStream(input, startOffset, compressedSize, &streamStart, &total)) return 0;
    memset(outputBuffer, 0, kRingSize);
    Expansion e = {outputStart, outputStart, outputStart, (uint32_t)uncompressedSize, 0, 0};
    int32_t consumed = 0;   // what progress is told: the whole stream once finished
    int32_t bytesRead = 0;
    int32_t windowStart = 0;  // the stream offset of the window's first byte
    for (;;) {
        if (progress && !progress(consumed, total)) return 0;
        if (e.finished || consumed == total) {
            // A record that names the stream's size must be matched to the
            // byte: a longer stream holds more than the record says.
            int32_t used = windowStart + (int32_t)((e.cursor + 7) / 8);
            int32_t unused = compressedSize != 0 && e.finished ? total - used : 0;
            return finishExpansion(&e, input, output, streamStart + total, bytesRead == total, unused);
        }
        uint32_t got, limitBits, validBits;
        if (!readBlock(input, bytesRead, total, &got, &limitBits, &validBits)) return 0;
        bytesRead += (int32_t)got;
        windowStart = bytesRead - (int32_t)(validBits / 8);
        consumed = bytesRead;
        aimStop(&e);
        if (!decodeWindow(&e, limitBits, validBits) || !writePieces(&e, output)) return 0;
        if (e.finished) consumed = total;
    }
}
