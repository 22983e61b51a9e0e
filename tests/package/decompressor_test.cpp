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
    OpenFile in(content), out({}, "wb");
    Expanded expanded;
    expanded.result = expandStream(in.file, (int32_t)before, (int32_t)stream.size(), uncompressedSize,
                                   out.file, progress);
    expanded.inputPosition = ftell(in.file);
    fflush(out.file);
    expanded.output = out.temp.read();
    return expanded;
}

using Calls = std::vector<std::pair<int32_t, int32_t>>;
Calls progressCalls;
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

// Small streams and their exact output; the input is left behind the stream.
TEST_F(ExpandStream, WorkedStreams) {
    StreamBits firstMatch, cutMatch;
    firstMatch.match(200, 6).literal('x');
    cutMatch.literal('a').match(0, 17);
    const struct { const char* what; Bytes stream; int32_t size; Bytes output; } cases[] = {
        // A literal 'a', then a match of 4 from ring position 0: it reads the
        // ring ('a' and three never-written zeros) before it writes.
        {"worked example", {0xC2, 0x02, 0x08}, 5, {0x61, 0x61, 0x00, 0x00, 0x00}},
        {"match as first item", firstMatch.bytes, 7, {0, 0, 0, 0, 0, 0, 'x'}},
        {"final match cut at the size", cutMatch.bytes, 5, {'a', 'a', 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Expanded e = expand(c.stream, c.size, nullptr, 10, 20);
        EXPECT_EQ(e.result, 1);
        EXPECT_EQ(e.output, c.output);
        EXPECT_EQ(e.inputPosition, (long)(10 + c.stream.size()));
    }
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
    Bytes wanted = source;
    wanted.insert(wanted.end(), {source[298], source[299]});
    wanted.insert(wanted.end(), source.begin() + 44, source.begin() + 44 + 15);
    EXPECT_EQ(referenceExpand(bits.bytes, 317), wanted);
    Expanded e = expand(bits.bytes, 317);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, wanted);
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

// The progress bar moves once per block read: 4098 bytes first, 4096 after.
TEST_F(ExpandStream, ProgressCallsFollowTheBlocks) {
    const struct { size_t length; Calls calls; } cases[] = {
        {585, {{0, 585}, {585, 585}}},
        {4097, {{0, 4097}, {4097, 4097}}},
        {4098, {{0, 4098}, {4098, 4098}}},
        {4099, {{0, 4099}, {4098, 4099}, {4099, 4099}}},
        {10000, {{0, 10000}, {4098, 10000}, {8194, 10000}, {10000, 10000}}},
        {12290, {{0, 12290}, {4098, 12290}, {8194, 12290}, {12290, 12290}}},
    };
    for (const auto& c : cases) {
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

// The output goes out in whole 4096-byte pieces as they fill; an item that
// reaches the uncompressed size writes no piece of its own, so a stop at a
// call shows exactly which pieces were written.
TEST_F(ExpandStream, StopAtAProgressCallShowsTheWholePiecesWritten) {
    size_t produced;
    Bytes stream = streamOfLength(5000, 1, &produced);
    stopAfterCall = 0;
    Expanded e = expand(stream, (int32_t)produced, recordProgress, 40);
    EXPECT_EQ(e.result, 0);
    EXPECT_TRUE(e.output.empty());
    EXPECT_EQ(e.inputPosition, 40);  // the first call comes before any read

    StreamBits literalsOnly, matchCompletes;
    for (int i = 0; i < 4100; ++i) literalsOnly.literal((uint8_t)i);
    for (int i = 0; i < 4090; ++i) matchCompletes.literal((uint8_t)i);
    matchCompletes.match(0, 17);
    progressCalls.clear();
    stopAfterCall = 2;
    e = expand(literalsOnly.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.output.size(), 4096u);
    progressCalls.clear();
    e = expand(matchCompletes.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(progressCalls.size(), 3u);
    EXPECT_TRUE(e.output.empty());
    stopAfterCall = -1;
    e = expand(matchCompletes.bytes, 4100, recordProgress);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.output, referenceExpand(matchCompletes.bytes, 4100));
}

TEST_F(ExpandStream, RefusesArgumentsInputsAndOutputsThatCannotServe) {
    StreamBits two, many;
    two.literal('a').literal('b');
    for (int i = 0; i < 5000; ++i) many.literal((uint8_t)i);
    OpenFile padding(Bytes(64, 0x55)), twoFile(two.bytes), manyFile(many.bytes), empty({}),
        out({}, "wb"), readOnly({1, 2, 3});
    fseek(padding.file, 7, SEEK_SET);
    EXPECT_EQ(expandStream(padding.file, 10, 20, 0, out.file, nullptr), 0);
    EXPECT_EQ(ftell(padding.file), 7);  // refused before the input moved
    const struct { FILE* input; int32_t start, compressed, uncompressed; FILE* output; } cases[] = {
        {padding.file, 10, 20, -5, out.file},
        {padding.file, -1, 20, 5, out.file},
        {padding.file, 10, -20, 5, out.file},
        {nullptr, 10, 20, 5, out.file},
        {padding.file, 10, 20, 5, nullptr},
        {twoFile.file, 0, 4, 2, out.file},  // beyond the input
        {twoFile.file, 2, 2, 2, out.file},  // ditto
        {twoFile.file, 0x7FFFFFFF, 0x7FFFFFFF, 2, out.file},
        {twoFile.file, 0, 3, 3, out.file},  // 2 bytes for 3
        {empty.file, 0, 0, 1, out.file},
        {manyFile.file, 0, (int32_t)many.bytes.size(), 5000, readOnly.file},  // cannot write
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(expandStream(c.input, c.start, c.compressed, c.uncompressed, c.output, nullptr), 0)
            << "case " << i;
    }
}

// A record's sizes must match the stream to the byte and the item.
TEST_F(ExpandStream, RefusesStreamsThatEndEarlyOrRunOn) {
    EXPECT_EQ(expand({0xC2, 0x02}, 5).result, 0);  // the bytes run out inside the last item
    size_t produced;
    Bytes longer = streamOfLength(9000, 4, &produced);
    EXPECT_EQ(expand(longer, (int32_t)produced + 1).result, 0);  // fewer bytes than the record says
    EXPECT_EQ(expand(longer, (int32_t)produced).result, 1);
    // Items left over once the record's size is produced, in the first block
    // and far beyond it; a final match cut at the size is not a surplus.
    StreamBits two, overshoot;
    two.literal('a').literal('b');
    EXPECT_EQ(expand(two.bytes, 1).result, 0);
    EXPECT_EQ(expand(longer, 100).result, 0);
    overshoot.literal('a').match(0, 17).literal('z');
    EXPECT_EQ(expand(overshoot.bytes, 5).result, 0);
}

TEST_F(ExpandStream, CompressedSizeZeroTakesWholeInput) {
    StreamBits bits;
    bits.literal('q').match(0, 3);
    OpenFile in(bits.bytes), out({}, "wb");
    fseek(in.file, 1, SEEK_SET);
    EXPECT_EQ(expandStream(in.file, 1, 0, 4, out.file, recordProgress), 1);
    fflush(out.file);
    EXPECT_EQ(out.temp.read(), (Bytes{'q', 'q', 0, 0}));
    int32_t total = (int32_t)bits.bytes.size();
    EXPECT_EQ(progressCalls, (Calls{{0, total}, {total, total}}));
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
