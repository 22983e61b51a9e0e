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

// Within the covered length a partial word is completed with zeros; a file
// shorter than the covered length is read word by word, so its last partial
// word keeps the high bytes of the word before it.
TEST(Checksum, PartialWords) {
    const Bytes eight = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const struct { Bytes file; uint32_t covered, sum; } cases[] = {
        {eight, 1, 0x00000011u}, {eight, 2, 0x00002211u}, {eight, 3, 0x00332211u},
        {eight, 4, 0x44332211u}, {eight, 7, 0x44332211u ^ 0x00776655u},
        {eight, 8, 0x44332211u ^ 0x88776655u},
        {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, 100, 0x44332211u ^ 0x44336655u},
        {{0x11, 0x22}, 100, 0x00002211u},
        {{}, 100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file.size() << " bytes, " << c.covered << " covered");
        EXPECT_EQ(checksumOf(c.file, c.covered), checksumSeed ^ c.sum);
    }
    Bytes blocks = patterned(65536 + 2);
    uint32_t expected = referenceChecksum(blocks, 65536, checksumSeed) ^
                        ((uint32_t)blocks[65536] | (uint32_t)blocks[65537] << 8 |
                         (uint32_t)blocks[65534] << 16 | (uint32_t)blocks[65535] << 24);
    EXPECT_EQ(checksumOf(blocks, 70000), expected);
    EXPECT_EQ(computeFileChecksum("no-such-file.bin", 10, checksumSeed), 0u);
    EXPECT_EQ(computeFileChecksum(nullptr, 10, checksumSeed), 0u);
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

}  // namespace
