// Deterministic benchmark corpora: the same bytes on every run and machine.
//   textLike   - English-like words and punctuation in lines, as in docs and
//                source code;
//   binaryLike - program-like data: small integers, repeated records, tables
//                of offsets, runs of zeros;
//   randomBytes - incompressible bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace corpus {

// xorshift64*: small, fast and fixed, so corpora never change between runs.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    uint32_t below(uint32_t bound) { return (uint32_t)(next() % bound); }

private:
    uint64_t state_;
};

inline std::vector<uint8_t> textLike(size_t size, uint64_t seed = 1) {
    static const char* const words[] = {
        "the", "installer", "package", "of", "and", "file", "to", "a", "in", "is",
        "destination", "folder", "that", "for", "it", "with", "as", "on", "be", "by",
        "program", "windows", "setup", "licence", "agreement", "software", "user",
        "shall", "not", "any", "this", "copy", "version", "directory", "compressed",
        "stream", "return", "value", "if", "else", "while", "const", "char", "int"};
    const size_t wordCount = sizeof words / sizeof words[0];
    Random random(seed);
    std::string text;
    text.reserve(size + 32);
    size_t lineLength = 0;
    while (text.size() < size) {
        // Zipf-like choice: low indices far more often.
        uint32_t pick = random.below((uint32_t)wordCount);
        pick = (uint32_t)(pick * (uint64_t)random.below((uint32_t)wordCount) / wordCount);
        const char* word = words[pick];
        text += word;
        lineLength += std::char_traits<char>::length(word) + 1;
        uint32_t mark = random.below(40);
        if (mark == 0) text += '.';
        else if (mark == 1) text += ',';
        if (lineLength > 64 + random.below(12)) {
            text += "\r\n";
            lineLength = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(size);
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::vector<uint8_t> binaryLike(size_t size, uint64_t seed = 2) {
    Random random(seed);
    std::vector<uint8_t> data;
    data.reserve(size + 64);
    uint32_t offset = 0x401000;
    while (data.size() < size) {
        switch (random.below(4)) {
            case 0:  // a table of increasing little-endian offsets
                for (int i = 0; i < 8; ++i) {
                    offset += 4 + random.below(64);
                    for (int b = 0; b < 4; ++b) data.push_back((uint8_t)(offset >> (8 * b)));
                }
                break;
            case 1:  // a run of zeros (padding)
                data.insert(data.end(), 8 + random.below(56), 0);
                break;
            case 2: {  // a record repeated with one field changed
                uint8_t record[12];
                for (auto& byte : record) byte = (uint8_t)random.below(256);
                for (int i = 0, n = 2 + (int)random.below(6); i < n; ++i) {
                    record[0] = (uint8_t)i;
                    data.insert(data.end(), record, record + sizeof record);
                }
                break;
            }
            default:  // small opcode-like bytes
                for (int i = 0, n = 4 + (int)random.below(28); i < n; ++i)
                    data.push_back((uint8_t)(random.below(4) == 0 ? random.below(256) : random.below(16)));
        }
    }
    data.resize(size);
    return data;
}

inline std::vector<uint8_t> randomBytes(size_t size, uint64_t seed = 3) {
    Random random(seed);
    std::vector<uint8_t> data(size);
    for (auto& byte : data) byte = (uint8_t)random.next();
    return data;
}

}  // namespace corpus
