// Size texts, truncated on every floating-point unit, and bounded text copies.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "util/blocks.h"
#include "util/size_format.h"

namespace {

std::string formatted(uint64_t count) {
    char* text = formatSize((uint32_t)count, (uint32_t)(count >> 32));
    std::string result = text ? text : "<none>";
    freeBlock((void**)&text);
    return result;
}

// Binary units, each above its threshold, two decimals truncated, never rounded.
TEST(FormatSize, WorkedExamplesTruncateNeverRound) {
    const struct { uint64_t count; const char* text; } rows[] = {
        {0, "0 bytes"}, {1, "1 bytes"}, {1024, "1024 bytes"}, {1025, "1.00 KB"}, {1536, "1.50 KB"},
        {2000, "1.95 KB"}, {1048576, "1024.00 KB"}, {1048577, "1.00 MB"}, {5000000, "4.76 MB"},
        {1073741824, "1024.00 MB"}, {1073741825, "1.00 GB"}, {(2ull << 30) - 1, "1.99 GB"},
        {3758096384ull, "3.50 GB"}, {4294967296ull, "4.00 GB"}, {10737418240ull, "10.00 GB"},
        {1099511627776ull, "1024.00 GB"}, {1099511627777ull, "1.00 TB"}, {(16383ull << 30) + (1ull << 29), "15.99 TB"},
    };
    for (const auto& row : rows) EXPECT_EQ(formatted(row.count), row.text) << row.count;
    for (uint64_t n = 1025; n <= 1048576; n += 7) {
        const uint64_t hundredths = n * 100 / 1024;
        char expected[64];
        snprintf(expected, sizeof expected, "%llu.%02llu KB", (unsigned long long)(hundredths / 100),
                 (unsigned long long)(hundredths % 100));
        ASSERT_EQ(formatted(n), expected) << n;
    }
}

// Bounded copies: an exact fit is kept, one byte more refused without passing the buffer.
TEST(Blocks, TextNeverPassesItsBuffer) {
    char buffer[6] = "xxxxx";
    EXPECT_EQ(copyText(buffer, sizeof buffer, "abcdef"), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(copyText(buffer, sizeof buffer, "ab"), 1);
    EXPECT_EQ(appendText(buffer, sizeof buffer, "cde"), 1);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(appendText(buffer, sizeof buffer, "f"), 0);
    EXPECT_STREQ(buffer, "abcde");
}

}  // namespace
