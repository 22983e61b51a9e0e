#include "writer/encoder.h"

#include <stdint.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corpus.h"
#include "stream_check.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Random bytes drawn from the first alphabetSize values, so repeats (and
// zeros, which match never-written ring positions) are frequent.
std::vector<uint8_t> smallAlphabet(size_t size, uint32_t alphabetSize, uint64_t seed) {
    corpus::Random random(seed);
    std::vector<uint8_t> data(size);
    for (auto& byte : data) byte = (uint8_t)random.below(alphabetSize);
    return data;
}

// The smallest item bits by exhaustion: at every output position every ring
// position and every length is tried against a ring simulated as the
// installer keeps it (zeroed at the start, read wholly before a match writes).
uint64_t exhaustiveBits(const std::vector<uint8_t>& data) {
    const size_t n = data.size();
    std::vector<std::array<uint8_t, 256>> ringBefore(n);
    std::array<uint8_t, 256> ring{};
    for (size_t i = 0; i < n; ++i) {
        ringBefore[i] = ring;
        ring[i % 256] = data[i];
    }
    std::vector<uint64_t> cost(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        uint64_t best = 9 + cost[i + 1];
        for (uint32_t p = 0; p < 256; ++p) {
            for (size_t length = 2; length <= 17 && i + length <= n; ++length) {
                bool same = true;
                for (size_t t = 0; t < length && same; ++t) {
                    same = data[i + t] == ringBefore[i][(p + t) % 256];
                }
                if (same) best = std::min(best, 13 + cost[i + length]);
            }
        }
        cost[i] = best;
    }
    return cost[0];
}

void expectRoundTrip(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> stream = encodeStream(data);
    EXPECT_EQ(stream.size(), (optimalStreamBits(data.data(), data.size()) + 7) / 8);
    // Never worse than storing every byte as a literal.
    EXPECT_LE(stream.size(), (data.size() * 9 + 7) / 8);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(expandThroughInstaller(stream, data.size()), data);
}

// An input of random bytes whose stream is exactly streamSize bytes long.
std::vector<uint8_t> inputWithStreamSize(size_t streamSize) {
    const std::vector<uint8_t> source = corpus::randomBytes(streamSize, 99);
    for (size_t size = streamSize * 8 / 9 - 40; size < streamSize; ++size) {
        std::vector<uint8_t> data(source.begin(), source.begin() + size);
        if (encodeStream(data).size() == streamSize) return data;
    }
    return {};
}

TEST(EncodeStream, WorkedExamplesGiveTheirStreams) {
    EXPECT_TRUE(encodeStream(nullptr, 0).empty());
    EXPECT_EQ(optimalStreamBits(nullptr, 0), 0u);
    EXPECT_EQ(encodeStream(std::vector<uint8_t>{0x80}), (std::vector<uint8_t>{0x00, 0x01}));
    EXPECT_EQ(encodeStream(std::vector<uint8_t>{0x00}), (std::vector<uint8_t>{0x00, 0x00}));
    // Two literals, then the only source of "ab": position 0, length 2.
    EXPECT_EQ(encodeStream(bytesOf("abab")), (std::vector<uint8_t>{0xC2, 0x88, 0x05, 0x00}));
    // A literal, then a match that reads position 0 and three never-written
    // positions while it overwrites positions 1 to 4.
    EXPECT_EQ(encodeStream(std::vector<uint8_t>{0x61, 0x61, 0, 0, 0}), (std::vector<uint8_t>{0xC2, 0x02, 0x08}));
}

TEST(EncodeStream, ZerosAreCopiedFromTheUnwrittenRingInLongestMatches) {
    // 170 zeros: ten 17-byte matches, the first from never-written positions.
    std::vector<uint8_t> zeros(170, 0);
    EXPECT_EQ(optimalStreamBits(zeros.data(), zeros.size()), 10u * 13);
    std::vector<uint8_t> stream = encodeStream(zeros);
    ASSERT_EQ(stream.size(), 17u);
    EXPECT_EQ(stream[0] & 1, 1) << "the first item is a match";
    EXPECT_EQ(expandThroughInstaller(stream, zeros.size()), zeros);
}

TEST(EncodeStream, MatchesExhaustiveSearch) {
    std::vector<std::vector<uint8_t>> inputs;
    for (uint64_t seed = 1; seed <= 300; ++seed) inputs.push_back(smallAlphabet(1 + seed % 40, 2 + seed % 3, seed));
    // Past 256 bytes the ring is full and sources wrap from position 255 to 0.
    for (uint64_t seed = 1; seed <= 6; ++seed) inputs.push_back(smallAlphabet(250 + 20 * seed, 2 + seed % 4, seed * 7));
    // Many passes round the ring, with the sources real data offers.
    inputs.push_back(corpus::textLike(3000, 4));
    inputs.push_back(corpus::binaryLike(3000, 5));
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE("input " + std::to_string(i) + " of " + std::to_string(inputs[i].size()) + " bytes");
        ASSERT_EQ(optimalStreamBits(inputs[i].data(), inputs[i].size()), exhaustiveBits(inputs[i]));
        expectRoundTrip(inputs[i]);
    }
}

TEST(EncodeStream, RoundTripsInputsOfEveryKind) {
    std::vector<std::vector<uint8_t>> inputs;
    for (size_t size = 1; size <= 20; ++size) inputs.push_back(smallAlphabet(size, 256, size));
    inputs.push_back(std::vector<uint8_t>(61, 'a'));
    std::vector<uint8_t> pattern;
    for (int i = 0; i < 5000; ++i) pattern.push_back((uint8_t)"abcabd\0\0"[i % 8]);
    inputs.push_back(pattern);
    inputs.push_back(std::vector<uint8_t>(100000, 0));
    inputs.push_back(std::vector<uint8_t>(100001, 0xFF));
    // Many blocks of text, binary and random data.
    inputs.push_back(corpus::textLike(300000));
    inputs.push_back(corpus::binaryLike(200000));
    inputs.push_back(corpus::randomBytes(50000));
    inputs.push_back(smallAlphabet(60000, 3, 5));
    // The installer reads streams in blocks of 4098 bytes and then 4096.
    for (size_t streamSize : {4096u, 4097u, 4098u, 4099u, 8194u, 8195u}) {
        inputs.push_back(inputWithStreamSize(streamSize));
        ASSERT_FALSE(inputs.back().empty()) << "no input found for a stream of " << streamSize;
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE("input " + std::to_string(i) + " of " + std::to_string(inputs[i].size()) + " bytes");
        expectRoundTrip(inputs[i]);
    }
}

}  // namespace
