// Test-only helpers that lay out installer files byte by byte, so tests can
// build exactly the package they need, including malformed ones: a byte
// builder, a stream bit writer (items chosen by the test, no searching), a
// plain model of the expansion to check the decoder against, and temporary
// files. Not a package writer: nothing here decides what to store.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define HALV_TEST_PID _getpid()
#else
#include <unistd.h>
#define HALV_TEST_PID getpid()
#endif

namespace package_bytes {

using Bytes = std::vector<uint8_t>;

struct ByteBuilder {
    Bytes bytes;

    ByteBuilder& u32(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back((uint8_t)(value >> (8 * i)));
        return *this;
    }
    ByteBuilder& raw(const Bytes& data) { return bytes.insert(bytes.end(), data.begin(), data.end()), *this; }
    // A counted string: u32 length, then the bytes.
    ByteBuilder& counted(const std::string& data) {
        u32((uint32_t)data.size());
        return bytes.insert(bytes.end(), data.begin(), data.end()), *this;
    }
};

inline uint32_t wordAt(const Bytes& bytes, size_t at) {
    return (uint32_t)bytes[at] | (uint32_t)bytes[at + 1] << 8 | (uint32_t)bytes[at + 2] << 16 |
           (uint32_t)bytes[at + 3] << 24;
}

// The checksum as its definition states it, one word at a time.
inline uint32_t referenceChecksum(const Bytes& file, size_t covered, uint32_t seed) {
    uint32_t sum = seed;
    for (size_t i = 0; i < covered; i += 4) {
        uint32_t word = 0;
        for (size_t b = 0; b < 4 && i + b < covered; ++b) word |= (uint32_t)file[i + b] << (8 * b);
        sum ^= word;
    }
    return sum;
}

// Program bytes, the package, and a trailer that describes them.
inline Bytes installerFile(const Bytes& program, const Bytes& package) {
    ByteBuilder file;
    file.raw(program).raw(package).u32((uint32_t)package.size()).u32((uint32_t)program.size());
    return file.u32(referenceChecksum(file.bytes, file.bytes.size(), 0x20552055u)).bytes;
}

// The header fields in package order, with values that tests change one by one.
struct HeaderFields {
    std::vector<std::string> strings = {"Sample Setup", "Sample Works", "Sample Product",
                                        "1.0", "{PROGRAM_FILES}", "Sample Product"};
    uint32_t directoryWord = 2;  // written as is; the reader uses the low 8 bits
    std::vector<std::string> directories = {"\\", "\\docs"};
    std::string licence = "Licence text\r\n";
    uint32_t fileCount = 0;
    uint32_t requiredSpace = 1234;

    Bytes bytes() const {
        ByteBuilder header;
        for (const std::string& field : strings) header.counted(field);
        header.u32(directoryWord);
        for (const std::string& directory : directories) header.counted(directory);
        return header.counted(licence).u32(fileCount).u32(requiredSpace).bytes;
    }
};

// Writes items of the stream format least significant bit first.
struct StreamBits {
    Bytes bytes;
    uint64_t bitCount = 0;

    void put(uint32_t value, int width) {
        for (int i = 0; i < width; ++i, ++bitCount) {
            if (bitCount % 8 == 0) bytes.push_back(0);
            if (value >> i & 1) bytes.back() |= (uint8_t)(1 << (bitCount % 8));
        }
    }
    StreamBits& literal(uint8_t value) { return put(0, 1), put(value, 8), *this; }
    // Copies length (2..17) bytes from absolute ring position position.
    StreamBits& match(uint8_t position, uint32_t length) {
        return put(1, 1), put(position, 8), put(length - 2, 4), *this;
    }
};

// The expansion as the format defines it: a 256-byte ring, one item at a
// time, a match reading all its bytes before writing any. Decodes until size
// bytes exist or no whole item is left in the stream; *bitsUsed, when given,
// receives the bits of the items it took.
inline Bytes referenceExpand(const Bytes& stream, size_t size, uint64_t* bitsUsed = nullptr) {
    uint8_t ring[256] = {};
    uint32_t writePosition = 0;
    uint64_t cursor = 0, bitLimit = stream.size() * 8;
    auto take = [&](int width) {
        uint32_t value = 0;
        for (int i = 0; i < width; ++i, ++cursor)
            if (cursor < bitLimit && (stream[cursor / 8] >> (cursor % 8) & 1)) value |= 1u << i;
        return value;
    };
    Bytes out;
    while (out.size() < size && cursor < bitLimit) {
        uint64_t itemBits = (stream[cursor / 8] >> (cursor % 8) & 1) ? 13 : 9;
        if (cursor + itemBits > bitLimit) break;  // only padding is left
        uint8_t produced[17];
        uint32_t length = 1;
        if (take(1) == 0) {
            produced[0] = (uint8_t)take(8);
        } else {
            uint32_t position = take(8);
            length = take(4) + 2;
            for (uint32_t i = 0; i < length; ++i) produced[i] = ring[(position + i) & 255];
        }
        for (uint32_t i = 0; i < length; ++i) {
            out.push_back(produced[i]);
            ring[writePosition] = produced[i];
            writePosition = (writePosition + 1) & 255;
        }
    }
    if (out.size() > size) out.resize(size);
    if (bitsUsed) *bitsUsed = cursor;
    return out;
}

// A file in the test temporary folder, removed when the object goes.
struct TempFile {
    std::string path;

    explicit TempFile(const std::string& name) {
        static int serial = 0;
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path = ::testing::TempDir() + "halv_package_" + std::to_string(HALV_TEST_PID) + "_" +
               (test ? test->name() : "x") + "_" + std::to_string(++serial) + "_" + name;
    }
    TempFile(const std::string& name, const Bytes& content) : TempFile(name) { write(content); }
    ~TempFile() { remove(path.c_str()); }

    void write(const Bytes& content) const {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        if (!content.empty()) fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
    Bytes read() const {
        Bytes content;
        FILE* file = fopen(path.c_str(), "rb");
        for (int byte; file && (byte = fgetc(file)) != EOF;) content.push_back((uint8_t)byte);
        if (file) fclose(file);
        return content;
    }
};

// A temporary file holding content, open in mode for the test's life.
struct OpenFile {
    TempFile temp;
    FILE* file;
    explicit OpenFile(const Bytes& content, const char* mode = "rb")
        : temp("open.bin", content), file(fopen(temp.path.c_str(), mode)) {}
    ~OpenFile() { if (file) fclose(file); }
};

}  // namespace package_bytes
