#include "halvbuild/ansi_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(AnsiText, ConvertsLatinAndTheWindowsExtras) {
    EXPECT_EQ(toAnsi("Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8"), "Caf\xE9 \x80 \x93q\x94 \x9F");
    EXPECT_EQ(toAnsi(""), "");
}

TEST(AnsiText, RefusesWhatTheInstallerCannotShow) {
    EXPECT_THROW(toAnsi("\xE4\xB8\xAD"), std::invalid_argument);        // U+4E2D
    EXPECT_THROW(toAnsi("\xC2\x81"), std::invalid_argument);            // U+0081: unused in 1252
    EXPECT_THROW(toAnsi("bad \xE9 byte"), std::invalid_argument);       // not UTF-8
    EXPECT_THROW(toAnsi("\xC3"), std::invalid_argument);                // cut short
    EXPECT_THROW(toAnsi("\xC0\xAF"), std::invalid_argument);            // overlong '/'
    EXPECT_THROW(toAnsi(std::string("a\0b", 3)), std::invalid_argument);
}

TEST(AnsiText, RoundTripsEveryUsedByte) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D) all += (char)byte;
    EXPECT_EQ(toAnsi(fromAnsi(all)), all);
}

TEST(AnsiText, LicenceGetsCrLfLineEnds) {
    EXPECT_EQ(licenceToAnsi("a\nb\r\nc\rd\n\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(licenceToAnsi("\xEF\xBB\xBFna\xC3\xAFve\n"), "na\xEFve\r\n");
    // Bytes that are not UTF-8 are taken as Windows-1252 already.
    EXPECT_EQ(licenceToAnsi("na\xEFve\n"), "na\xEFve\r\n");
    EXPECT_THROW(licenceToAnsi(std::string("a\0b", 3)), std::invalid_argument);
}
