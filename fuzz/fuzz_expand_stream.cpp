// Stream expansion with untrusted sizes and bytes.
// Input: u32 whose low 20 bits are the expected size and whose top bit asks
// for a compressedSize of 0 (the whole input is the stream), then the stream.
#include "fuzz_support.h"
#include "package/decompressor.h"

static int32_t lastDone;
static int32_t streamTotal;

// The promises the progress calls make: they start at 0, never go back and
// never pass the stream's total.
static int checkProgress(int32_t done, int32_t total) {
    if (total != streamTotal || done < lastDone || done > total) __builtin_trap();
    lastDone = done;
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = fopen("/dev/null", "wb");
    if (!sink) __builtin_trap();
    uint32_t control = takeU32(&data, &size);
    int32_t expected = (int32_t)(control & 0xFFFFF);
    int wholeInput = (control >> 31) != 0;
    FILE* input = openMemoryFile(data, size);
    int32_t compressed = wholeInput ? 0 : (int32_t)size;
    lastDone = 0;
    streamTotal = (int32_t)size;
    int ok = expandStream(input, 0, compressed, expected, sink, checkProgress);
    if (ok && ftell(input) != (long)size) __builtin_trap();
    fclose(input);
    return 0;
}
