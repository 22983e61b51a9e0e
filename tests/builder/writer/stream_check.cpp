#include "stream_check.h"

#include <stdio.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "package/decompressor.h"

#ifdef _WIN32
#include <process.h>
#define HALV_TEST_PID _getpid()
#else
#include <unistd.h>
#define HALV_TEST_PID getpid()
#endif

// One name per process: CTest runs each test in a process of its own, several
// at a time, and the builds share the temporary folder.
std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "halv_writer_" + std::to_string(HALV_TEST_PID) + "_" + name;
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    EXPECT_EQ(fclose(file), 0);
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return bytes;
}

std::vector<uint8_t> expandThroughInstaller(const std::vector<uint8_t>& stream,
                                            size_t uncompressedSize) {
    // A few bytes before and after the stream, as in an installer file, so a
    // decoder that reads outside its stream is caught.
    const int32_t lead = 7;
    std::vector<uint8_t> container(lead + stream.size() + 5, 0x5A);
    std::fill(container.begin(), container.begin() + lead, 0xA5);
    std::copy(stream.begin(), stream.end(), container.begin() + lead);
    const std::string inputPath = tempPath("stream.bin");
    const std::string outputPath = tempPath("expanded.bin");
    writeWholeFile(inputPath, container);
    FILE* input = fopen(inputPath.c_str(), "rb");
    FILE* output = fopen(outputPath.c_str(), "wb");
    if (!input || !output) {
        ADD_FAILURE() << "cannot open the files in " << ::testing::TempDir();
        if (input) fclose(input);
        if (output) fclose(output);
        return {};
    }
    int result = expandStream(input, lead, (int32_t)stream.size(), (int32_t)uncompressedSize,
                              output, nullptr);
    EXPECT_EQ(result, 1) << "expandStream failed";
    EXPECT_EQ(ftell(input), lead + (long)stream.size()) << "the expansion did not stop at the stream's end";
    fclose(input);
    fclose(output);
    std::vector<uint8_t> expanded = readWholeFile(outputPath);
    remove(inputPath.c_str());
    remove(outputPath.c_str());
    return expanded;
}
