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

// The file table's place follows from the sizes of the fields before it.
TEST(PackageHeader, WorkedExampleLoadsEveryFieldAndLocatesFileTable) {
    HeaderFields fields;
    fields.strings = {std::string(25, 't'), std::string(10, 'p'), std::string(19, 'n'),
                      "1.2",                std::string(15, 'b'), std::string(19, 'f')};
    fields.directories = {"\\", "\\" + std::string(9, 'd')};
    fields.licence = std::string(1576, 'L');
    fields.fileCount = 11;
    Bytes package = packageWith(fields);
    Bytes file = installerFile(kProgram, package);
    ReadResult read = readFile(file);
    ASSERT_EQ(read.result, 1);
    const PackageHeader& h = *read.header;
    EXPECT_EQ(h.headerStringsSize, 115u);
    EXPECT_EQ(h.directoryListSize, 23u);
    EXPECT_EQ(h.licenceFieldSize, 1580u);
    EXPECT_EQ(fileTableOffset(&h), kProgram.size() + 1726);
    EXPECT_EQ(h.fileCount, 11u);
    EXPECT_EQ(h.packageSize, package.size());
    EXPECT_EQ(h.packageOffset, kProgram.size());
    EXPECT_EQ(h.installerFileSize, file.size());
    EXPECT_EQ(h.storedChecksum, referenceChecksum(file, file.size() - 4, checksumSeed));
    const char* strings[] = {h.installerTitle,  h.publisher,       h.productName,
                             h.productVersion, h.baseFolderToken, h.defaultFolderName};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(strings[i], fields.strings[i].c_str());
    EXPECT_EQ(h.displayName, fields.strings[2] + " 1.2");
    EXPECT_EQ(h.directoryCount, 2u);
    EXPECT_EQ(h.directories[1], fields.directories[1]);
    EXPECT_EQ(h.licenceText, fields.licence);
    EXPECT_EQ(h.requiredSpace, 1234u);
}

TEST(PackageHeader, RefusesContainersThatDoNotAddUp) {
    Bytes package = packageWith(HeaderFields());
    for (int delta : {-1, 1}) {
        SCOPED_TRACE(delta);
        ByteBuilder file;
        file.raw(kProgram).raw(package).u32((uint32_t)(package.size() + delta));
        EXPECT_EQ(readFile(file.u32((uint32_t)kProgram.size()).u32(0).bytes).result, 0);
    }
    // Offset and size that add up to the length only in 32-bit arithmetic.
    ByteBuilder wrapped;
    wrapped.raw(kProgram).raw(package);
    wrapped.u32((uint32_t)package.size() + 0x80000000u).u32((uint32_t)kProgram.size() + 0x80000000u);
    EXPECT_EQ(readFile(wrapped.u32(0).bytes).result, 0);
    EXPECT_EQ(readFile(Bytes(11, 0)).result, 0);  // shorter than a trailer
    PackageHeader header;
    EXPECT_EQ(readPackageHeader("no-such-installer.exe", &header), 0);
    // The package stops short of the two counts; reading them would take the trailer.
    HeaderFields fields;
    Bytes header6 = fields.bytes();
    EXPECT_EQ(readFile(installerFile(kProgram, Bytes(header6.begin(), header6.end() - 6))).result, 0);
    fields.directoryWord = 200;  // more directories than follow
    EXPECT_EQ(readHeader(fields).result, 0);
}

// Each field at its limit reads; one byte more is refused rather than cut, as
// a cut would leave the reading inside the text and misplace every later field.
TEST(PackageHeader, StringLimitsAndEmptyStrings) {
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

    fields = HeaderFields();
    fields.strings = {"", "", "Product", "", "", ""};
    fields.licence = "";
    read = readHeader(fields);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(read.header->headerStringsSize, 6 * 4 + 7u);
    EXPECT_STREQ(read.header->displayName, "Product ");  // empty version: ends in a blank
    EXPECT_STREQ(read.header->licenceText, "");
    EXPECT_EQ(read.header->licenceFieldSize, 4u);
}

// Packages exist whose count word has upper bits set; only the low 8 count.
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

}  // namespace
