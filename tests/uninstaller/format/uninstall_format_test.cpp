// The uninstall list: what the writer puts into the uninstaller, what the
// reader accepts, and that nothing damaged or unsafe gets through.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "uninstaller/format/uninstall_format.h"
#include "uninstaller/format/package_uninstall_data.h"
#include "uninstaller/format/uninstall_writer.h"

namespace {

UninstallData sampleData() {
    UninstallData data;
    data.productName = "Full Product";
    data.keyName = "E2E Tests Full Product 1.0";
    data.directories = {"\\", "\\bin\\", "\\docs\\", "\\docs\\guide\\"};
    data.files = {{0, "readme.txt"}, {1, "tool.bat"}, {1, "data.bin"}, {3, "deep.txt"}};
    data.shortcuts = {{"{DESKTOP}", "Full Tool"}};
    data.groupName = "E2E Full Product";
    data.groupFolders = {{"\\", {"Readme"}}, {"\\Documents", {"Guide", "Guide 2"}}, {"\\Empty", {}}};
    return data;
}

const std::vector<uint8_t> program = {'M', 'Z', 1, 2, 3, 4, 5, 6, 7, 8, 9};

std::string tempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("halv-uninstall-") + name)).string();
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
}

void putWord(std::vector<uint8_t>* out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back((uint8_t)(value >> shift));
}

void putString(std::vector<uint8_t>* out, const std::string& text) {
    putWord(out, (uint32_t)text.size());
    out->insert(out->end(), text.begin(), text.end());
}

// A list written by hand, so that the reader meets what the writer refuses.
std::vector<uint8_t> handList(const std::string& directory, uint32_t index, const std::string& fileName) {
    std::vector<uint8_t> out;
    putWord(&out, 1);
    putString(&out, "Product");
    putString(&out, "Maker Product 1");
    putWord(&out, 2);
    putString(&out, "\\");
    putString(&out, directory);
    putWord(&out, 1);
    putWord(&out, index);
    putString(&out, fileName);
    putWord(&out, 0);
    putString(&out, "");
    putWord(&out, 0);
    return out;
}

bool parses(const std::vector<uint8_t>& bytes) {
    UninstallList list;
    int ok = parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list);
    freeUninstallList(&list);
    return ok == 1;
}

TEST(UninstallList, ReadsBackWhatTheWriterWrote) {
    const std::vector<uint8_t> bytes = encodeUninstallList(sampleData());
    UninstallList list;
    ASSERT_EQ(parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list), 1);
    EXPECT_STREQ(list.productName, "Full Product");
    EXPECT_STREQ(list.keyName, "E2E Tests Full Product 1.0");
    ASSERT_EQ(list.directoryCount, 4u);
    EXPECT_STREQ(list.directories[3], "\\docs\\guide\\");
    ASSERT_EQ(list.fileCount, 4u);
    EXPECT_EQ(list.files[3].directoryIndex, 3u);
    EXPECT_STREQ(list.files[3].name, "deep.txt");
    ASSERT_EQ(list.shortcutCount, 1u);
    EXPECT_STREQ(list.shortcuts[0].location, "{DESKTOP}");
    EXPECT_STREQ(list.shortcuts[0].name, "Full Tool");
    EXPECT_STREQ(list.groupName, "E2E Full Product");
    ASSERT_EQ(list.groupFolderCount, 3u);
    EXPECT_STREQ(list.groupFolders[1].folder, "\\Documents");
    ASSERT_EQ(list.groupFolders[1].itemCount, 2u);
    EXPECT_STREQ(list.groupFolders[1].items[1], "Guide 2");
    EXPECT_EQ(list.groupFolders[2].itemCount, 0u);
    freeUninstallList(&list);
    EXPECT_EQ(list.block, nullptr);
}

TEST(UninstallList, MinimalListWithoutFilesShortcutsOrGroup) {
    UninstallData data;
    data.productName = "P";
    data.keyName = "M P 1";
    data.directories = {"\\"};
    const std::vector<uint8_t> bytes = encodeUninstallList(data);
    UninstallList list;
    ASSERT_EQ(parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list), 1);
    EXPECT_EQ(list.fileCount, 0u);
    EXPECT_STREQ(list.groupName, "");
    freeUninstallList(&list);
}

TEST(UninstallList, EveryTruncationAndAnyExtraByteIsRefused) {
    std::vector<uint8_t> bytes = encodeUninstallList(sampleData());
    for (size_t size = 0; size < bytes.size(); ++size) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        EXPECT_FALSE(parses(cut)) << size;
    }
    bytes.push_back(0);
    EXPECT_FALSE(parses(bytes));
}

TEST(UninstallList, HugeCountsFailWithoutReadingPastTheEnd) {
    std::vector<uint8_t> bytes = handList("\\a\\", 1, "f");
    // The file count sits after version, two strings, the directory count and two directories.
    const size_t fileCountAt = 4 + (4 + 7) + (4 + 15) + 4 + (4 + 1) + (4 + 3);
    for (uint32_t count : {2u, 0x10000000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> changed = bytes;
        for (int k = 0; k < 4; ++k) changed[fileCountAt + k] = (uint8_t)(count >> (8 * k));
        EXPECT_FALSE(parses(changed)) << count;
    }
    EXPECT_TRUE(parses(bytes));
}

TEST(UninstallList, UnsafeNamesAndFoldersAreRefusedByTheReader) {
    EXPECT_TRUE(parses(handList("\\a\\b\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\a\\..\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\..", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("C:\\a\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\a:b\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\a\\\\b\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\a/b\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("a\\", 1, "file.txt")));
    EXPECT_FALSE(parses(handList("\\a\\", 2, "file.txt")));
    for (const char* name : {"", "..", ". .", "a\\b", "a/b", "c:x", "x:", "*.txt", "a?", "tab\there", "a|b"})
        EXPECT_FALSE(parses(handList("\\a\\", 1, name))) << name;
    EXPECT_FALSE(parses(handList("\\a\\", 1, std::string("a\0b", 3))));
    EXPECT_TRUE(parses(handList("\\a\\", 1, std::string(259, 'n'))));
    EXPECT_FALSE(parses(handList("\\a\\", 1, std::string(260, 'n'))));
}

TEST(UninstallList, FolderRules) {
    for (const char* folder : {"\\", "\\a", "\\a\\", "\\a b\\c.d\\", "\\...a\\"})
        EXPECT_EQ(isUninstallFolder(folder), 1) << folder;
    for (const char* folder : {"", "a", "\\\\", "\\a\\\\", "\\.\\", "\\a\\..", "/a", "\\a:\\"})
        EXPECT_EQ(isUninstallFolder(folder), 0) << folder;
    EXPECT_EQ(isUninstallFolder(nullptr), 0);
}

TEST(UninstallList, WriterRefusesWhatTheReaderWouldRefuse) {
    auto refuses = [](void (*change)(UninstallData*)) {
        UninstallData data = sampleData();
        change(&data);
        EXPECT_THROW(encodeUninstallList(data), std::invalid_argument);
    };
    refuses([](UninstallData* d) { d->productName.clear(); });
    refuses([](UninstallData* d) { d->keyName = "Maker\\Product"; });
    refuses([](UninstallData* d) { d->directories[0] = "\\x\\"; });
    refuses([](UninstallData* d) { d->directories[2] = "\\..\\..\\Windows\\"; });
    refuses([](UninstallData* d) { d->files[0].name = "..\\boot.ini"; });
    refuses([](UninstallData* d) { d->files[0].directoryIndex = 4; });
    refuses([](UninstallData* d) { d->shortcuts[0].name = "C:\\x"; });
    refuses([](UninstallData* d) { d->groupName = "..\\Startup"; });
    refuses([](UninstallData* d) { d->groupFolders[0].items[0] = std::string(260, 'i'); });
    refuses([](UninstallData* d) { d->groupName.clear(); });
    refuses([](UninstallData* d) { d->directories.resize(256, "\\d"); });
}

TEST(UninstallList, KeyNamesMayHoldAnythingButBackslashesAndControls) {
    UninstallData data = sampleData();
    data.keyName = "AT&T \"Tools\" <Pro>: 2.0*";
    EXPECT_NO_THROW(encodeUninstallList(data));
    for (const char* key : {"", "Maker\\Product 1", "Maker\tProduct 1"}) {
        data.keyName = key;
        EXPECT_THROW(encodeUninstallList(data), std::invalid_argument) << key;
    }
}

TEST(UninstallList, MadeFromThePackageWritersRecords) {
    PackageHeaderFields header;
    header.publisher = "E2E Tests";
    header.productName = "Full Product";
    header.productVersion = "1.0";
    header.directories = {"\\", "\\bin\\"};
    TrailingData trailing;
    trailing.shortcuts = {{"\\bin\\tool.bat", "{DESKTOP}", "Full Tool"}};
    trailing.programGroupName = "E2E Full Product";
    trailing.groupFolders = {{"\\", {{"\\readme.txt", "Readme"}}}, {"\\Documents\\", {{"\\bin\\tool.bat", "Tool"}}}};
    trailing.websiteUrl = "https://example.org/";
    const UninstallData data = uninstallDataFor(header, {{0, "readme.txt"}, {1, "tool.bat"}}, trailing);
    EXPECT_EQ(data.productName, "Full Product");
    EXPECT_EQ(data.keyName, "E2E Tests Full Product 1.0");
    EXPECT_EQ(data.directories, header.directories);
    ASSERT_EQ(data.files.size(), 2u);
    EXPECT_EQ(data.files[1].directoryIndex, 1u);
    ASSERT_EQ(data.shortcuts.size(), 1u);
    EXPECT_EQ(data.shortcuts[0].location, "{DESKTOP}");
    EXPECT_EQ(data.shortcuts[0].name, "Full Tool");
    ASSERT_EQ(data.groupFolders.size(), 2u);
    EXPECT_EQ(data.groupFolders[1].folder, "\\Documents\\");
    EXPECT_EQ(data.groupFolders[1].items, std::vector<std::string>{"Tool"});
    EXPECT_FALSE(encodeUninstallList(data).empty());
}

TEST(UninstallerFile, BuiltFileReadsBackAndItsChecksumIsThePackageRule) {
    const std::vector<uint8_t> file = buildUninstaller(program, sampleData());
    const std::string path = tempPath("whole.exe");
    writeBytes(path, file);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + program.size()), program);
    uint32_t stored = 0;
    for (int k = 0; k < 4; ++k) stored |= (uint32_t)file[file.size() - 4 + k] << (8 * k);
    EXPECT_EQ(stored, computeFileChecksum(path.c_str(), (uint32_t)file.size() - 4, checksumSeed));
    UninstallList list;
    UninstallProblem problem = kUninstallDamaged;
    ASSERT_EQ(readUninstallFile(path.c_str(), &list, &problem), 1);
    EXPECT_EQ(problem, kUninstallNoProblem);
    EXPECT_EQ(list.fileCount, 4u);
    freeUninstallList(&list);
    std::remove(path.c_str());
}

TEST(UninstallerFile, AnyChangedByteMakesItDamaged) {
    const std::vector<uint8_t> file = buildUninstaller(program, sampleData());
    const std::string path = tempPath("changed.exe");
    for (size_t at = 0; at < file.size(); ++at) {
        std::vector<uint8_t> changed = file;
        changed[at] ^= 0x41;
        writeBytes(path, changed);
        UninstallList list;
        UninstallProblem problem = kUninstallNoProblem;
        EXPECT_EQ(readUninstallFile(path.c_str(), &list, &problem), 0) << at;
        EXPECT_EQ(problem, kUninstallDamaged) << at;
        EXPECT_EQ(list.block, nullptr);
    }
    std::remove(path.c_str());
}

TEST(UninstallerFile, BareProgramShortFileAndMissingFile) {
    const std::string path = tempPath("bare.exe");
    UninstallList list;
    UninstallProblem problem;
    writeBytes(path, std::vector<uint8_t>(4096, 0x90));
    EXPECT_EQ(readUninstallFile(path.c_str(), &list, &problem), 0);
    EXPECT_EQ(problem, kUninstallDamaged);
    writeBytes(path, std::vector<uint8_t>(15, 0));
    EXPECT_EQ(readUninstallFile(path.c_str(), &list, &problem), 0);
    EXPECT_EQ(problem, kUninstallCannotOpen);
    std::remove(path.c_str());
    EXPECT_EQ(readUninstallFile(path.c_str(), &list, &problem), 0);
    EXPECT_EQ(problem, kUninstallCannotOpen);
}

TEST(UninstallerFile, TrailerThatDoesNotDescribeTheFileIsDamaged) {
    std::vector<uint8_t> file = buildUninstaller(program, sampleData());
    const std::string path = tempPath("geometry.exe");
    // Move the list one byte: offset + size + 16 no longer equals the length,
    // even with the checksum made right again.
    const size_t offsetAt = file.size() - 12;
    file[offsetAt] += 1;
    std::vector<uint8_t> covered(file.begin(), file.end() - 4);
    uint32_t sum = checksumOfBytes(covered.data(), covered.size(), checksumSeed);
    for (int k = 0; k < 4; ++k) file[file.size() - 4 + k] = (uint8_t)(sum >> (8 * k));
    writeBytes(path, file);
    UninstallList list;
    UninstallProblem problem;
    EXPECT_EQ(readUninstallFile(path.c_str(), &list, &problem), 0);
    EXPECT_EQ(problem, kUninstallDamaged);
    std::remove(path.c_str());
}

TEST(UninstallerFile, ChecksumOfBytesMatchesTheFileRuleForEveryTail) {
    const std::string path = tempPath("tail.bin");
    const std::vector<uint8_t> bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    writeBytes(path, bytes);
    for (size_t length = 1; length <= bytes.size(); ++length)
        EXPECT_EQ(checksumOfBytes(bytes.data(), length, checksumSeed),
                  computeFileChecksum(path.c_str(), (uint32_t)length, checksumSeed))
            << length;
    std::remove(path.c_str());
}

TEST(UninstallerFile, EmptyProgramIsRefused) {
    EXPECT_THROW(buildUninstaller({}, sampleData()), std::invalid_argument);
}

}  // namespace
