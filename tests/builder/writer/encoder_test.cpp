// The encoder against exhaustive search, every stream checked by the
// expansion model.
#include "writer/encoder.h"

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "corpus.h"
#include "support/package_bytes.h"

using package_bytes::Bytes;

namespace {

// Few byte values, so repeats and zeros (which match never-written ring
// positions) are frequent.
Bytes smallAlphabet(size_t size, uint32_t alphabet, uint32_t seed) {
    Bytes data = package_bytes::randomBytes(size, seed);
    for (uint8_t& byte : data) byte %= alphabet;
    return data;
}

// The fewest item bits: every ring position and length at every output
// position, against the ring as the installer keeps it.
uint64_t exhaustiveBits(const Bytes& data) {
    const size_t n = data.size();
    std::vector<std::array<uint8_t, 256>> ringBefore(n);
    std::array<uint8_t, 256> ring{};
    for (size_t i = 0; i < n; ++i) ringBefore[i] = ring, ring[i % 256] = data[i];
    std::vector<uint64_t> cost(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        cost[i] = 9 + cost[i + 1];
        for (uint32_t p = 0; p < 256; ++p)
            for (size_t length = 0; length < 17 && i + length < n && data[i + length] == ringBefore[i][(p + length) % 256];)
                if (++length >= 2) cost[i] = std::min(cost[i], 13 + cost[i + length]);
    }
    return cost[0];
}

void expectRoundTrip(const Bytes& data) {
    const Bytes stream = encodeStream(data);
    uint64_t bits = 0;
    ASSERT_EQ(package_bytes::referenceExpand(stream, data.size(), &bits), data);
    EXPECT_EQ(bits, optimalStreamBits(data.data(), data.size()));
    EXPECT_EQ(stream.size(), (bits + 7) / 8) << "bytes after the last item";
}

TEST(EncodeStream, FindsTheSmallestStreamExhaustiveSearchFinds) {
    EXPECT_TRUE(encodeStream(nullptr, 0).empty());
    std::vector<Bytes> inputs;
    for (uint32_t seed = 1; seed <= 300; ++seed) inputs.push_back(smallAlphabet(1 + seed % 40, 2 + seed % 3, seed));
    // Past 256 bytes the ring is full and sources wrap from 255 to 0.
    for (uint32_t seed = 1; seed <= 6; ++seed) inputs.push_back(smallAlphabet(250 + 20 * seed, 2 + seed % 4, seed * 7));
    inputs.push_back(corpus::textLike(3000, 4));
    inputs.push_back(corpus::binaryLike(3000, 5));
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE("input " + std::to_string(i));
        EXPECT_EQ(optimalStreamBits(inputs[i].data(), inputs[i].size()), exhaustiveBits(inputs[i]));
        expectRoundTrip(inputs[i]);
    }
}

TEST(EncodeStream, RoundTripsLongInputs) {
    Bytes pattern;
    for (int i = 0; i < 5000; ++i) pattern.push_back((uint8_t)"abcabd\0\0"[i % 8]);
    for (const Bytes& data : {Bytes(100000, 0), Bytes(100001, 0xFF), pattern, corpus::textLike(300000),
                              package_bytes::randomBytes(50000, 1), smallAlphabet(60000, 3, 5)})
        expectRoundTrip(data);
}

}  // namespace
