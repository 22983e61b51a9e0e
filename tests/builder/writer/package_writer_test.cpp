#include "writer/package_writer.h"

#include <stdint.h>
#include <stdio.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stream_check.h"
#include "writer/encoder.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Reads an installer file front to back as the installer does, failing the
// test on any read past the end.
class Cursor {
public:
    explicit Cursor(const std::vector<uint8_t>& file, size_t at = 0) : file_(file), at_(at) {}
    uint32_t u32() {
        if (at_ + 4 > file_.size()) {
            ADD_FAILURE() << "read past the end at " << at_;
            at_ = file_.size();
            return 0;
        }
        uint32_t value = file_[at_] | file_[at_ + 1] << 8 | file_[at_ + 2] << 16 |
                         (uint32_t)file_[at_ + 3] << 24;
        at_ += 4;
        return value;
    }
    std::vector<uint8_t> bytes(size_t size) {
        if (at_ + size > file_.size()) {
            ADD_FAILURE() << "read past the end at " << at_;
            at_ = file_.size();
            return {};
        }
        std::vector<uint8_t> out(file_.begin() + at_, file_.begin() + at_ + size);
        at_ += size;
        return out;
    }
    std::string text() {
        std::vector<uint8_t> raw = bytes(u32());
        return std::string(raw.begin(), raw.end());
    }
    size_t at() const { return at_; }

private:
    const std::vector<uint8_t>& file_;
    size_t at_;
};

// The checksum as the installer computes it: the seed XOR every
// little-endian word of the first length bytes, a last partial word masked.
uint32_t checksumOf(const std::vector<uint8_t>& file, size_t length) {
    uint32_t sum = 0x20552055u;
    for (size_t at = 0; at < length; at += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4 && at + k < length; ++k) word |= (uint32_t)file[at + k] << (8 * k);
        sum ^= word;
    }
    return sum;
}

PackageHeaderFields smallHeader() {
    PackageHeaderFields header;
    header.installerTitle = "Tiny Setup";
    header.publisher = "Tiny Works";
    header.productName = "Tiny";
    header.productVersion = "1.0";
    header.baseFolderToken = "{PROGRAM_FILES}";
    header.defaultFolderName = "Tiny";
    header.directories = {"\\"};
    header.fileCount = 1;
    header.requiredSpace = 4;
    return header;
}

TEST(PackageWriter, WritesTheWorkedFileRecord) {
    const std::vector<uint8_t> expected = {4, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0,
                                           0x61, 0x2E, 0x74, 0x78, 0x74, 0xC2, 0x88, 0x05, 0x00};
    for (bool encode : {false, true}) {
        std::vector<uint8_t> file;
        PackageWriter writer(&file);
        writer.writeHeader(smallHeader());
        const size_t recordStart = file.size();
        if (encode) {
            const std::vector<uint8_t> content = bytesOf("abab");
            writer.writeFile(0, "a.txt", content.data(), content.size());
        } else {
            writer.writeFileRecord(0, "a.txt", 4, {0xC2, 0x88, 0x05, 0x00});
        }
        EXPECT_EQ(std::vector<uint8_t>(file.begin() + recordStart, file.end()), expected);
        EXPECT_EQ(writer.offset(), file.size());
    }
}

TEST(PackageWriter, FileRecordsBeginAfterTheThreeHeaderSizes) {
    // Strings of 25, 10, 19, 3, 15 and 19 bytes (115), directories of 1 and
    // 10 bytes (23), a licence of 1576 bytes (1580), and the two counts.
    PackageHeaderFields header;
    header.installerTitle = std::string(25, 'T');
    header.publisher = std::string(10, 'P');
    header.productName = std::string(19, 'N');
    header.productVersion = "2.1";
    header.baseFolderToken = "{PROGRAM_FILES}";
    header.defaultFolderName = std::string(19, 'F');
    header.directories = {"\\", "\\Documents"};
    header.licenceText = std::string(1576, 'L');
    header.fileCount = 11;
    header.requiredSpace = 123456;
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    writer.writeHeader(header);
    ASSERT_EQ(file.size(), 1726u);
    Cursor cursor(file, 1726 - 8);
    EXPECT_EQ(cursor.u32(), 11u);
    EXPECT_EQ(cursor.u32(), 123456u);
}

InstallerContents sampleContents() {
    InstallerContents contents;
    contents.header = smallHeader();
    contents.header.directories = {"\\", "\\Docs", "\\Docs\\Deep"};
    contents.header.licenceText = "Terms.\r\nMore terms.\r\n";
    contents.header.requiredSpace = 90000;
    contents.files.push_back({0, "readme.txt", bytesOf("Read me, read me, read me.\r\n")});
    contents.files.push_back({2, "empty.dat", {}});
    contents.files.push_back({1, "big.bin", std::vector<uint8_t>(9000, 7)});
    contents.uninstaller = bytesOf("MZ uninstaller program bytes");
    contents.trailing.shortcuts = {{"\\readme.txt", "{DESKTOP}", "Read Me"},
                                   {"\\Docs\\big.bin", "{DESKTOP}", "Big"}};
    contents.trailing.programGroupName = "Tiny";
    contents.trailing.groupFolders = {
        {"\\", {{"\\readme.txt", "Read Me"}, {"\\HalvUninstaller.exe", "Uninstall"}}},
        {"\\Extras", {}}};
    contents.trailing.websiteUrl = "http://example.org/";
    contents.trailing.programToRun = "\\readme.txt";
    contents.trailing.helpFile = "";
    contents.trailing.finishText = "Done.";
    return contents;
}

void expectRecord(Cursor* cursor, uint32_t directoryIndex, const std::string& name,
                  const std::vector<uint8_t>& content) {
    const uint32_t compressedSize = cursor->u32();
    EXPECT_EQ(cursor->u32(), content.empty() ? 0u : content.size());
    EXPECT_EQ(cursor->u32(), directoryIndex);
    EXPECT_EQ(cursor->text(), name);
    std::vector<uint8_t> stream = cursor->bytes(compressedSize);
    if (content.empty()) {
        EXPECT_EQ(compressedSize, 0u) << name;
    } else {
        EXPECT_EQ(stream, encodeStream(content)) << name;
        EXPECT_EQ(expandThroughInstaller(stream, content.size()), content) << name;
    }
}

TEST(PackageWriter, LaysOutTheWholeInstallerFile) {
    const InstallerContents contents = sampleContents();
    const std::vector<uint8_t> program(1001, 0x4D);
    const std::vector<uint8_t> file = buildInstaller(program, contents);
    ASSERT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 1001), program);
    Cursor cursor(file, 1001);
    EXPECT_EQ(cursor.text(), "Tiny Setup");
    EXPECT_EQ(cursor.text(), "Tiny Works");
    EXPECT_EQ(cursor.text(), "Tiny");
    EXPECT_EQ(cursor.text(), "1.0");
    EXPECT_EQ(cursor.text(), "{PROGRAM_FILES}");
    EXPECT_EQ(cursor.text(), "Tiny");
    ASSERT_EQ(cursor.u32(), 3u);
    EXPECT_EQ(cursor.text(), "\\");
    EXPECT_EQ(cursor.text(), "\\Docs");
    EXPECT_EQ(cursor.text(), "\\Docs\\Deep");
    EXPECT_EQ(cursor.text(), contents.header.licenceText);
    EXPECT_EQ(cursor.u32(), 3u) << "file count taken from the files";
    EXPECT_EQ(cursor.u32(), 90000u);
    for (const FileEntry& entry : contents.files) expectRecord(&cursor, entry.directoryIndex, entry.name, entry.content);
    expectRecord(&cursor, 0, "HalvUninstaller.exe", contents.uninstaller);
    ASSERT_EQ(cursor.u32(), 2u);
    for (const ShortcutEntry& shortcut : contents.trailing.shortcuts) {
        EXPECT_EQ(cursor.text(), shortcut.target);
        EXPECT_EQ(cursor.text(), shortcut.location);
        EXPECT_EQ(cursor.text(), shortcut.name);
    }
    EXPECT_EQ(cursor.text(), "Tiny");
    ASSERT_EQ(cursor.u32(), 2u);
    EXPECT_EQ(cursor.text(), "\\");
    ASSERT_EQ(cursor.u32(), 2u);
    EXPECT_EQ(cursor.text(), "\\readme.txt");
    EXPECT_EQ(cursor.text(), "Read Me");
    EXPECT_EQ(cursor.text(), "\\HalvUninstaller.exe");
    EXPECT_EQ(cursor.text(), "Uninstall");
    EXPECT_EQ(cursor.text(), "\\Extras");
    EXPECT_EQ(cursor.u32(), 0u);
    EXPECT_EQ(cursor.text(), "http://example.org/");
    EXPECT_EQ(cursor.text(), "\\readme.txt");
    EXPECT_EQ(cursor.text(), "");
    EXPECT_EQ(cursor.text(), "Done.");
    // The trailer follows directly and ends the file.
    ASSERT_EQ(cursor.at() + 12, file.size());
    const uint32_t packageSize = cursor.u32();
    EXPECT_EQ(cursor.u32(), 1001u);
    EXPECT_EQ(packageSize, file.size() - 12 - 1001);
    EXPECT_EQ(cursor.u32(), checksumOf(file, file.size() - 4));
}

TEST(PackageWriter, ChecksumCoversPartialLastWords) {
    // Program sizes 0 to 3 put every remainder of (length - 4) mod 4.
    for (size_t programSize = 0; programSize < 4; ++programSize) {
        std::vector<uint8_t> program(programSize, 0xE9);
        std::vector<uint8_t> file = buildInstaller(program, sampleContents());
        Cursor cursor(file, file.size() - 12);
        cursor.u32();
        EXPECT_EQ(cursor.u32(), programSize);
        EXPECT_EQ(cursor.u32(), checksumOf(file, file.size() - 4)) << "program size " << programSize;
    }
}

TEST(PackageWriter, FileOutputEqualsMemoryOutput) {
    const InstallerContents contents = sampleContents();
    const std::vector<uint8_t> program = bytesOf("MZ a small installer program");
    const std::string programPath = tempPath("program.exe");
    const std::string outputPath = tempPath("setup.exe");
    writeWholeFile(programPath, program);
    FILE* programFile = fopen(programPath.c_str(), "rb");
    FILE* output = fopen(outputPath.c_str(), "wb");
    ASSERT_TRUE(programFile && output);
    PackageWriter writer(output);
    writer.copyProgram(programFile);
    fclose(programFile);
    PackageHeaderFields header = contents.header;
    header.fileCount = (uint32_t)contents.files.size();
    writer.writeHeader(header);
    for (const FileEntry& entry : contents.files) {
        writer.writeFile(entry.directoryIndex, entry.name, entry.content.data(), entry.content.size());
    }
    writer.writeUninstaller(contents.uninstaller.data(), contents.uninstaller.size());
    writer.writeTrailingData(contents.trailing);
    const WrittenTrailer trailer = writer.finish();
    fclose(output);

    const std::vector<uint8_t> expected = buildInstaller(program, contents);
    FILE* written = fopen(outputPath.c_str(), "rb");
    ASSERT_NE(written, nullptr);
    std::vector<uint8_t> actual(expected.size() + 1);
    actual.resize(fread(actual.data(), 1, actual.size(), written));
    fclose(written);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(trailer.packageOffset, program.size());
    EXPECT_EQ(trailer.packageSize, expected.size() - program.size() - 12);
    EXPECT_EQ(trailer.checksum, checksumOf(expected, expected.size() - 4));
    remove(programPath.c_str());
    remove(outputPath.c_str());
}

}  // namespace
