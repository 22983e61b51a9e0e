// Installer files laid out byte by byte, so that a test can build exactly the
// package it needs, damaged ones included: a byte builder, the header fields
// in package order, a stream bit writer (items chosen by the test, no
// searching), and the two oracles the package format is checked against: the
// checksum and the expansion as their definitions state them, one word and
// one item at a time. Nothing here decides what a writer would store.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace package_bytes {

using Bytes = std::vector<uint8_t>;

// The checksum's first value, as the format defines it: the bytes "U U ".
const uint32_t kSeed = 0x20552055u;

struct ByteBuilder {
    Bytes bytes;

    ByteBuilder& u32(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back((uint8_t)(value >> (8 * i)));
        return *this;
    }
    ByteBuilder& raw(const Bytes& data) { return bytes.insert(bytes.end(), data.begin(), data.end()), *this; }
    // A counted string: u32 length, then the bytes.
    ByteBuilder& counted(const std::string& text) {
        u32((uint32_t)text.size());
        return bytes.insert(bytes.end(), text.begin(), text.end()), *this;
    }
    // A file record: compressed size, uncompressed size, directory, name, stream.
    ByteBuilder& record(uint32_t uncompressed, uint32_t directory, const std::string& name, const Bytes& stream) {
        return u32((uint32_t)stream.size()).u32(uncompressed).u32(directory).counted(name).raw(stream);
    }
};

// The seed XOR every little-endian word of the first `covered` bytes, a final
// partial word completed with zero bytes.
inline uint32_t referenceChecksum(const Bytes& file, size_t covered, uint32_t seed = kSeed) {
    uint32_t sum = seed;
    for (size_t i = 0; i < covered; i += 4) {
        uint32_t word = 0;
        for (size_t b = 0; b < 4 && i + b < covered; ++b) word |= (uint32_t)file[i + b] << (8 * b);
        sum ^= word;
    }
    return sum;
}

// Program bytes, the package, and a trailer that describes them and seals them.
inline Bytes installerFile(const Bytes& program, const Bytes& package) {
    ByteBuilder file;
    file.raw(program).raw(package).u32((uint32_t)package.size()).u32((uint32_t)program.size());
    return file.u32(referenceChecksum(file.bytes, file.bytes.size())).bytes;
}

// The header fields in package order, with values that tests change one by one.
struct HeaderFields {
    std::vector<std::string> strings = {"Sample Setup", "Sample Works", "Sample Product",
                                        "1.0", "{PROGRAM_FILES}", "Sample Product"};
    uint32_t directoryWord = 2;  // written as is; the reader uses the low 8 bits
    std::vector<std::string> directories = {"\\", "\\docs\\"};
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

// Writes items of the stream format, least significant bit first.
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
    StreamBits& literals(const Bytes& values) {
        for (uint8_t value : values) literal(value);
        return *this;
    }
    // Copies length (2..17) bytes from absolute ring position `position`.
    StreamBits& match(uint8_t position, uint32_t length) {
        return put(1, 1), put(position, 8), put(length - 2, 4), *this;
    }
};

// The expansion as the format defines it: a 256-byte ring, one item at a
// time, a match reading all its bytes before writing any. Decodes until size
// bytes exist or no whole item is left; *bitsUsed receives the items' bits.
inline Bytes referenceExpand(const Bytes& stream, size_t size, uint64_t* bitsUsed = nullptr) {
    uint8_t ring[256] = {};
    uint32_t writePosition = 0;
    uint64_t cursor = 0, bitLimit = stream.size() * 8;
    auto take = [&](int width) {
        uint32_t value = 0;
        for (int i = 0; i < width; ++i, ++cursor)
            if (stream[cursor / 8] >> (cursor % 8) & 1) value |= 1u << i;
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

// Bytes that differ from seed to seed.
inline Bytes randomBytes(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) byte = (uint8_t)((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}

}  // namespace package_bytes
