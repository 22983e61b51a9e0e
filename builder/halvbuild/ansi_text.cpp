#include "halvbuild/ansi_text.h"

#include <stdint.h>
#include <stdio.h>

#include <stdexcept>

namespace {

// Code points of Windows-1252 bytes 0x80 to 0x9F; 0 marks the five unused.
const uint16_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

std::string hexCodePoint(uint32_t codePoint) {
    char text[16];
    snprintf(text, sizeof text, "U+%04X", (unsigned)codePoint);
    return text;
}

// Decodes the sequence at text[*at], advancing *at; returns false when the
// bytes there are not a well-formed UTF-8 sequence.
bool nextCodePoint(const std::string& text, size_t* at, uint32_t* codePoint) {
    const uint8_t lead = (uint8_t)text[*at];
    size_t extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                                     : lead >= 0xF0 && lead < 0xF5 ? 3 : 9;
    if (extra == 9 || *at + extra >= text.size()) return false;
    uint32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    for (size_t i = 1; i <= extra; ++i) {
        const uint8_t next = (uint8_t)text[*at + i];
        if ((next & 0xC0) != 0x80) return false;
        value = value << 6 | (next & 0x3F);
    }
    static const uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return false;
    *at += extra + 1;
    *codePoint = value;
    return true;
}

bool toWindows1252(uint32_t codePoint, char* byte) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        *byte = (char)codePoint;
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == codePoint) {
            *byte = (char)(0x80 + i);
            return true;
        }
    }
    return false;
}

bool isUtf8(const std::string& text) {
    uint32_t ignored;
    for (size_t at = 0; at < text.size();)
        if (!nextCodePoint(text, &at, &ignored)) return false;
    return true;
}

}  // namespace

std::string toAnsi(const std::string& utf8) {
    std::string ansi;
    ansi.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        uint32_t codePoint;
        if (!nextCodePoint(utf8, &at, &codePoint))
            throw std::invalid_argument("not valid UTF-8 at byte " + std::to_string(at));
        char byte;
        if (codePoint == 0) throw std::invalid_argument("holds a NUL character");
        if (!toWindows1252(codePoint, &byte))
            throw std::invalid_argument("character " + hexCodePoint(codePoint) +
                                        " has no Windows-1252 form");
        ansi += byte;
    }
    return ansi;
}

std::string licenceToAnsi(const std::string& bytes) {
    std::string text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    if (isUtf8(text)) text = toAnsi(text);
    if (text.find('\0') != std::string::npos) throw std::invalid_argument("holds a NUL byte");
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            crlf += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            crlf += text[i];
        }
    }
    return crlf;
}

std::string fromAnsi(const std::string& ansi) {
    std::string utf8;
    utf8.reserve(ansi.size());
    for (unsigned char byte : ansi) {
        uint32_t codePoint = byte;
        if (byte >= 0x80 && byte < 0xA0) codePoint = kHighControls[byte - 0x80] ? kHighControls[byte - 0x80] : 0xFFFD;
        if (codePoint < 0x80) {
            utf8 += (char)codePoint;
        } else if (codePoint < 0x800) {
            utf8 += (char)(0xC0 | codePoint >> 6);
            utf8 += (char)(0x80 | (codePoint & 0x3F));
        } else {
            utf8 += (char)(0xE0 | codePoint >> 12);
            utf8 += (char)(0x80 | (codePoint >> 6 & 0x3F));
            utf8 += (char)(0x80 | (codePoint & 0x3F));
        }
    }
    return utf8;
}
