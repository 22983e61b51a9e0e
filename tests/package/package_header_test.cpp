#include "package/package_format.h"

#include <gtest/gtest.h>

#include <string.h>

#include <memory>

#include "package_bytes.h"

using namespace package_bytes;

namespace {

const Bytes kProgram(1000, 0x90);

// PackageHeader is large (the directory table alone is 66 KB): keep it off the stack.
struct ReadResult {
    int result = 0;
    std::unique_ptr<PackageHeader> header{new PackageHeader};
};

ReadResult readFile(const Bytes& file) {
    TempFile installer("setup.exe", file);
    ReadResult read;
    read.result = readPackageHeader(installer.path.c_str(), read.header.get());
    return read;
}

// A package: the header, then some file-table bytes for it to point at.
Bytes packageWith(const HeaderFields& fields) {
    return ByteBuilder().raw(fields.bytes()).raw(Bytes(40, 0xAB)).bytes;
}

ReadResult readHeader(const HeaderFields& fields) {
    return readFile(installerFile(kProgram, packageWith(fields)));
}

TEST(PackageHeader, WorkedExampleLocatesFileTable) {
    HeaderFields fields;
    fields.strings = {std::string(25, 't'), std::string(10, 'p'), std::string(19, 'n'),
                      "1.2",                std::string(15, 'b'), std::string(19, 'f')};
    fields.directories = {"\\", "\\" + std::string(9, 'd')};
    fields.licence = std::string(1576, 'L');
    fields.fileCount = 11;
    ReadResult read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    const PackageHeader& h = *read.header;
    EXPECT_EQ(h.headerStringsSize, 115u);
    EXPECT_EQ(h.directoryListSize, 23u);
    EXPECT_EQ(h.licenceFieldSize, 1580u);
    EXPECT_EQ(fileTableOffset(&h), kProgram.size() + 1726);
    EXPECT_EQ(h.fileCount, 11u);
}

TEST(PackageHeader, LoadsEveryField) {
    HeaderFields fields;
    Bytes package = packageWith(fields);
    Bytes file = installerFile(kProgram, package);
    ReadResult read = readFile(file);
    ASSERT_EQ(read.result, 1);
    const PackageHeader& h = *read.header;
    EXPECT_EQ(h.packageSize, package.size());
    EXPECT_EQ(h.packageOffset, kProgram.size());
    EXPECT_EQ(h.installerFileSize, file.size());
    EXPECT_EQ(h.storedChecksum, referenceChecksum(file, file.size() - 4, checksumSeed));
    EXPECT_STREQ(h.installerTitle, "Sample Setup");
    EXPECT_STREQ(h.publisher, "Sample Works");
    EXPECT_STREQ(h.productName, "Sample Product");
    EXPECT_STREQ(h.productVersion, "1.0");
    EXPECT_STREQ(h.baseFolderToken, "{PROGRAM_FILES}");
    EXPECT_STREQ(h.defaultFolderName, "Sample Product");
    EXPECT_STREQ(h.displayName, "Sample Product 1.0");
    EXPECT_EQ(h.directoryCount, 2u);
    EXPECT_STREQ(h.directories[0], "\\");
    EXPECT_STREQ(h.directories[1], "\\docs");
    EXPECT_STREQ(h.licenceText, "Licence text\r\n");
    EXPECT_EQ(h.requiredSpace, 1234u);
    EXPECT_EQ(fileTableOffset(&h), kProgram.size() + fields.bytes().size());
}

TEST(PackageHeader, TrailerMustDescribeTheFileExactly) {
    Bytes package = packageWith(HeaderFields());
    for (int delta : {-1, 1}) {
        SCOPED_TRACE(delta);
        ByteBuilder file;
        file.raw(kProgram).raw(package).u32((uint32_t)(package.size() + delta));
        file.u32((uint32_t)kProgram.size()).u32(0);
        EXPECT_EQ(readFile(file.bytes).result, 0);
    }
    // Offset and size that add up to the length only in 32-bit arithmetic.
    ByteBuilder wrapped;
    wrapped.raw(kProgram).raw(package);
    wrapped.u32((uint32_t)package.size() + 0x80000000u).u32((uint32_t)kProgram.size() + 0x80000000u);
    EXPECT_EQ(readFile(wrapped.u32(0).bytes).result, 0);
    EXPECT_EQ(readFile(Bytes(11, 0)).result, 0);  // shorter than a trailer
    PackageHeader header;
    EXPECT_EQ(readPackageHeader("no-such-installer.exe", &header), 0);
}

TEST(PackageHeader, EmptyStringsAndEmptyLicence) {
    HeaderFields fields;
    fields.strings = {"", "", "Product", "", "", ""};
    fields.licence = "";
    ReadResult read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(read.header->headerStringsSize, 6 * 4 + 7u);
    EXPECT_STREQ(read.header->displayName, "Product ");  // empty version: ends in a blank
    EXPECT_STREQ(read.header->licenceText, "");
    EXPECT_EQ(read.header->licenceFieldSize, 4u);
}

TEST(PackageHeader, StringLimits) {
    HeaderFields fields;
    fields.strings[3] = std::string(259, 'v');
    fields.strings[2] = std::string(259, 'n');
    ReadResult read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(strlen(read.header->displayName), 259u + 1 + 259);
    fields.strings[5] = std::string(260, 'f');
    EXPECT_EQ(readHeader(fields).result, 0);

    fields = HeaderFields();
    fields.directories[1] = "\\" + std::string(259, 'd');
    read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(strlen(read.header->directories[1]), 260u);
    fields.directories[1] += "d";
    EXPECT_EQ(readHeader(fields).result, 0);

    fields = HeaderFields();
    fields.licence = std::string(16384, 'L');
    read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(read.header->licenceFieldSize, 16388u);
    fields.licence += "L";
    EXPECT_EQ(readHeader(fields).result, 0);
}

TEST(PackageHeader, DirectoryCountIsLowEightBits) {
    HeaderFields fields;
    fields.directoryWord = 0x12345602;
    ReadResult read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(read.header->directoryCount, 2u);
    EXPECT_STREQ(read.header->directories[1], "\\docs");

    fields.directoryWord = 255;
    fields.directories.assign(255, "\\d");
    read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(read.header->directoryCount, 255u);
    EXPECT_EQ(read.header->directoryListSize, 4 + 255 * 6u);
}

TEST(PackageHeader, HeaderMustEndInsideThePackage) {
    HeaderFields fields;
    Bytes header = fields.bytes();
    // The package stops short of the two counts; reading them would take the trailer.
    Bytes shortPackage(header.begin(), header.end() - 6);
    EXPECT_EQ(readFile(installerFile(kProgram, shortPackage)).result, 0);
    // A directory count larger than the entries that follow.
    fields.directoryWord = 200;
    EXPECT_EQ(readHeader(fields).result, 0);
}

TEST(CountedString, ReadsBoundedAndAccumulates) {
    Bytes content = ByteBuilder().counted("").counted("abc").counted("abcd").u32(10).text("xy").bytes;
    TempFile temp("strings.bin", content);
    FILE* file = fopen(temp.path.c_str(), "rb");
    char buffer[4] = "zzz";
    uint32_t size = 0;
    EXPECT_EQ(readCountedString(buffer, sizeof buffer, file, &size), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(readCountedString(buffer, sizeof buffer, file, &size), 1);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(readCountedString(buffer, sizeof buffer, file, &size), 0);  // 4 bytes do not fit in 4
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 11u);
    fclose(file);

    FILE* again = fopen(temp.path.c_str(), "rb");
    fseek(again, (long)content.size() - 6, SEEK_SET);
    char large[64];
    EXPECT_EQ(readCountedString(large, sizeof large, again, nullptr), 0);  // ends after 2 of 10
    EXPECT_STREQ(large, "");
    fclose(again);
}

}  // namespace
