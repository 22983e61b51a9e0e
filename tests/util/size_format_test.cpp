#include "util/size_format.h"

#include <gtest/gtest.h>

#include <string>

#include "util/blocks.h"

namespace {

std::string formatted(uint64_t count) {
    char* text = formatSize((uint32_t)count, (uint32_t)(count >> 32));
    EXPECT_NE(text, nullptr);
    std::string result = text ? text : "";
    freeBlock((void**)&text);
    return result;
}

TEST(FormatSize, WorkedTable) {
    const struct { uint64_t count; const char* text; } rows[] = {
        {0, "0 bytes"},
        {1, "1 bytes"},
        {1024, "1024 bytes"},
        {1025, "1.00 KB"},
        {1536, "1.50 KB"},
        {2000, "1.95 KB"},
        {1048576, "1024.00 KB"},
        {1048577, "1.00 MB"},
        {5000000, "4.76 MB"},
        {1073741824, "1024.00 MB"},
        {1073741825, "1.00 GB"},
        {3758096384ull, "3.50 GB"},
        {10737418240ull, "10.00 GB"},
        {1099511627776ull, "1024.00 GB"},
        {1099511627777ull, "1.00 TB"},
        {4294967296ull, "4.00 GB"},
    };
    for (const auto& row : rows) EXPECT_EQ(formatted(row.count), row.text) << row.count;
}

// Every KB figure is the exact value truncated to two decimals, never rounded
// up, across the whole range where the float arithmetic must hold.
TEST(FormatSize, KilobytesTruncateNeverRound) {
    for (uint64_t n = 1025; n <= 1048576; n += 7) {
        uint64_t hundredths = n * 100 / 1024;
        char expected[64];
        snprintf(expected, sizeof expected, "%llu.%02llu KB",
                 (unsigned long long)(hundredths / 100), (unsigned long long)(hundredths % 100));
        ASSERT_EQ(formatted(n), expected) << n;
    }
}

TEST(FormatSize, LargeUnitsTruncateFromShiftedCount) {
    // 1.999 GB worth of bytes shows 1.99 GB, and the TB row works from the
    // count shifted by 30 bits.
    EXPECT_EQ(formatted((2ull << 30) - 1), "1.99 GB");
    EXPECT_EQ(formatted(5ull << 40), "5.00 TB");
    EXPECT_EQ(formatted((16383ull << 30) + (1ull << 29)), "15.99 TB");
}

TEST(FormatUnitValue, ClampsDecimalsAndKeepsUnit) {
    char text[64];
    formatUnitValue(0.999999f, text, " MB");
    EXPECT_STREQ(text, "0.99 MB");
    formatUnitValue(12.0f, text, "");
    EXPECT_STREQ(text, "12.00");
}

TEST(BuildString, AllocatesOrReusesAndJoinsPieces) {
    char* text = nullptr;
    buildString(&text, 64, BUILD_TEXT, "file ", BUILD_INT, -12, BUILD_TEXT, " of ", BUILD_INT, 30, BUILD_END);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "file -12 of 30");
    buildString(&text, 0, BUILD_INT, 7, BUILD_END);
    EXPECT_STREQ(text, "7");
    freeBlock((void**)&text);
}

}  // namespace
