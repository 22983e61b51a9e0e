#include "package/package_format.h"

#include <gtest/gtest.h>

#include "package_bytes.h"

using namespace package_bytes;

namespace {

Bytes patterned(size_t size) {
    Bytes data(size);
    uint32_t state = 12345;
    for (uint8_t& byte : data) byte = (uint8_t)((state = state * 1103515245u + 12345u) >> 16);
    return data;
}

uint32_t checksumOf(const Bytes& content, uint32_t covered) {
    TempFile file("file.bin", content);
    return computeFileChecksum(file.path.c_str(), covered, checksumSeed);
}

TEST(Checksum, PartialWordIsCompletedWithZeros) {
    Bytes bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(checksumOf(bytes, 1), checksumSeed ^ 0x00000011u);
    EXPECT_EQ(checksumOf(bytes, 2), checksumSeed ^ 0x00002211u);
    EXPECT_EQ(checksumOf(bytes, 3), checksumSeed ^ 0x00332211u);
    EXPECT_EQ(checksumOf(bytes, 4), checksumSeed ^ 0x44332211u);
    EXPECT_EQ(checksumOf(bytes, 7), checksumSeed ^ 0x44332211u ^ 0x00776655u);  // mask 0x00FFFFFF
    EXPECT_EQ(checksumOf(bytes, 8), checksumSeed ^ 0x44332211u ^ 0x88776655u);
}

// Lengths around the reading block (64 KiB) and word boundaries.
TEST(Checksum, AgreesWithWordByWordDefinition) {
    Bytes data = patterned(3 * 65536 + 11);
    for (uint32_t covered : {1u, 5u, 6u, 7u, 8u, 1023u, 65532u, 65535u, 65536u, 65537u, 65538u,
                             65539u, 65540u, 131075u, 196608u, 196611u, 3u * 65536 + 11}) {
        SCOPED_TRACE(covered);
        EXPECT_EQ(checksumOf(data, covered), referenceChecksum(data, covered, checksumSeed));
    }
}

TEST(Checksum, EveryCoveredByteCountsAndTheStoredWordDoesNot) {
    Bytes file = installerFile(patterned(37), patterned(30));
    uint32_t covered = (uint32_t)file.size() - 4;
    uint32_t original = checksumOf(file, covered);
    EXPECT_EQ(original, referenceChecksum(file, covered, checksumSeed));
    uint32_t stored = (uint32_t)file[covered] | (uint32_t)file[covered + 1] << 8 |
                      (uint32_t)file[covered + 2] << 16 | (uint32_t)file[covered + 3] << 24;
    EXPECT_EQ(original, stored);
    for (size_t i = 0; i < file.size(); ++i) {
        Bytes changed = file;
        changed[i] ^= 0x40;
        if (i < covered)
            EXPECT_NE(checksumOf(changed, covered), original) << "byte " << i;
        else
            EXPECT_EQ(checksumOf(changed, covered), original) << "byte " << i;
    }
}

TEST(Checksum, MissingFileGivesZero) {
    EXPECT_EQ(computeFileChecksum("no-such-file.bin", 10, checksumSeed), 0u);
    EXPECT_EQ(computeFileChecksum(nullptr, 10, checksumSeed), 0u);
}

// A file shorter than the covered length: read word by word, its last partial
// word keeps the high bytes of the word before it.
TEST(Checksum, FileShorterThanCoveredLength) {
    Bytes bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    EXPECT_EQ(checksumOf(bytes, 100), checksumSeed ^ 0x44332211u ^ 0x44336655u);
    EXPECT_EQ(checksumOf({0x11, 0x22}, 100), checksumSeed ^ 0x00002211u);
    EXPECT_EQ(checksumOf({}, 100), checksumSeed);
    Bytes blocks = patterned(65536 + 2);
    uint32_t expected = referenceChecksum(blocks, 65536, checksumSeed) ^
                        ((uint32_t)blocks[65536] | (uint32_t)blocks[65537] << 8 |
                         (uint32_t)blocks[65534] << 16 | (uint32_t)blocks[65535] << 24);
    EXPECT_EQ(checksumOf(blocks, 70000), expected);
}

}  // namespace
