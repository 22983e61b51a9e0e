#include "package/decompressor.h"

#include <gtest/gtest.h>

#include <utility>

#include "package_bytes.h"

using namespace package_bytes;

namespace {

struct Expanded {
    int result = 0;
    Bytes output;
    long inputPosition = -1;
};

// Expands stream placed at startOffset inside a file with the given bytes
// around it, and returns the result, the output and where the input stands.
Expanded expand(const Bytes& stream, int32_t uncompressedSize, ProgressCallback progress = nullptr,
                size_t before = 0, size_t after = 0) {
    Bytes content(before, 0xEE);
    content.insert(content.end(), stream.begin(), stream.end());
    content.insert(content.end(), after, 0xDD);
    TempFile in("in.bin", content), out("out.bin");
    Expanded expanded;
    FILE* input = fopen(in.path.c_str(), "rb");
    FILE* output = fopen(out.path.c_str(), "wb");
    expanded.result = expandStream(input, (int32_t)before, (int32_t)stream.size(), uncompressedSize,
                                   output, progress);
    expanded.inputPosition = ftell(input);
    fclose(input);
    fclose(output);
    expanded.output = out.read();
    return expanded;
}

std::vector<std::pair<int32_t, int32_t>> progressCalls;
int stopAfterCall = -1;  // the 0-based call that answers 0; -1 never

int recordProgress(int32_t done, int32_t total) {
    progressCalls.emplace_back(done, total);
    return (int)progressCalls.size() - 1 != stopAfterCall;
}

class ExpandStream : public ::testing::Test {
protected:
    void SetUp() override {
        progressCalls.clear();
        stopAfterCall = -1;
    }
};

TEST_F(ExpandStream, WorkedExampleMatchReadsRingBeforeWriting) {
    Expanded e = expand({0xC2, 0x02, 0x08}, 5);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, (Bytes{0x61, 0x61, 0x00, 0x00, 0x00}));
}

TEST_F(ExpandStream, MatchAsFirstItemYieldsZeros) {
    StreamBits bits;
    bits.match(200, 6).literal('x');
    Expanded e = expand(bits.bytes, 7);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, (Bytes{0, 0, 0, 0, 0, 0, 'x'}));
}

TEST_F(ExpandStream, MatchRunningIntoItsOwnOutputYieldsOlderBytes) {
    // 300 literals fill the ring; the match at the write position minus 2
    // reads 2 fresh bytes, then the bytes written 256 and more back.
    StreamBits bits;
    Bytes source;
    for (int i = 0; i < 300; ++i) {
        source.push_back((uint8_t)(i * 7 + 3));
        bits.literal(source.back());
    }
    bits.match((uint8_t)(300 - 2), 17);
    Bytes expected = referenceExpand(bits.bytes, 317);
    Bytes tail(expected.end() - 17, expected.end());
    Bytes wanted = {source[298], source[299]};
    for (int i = 0; i < 15; ++i) wanted.push_back(source[300 - 256 + i]);
    EXPECT_EQ(tail, wanted);
    Expanded e = expand(bits.bytes, 317);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, expected);
}

TEST_F(ExpandStream, FinalMatchIsCutAtUncompressedSize) {
    StreamBits bits;
    bits.literal('a').match(0, 17);
    Expanded e = expand(bits.bytes, 5, nullptr, 10, 20);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, (Bytes{'a', 'a', 0, 0, 0}));
    EXPECT_EQ(e.inputPosition, (long)(10 + bits.bytes.size()));
}

TEST_F(ExpandStream, FileRecordWorkedExample) {
    Expanded e = expand({0xC2, 0x88, 0x05, 0x00}, 4);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, (Bytes{0x61, 0x62, 0x61, 0x62}));
}

TEST_F(ExpandStream, ThousandLiteralsTake1125Bytes) {
    StreamBits bits;
    Bytes data;
    for (int i = 0; i < 1000; ++i) {
        data.push_back((uint8_t)(i * 131 + 17));
        bits.literal(data.back());
    }
    ASSERT_EQ(bits.bytes.size(), 1125u);
    Expanded e = expand(bits.bytes, 1000);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, data);
}

// A stream of exactly length bytes whose items end in its last byte: a mix of
// literals and matches (a few overlapping their own output), seeded.
Bytes streamOfLength(size_t length, uint32_t seed, size_t* produced) {
    // Literals take 9 bits and matches 13: enough matches to leave less than
    // a byte of padding, then 13 literals traded for 9 matches a third of the time.
    uint64_t bitsWanted = length * 8;
    uint64_t matches = 0;
    while (matches * 13 <= bitsWanted && (bitsWanted - matches * 13) % 9 > 7) ++matches;
    EXPECT_LE(matches * 13, bitsWanted) << "no stream has this length";
    uint64_t literals = (bitsWanted - matches * 13) / 9;
    uint64_t swaps = literals / 13 / 3;
    literals -= swaps * 13;
    matches += swaps * 9;
    StreamBits bits;
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&]() { return state = state * 1103515245u + 12345u, state >> 8; };
    while (literals + matches > 0) {
        if (matches > 0 && (literals == 0 || next() % (literals + matches) < matches)) {
            bits.match((uint8_t)next(), 2 + next() % 16);
            --matches;
        } else {
            bits.literal((uint8_t)next());
            --literals;
        }
    }
    EXPECT_EQ(bits.bytes.size(), length);
    *produced = referenceExpand(bits.bytes, SIZE_MAX).size();
    return bits.bytes;
}

TEST_F(ExpandStream, ProgressCallsFollowTheBlocks) {
    struct Case {
        size_t length;
        std::vector<std::pair<int32_t, int32_t>> calls;
    };
    const Case cases[] = {
        {585, {{0, 585}, {585, 585}}},
        {4097, {{0, 4097}, {4097, 4097}}},
        {4098, {{0, 4098}, {4098, 4098}}},
        {4099, {{0, 4099}, {4098, 4099}, {4099, 4099}}},
        {10000, {{0, 10000}, {4098, 10000}, {8194, 10000}, {10000, 10000}}},
        {12290, {{0, 12290}, {4098, 12290}, {8194, 12290}, {12290, 12290}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        progressCalls.clear();
        size_t produced;
        Bytes stream = streamOfLength(c.length, (uint32_t)c.length, &produced);
        Expanded e = expand(stream, (int32_t)produced, recordProgress, 3, 5);
        EXPECT_EQ(e.result, 1);
        EXPECT_EQ(e.output, referenceExpand(stream, produced));
        EXPECT_EQ(progressCalls, c.calls);
        EXPECT_EQ(e.inputPosition, (long)(3 + c.length));
    }
}

TEST_F(ExpandStream, StopOnFirstCallLeavesOutputEmptyAndInputAtStart) {
    size_t produced;
    Bytes stream = streamOfLength(5000, 1, &produced);
    stopAfterCall = 0;
    Expanded e = expand(stream, (int32_t)produced, recordProgress, 40);
    EXPECT_EQ(e.result, 0);
    EXPECT_TRUE(e.output.empty());
    EXPECT_EQ(e.inputPosition, 40);
}

// The output goes out in whole 4096-byte pieces as they fill; an item that
// reaches the uncompressed size writes no piece of its own, so a stop at the
// last call shows exactly which pieces were written.
TEST_F(ExpandStream, OutputGoesOutInWholePieces) {
    StreamBits literalsOnly;
    for (int i = 0; i < 4100; ++i) literalsOnly.literal((uint8_t)i);
    stopAfterCall = 2;
    Expanded e = expand(literalsOnly.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.output.size(), 4096u);

    StreamBits matchCompletes;
    for (int i = 0; i < 4090; ++i) matchCompletes.literal((uint8_t)i);
    matchCompletes.match(0, 17);
    progressCalls.clear();
    stopAfterCall = 2;
    e = expand(matchCompletes.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(progressCalls.size(), 3u);
    EXPECT_TRUE(e.output.empty());

    progressCalls.clear();
    stopAfterCall = -1;
    e = expand(matchCompletes.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, referenceExpand(matchCompletes.bytes, 4100));
}

TEST_F(ExpandStream, UncompressedSizeZeroFailsWithoutMovingInput) {
    TempFile in("in.bin", Bytes(64, 0x55)), out("out.bin");
    FILE* input = fopen(in.path.c_str(), "rb");
    FILE* output = fopen(out.path.c_str(), "wb");
    fseek(input, 7, SEEK_SET);
    EXPECT_EQ(expandStream(input, 10, 20, 0, output, nullptr), 0);
    EXPECT_EQ(ftell(input), 7);
    EXPECT_EQ(expandStream(input, 10, 20, -5, output, nullptr), 0);
    EXPECT_EQ(expandStream(input, -1, 20, 5, output, nullptr), 0);
    EXPECT_EQ(expandStream(input, 10, -20, 5, output, nullptr), 0);
    EXPECT_EQ(expandStream(nullptr, 10, 20, 5, output, nullptr), 0);
    EXPECT_EQ(expandStream(input, 10, 20, 5, nullptr, nullptr), 0);
    fclose(input);
    fclose(output);
}

TEST_F(ExpandStream, RefusesStreamsThatDoNotFitOrEndEarly) {
    StreamBits bits;
    bits.literal('a').literal('b');
    TempFile in("in.bin", bits.bytes), empty("empty.bin", {}), out("out.bin");
    FILE* input = fopen(in.path.c_str(), "rb");
    FILE* output = fopen(out.path.c_str(), "wb");
    EXPECT_EQ(expandStream(input, 0, 4, 2, output, nullptr), 0);           // beyond the input
    EXPECT_EQ(expandStream(input, 2, 2, 2, output, nullptr), 0);           // ditto
    EXPECT_EQ(expandStream(input, 0x7FFFFFFF, 0x7FFFFFFF, 2, output, nullptr), 0);
    EXPECT_EQ(expandStream(input, 0, 3, 3, output, nullptr), 0);           // 2 bytes for 3
    FILE* nothing = fopen(empty.path.c_str(), "rb");
    EXPECT_EQ(expandStream(nothing, 0, 0, 1, output, nullptr), 0);         // empty input
    fclose(nothing);
    fclose(input);
    fclose(output);

    // The stream's bytes run out inside its last item.
    Bytes cut = {0xC2, 0x02};
    EXPECT_EQ(expand(cut, 5).result, 0);
    // Items that produce fewer bytes than the record says.
    size_t produced;
    Bytes longer = streamOfLength(9000, 4, &produced);
    EXPECT_EQ(expand(longer, (int32_t)produced + 1).result, 0);
    EXPECT_EQ(expand(longer, (int32_t)produced).result, 1);
    // Items left over once the record's size is produced, in the first block
    // and far beyond it; a final match cut at the size is not a surplus.
    StreamBits two;
    two.literal('a').literal('b');
    EXPECT_EQ(expand(two.bytes, 1).result, 0);
    EXPECT_EQ(expand(longer, 100).result, 0);
    StreamBits overshoot;
    overshoot.literal('a').match(0, 17).literal('z');
    EXPECT_EQ(expand(overshoot.bytes, 5).result, 0);
}

TEST_F(ExpandStream, CompressedSizeZeroTakesWholeInput) {
    StreamBits bits;
    bits.literal('q').match(0, 3);
    TempFile in("in.bin", bits.bytes), out("out.bin");
    FILE* input = fopen(in.path.c_str(), "rb");
    FILE* output = fopen(out.path.c_str(), "wb");
    fseek(input, 1, SEEK_SET);
    progressCalls.clear();
    EXPECT_EQ(expandStream(input, 1, 0, 4, output, recordProgress), 1);
    fclose(input);
    fclose(output);
    EXPECT_EQ(out.read(), (Bytes{'q', 'q', 0, 0}));
    int32_t total = (int32_t)bits.bytes.size();
    EXPECT_EQ(progressCalls, (std::vector<std::pair<int32_t, int32_t>>{{0, total}, {total, total}}));
}

TEST_F(ExpandStream, WriteFailureIsReported) {
    StreamBits bits;
    for (int i = 0; i < 5000; ++i) bits.literal((uint8_t)i);
    TempFile in("in.bin", bits.bytes), out("out.bin", {1, 2, 3});
    FILE* input = fopen(in.path.c_str(), "rb");
    FILE* readOnly = fopen(out.path.c_str(), "rb");
    EXPECT_EQ(expandStream(input, 0, (int32_t)bits.bytes.size(), 5000, readOnly, nullptr), 0);
    fclose(input);
    fclose(readOnly);
}

// Random item streams of many lengths against the plain model: literals,
// matches anywhere in the ring (never-written positions, overlaps with the
// match's own output, wrap past position 255), blocks and pieces of output.
TEST_F(ExpandStream, AgreesWithModelOnRandomStreams) {
    const size_t lengths[] = {2, 3, 7, 8, 9, 100, 4095, 4096, 4097, 4098, 4099, 4100,
                              8193, 8194, 8195, 8196, 12289, 20000, 65537};
    uint32_t seed = 10;
    for (size_t length : lengths) {
        for (int round = 0; round < 3; ++round, ++seed) {
            SCOPED_TRACE(testing::Message() << "length " << length << " seed " << seed);
            size_t produced;
            Bytes stream = streamOfLength(length, seed, &produced);
            if (produced == 0) continue;
            Expanded e = expand(stream, (int32_t)produced, nullptr, seed % 5, 9);
            ASSERT_EQ(e.result, 1);
            ASSERT_EQ(e.output, referenceExpand(stream, produced));
            EXPECT_EQ(e.inputPosition, (long)(seed % 5 + length));
            // A record that claims fewer bytes: refused when whole bytes of
            // the stream are left over, as the stream is longer than it says.
            uint64_t bitsUsed = 0;
            const Bytes half = referenceExpand(stream, produced / 2 + 1, &bitsUsed);
            Expanded cut = expand(stream, (int32_t)(produced / 2 + 1));
            ASSERT_EQ(cut.result, (bitsUsed + 7) / 8 == stream.size() ? 1 : 0);
            if (cut.result) {
                ASSERT_EQ(cut.output, half);
            }
        }
    }
}

}  // namespace
