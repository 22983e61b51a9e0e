// The uninstall list: what the writer puts into the uninstaller, what the
// reader accepts, and that nothing damaged or unsafe gets through.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "package/package_bytes.h"
#include "package/package_format.h"
#include "uninstaller/format/package_uninstall_data.h"
#include "uninstaller/format/uninstall_format.h"
#include "uninstaller/format/uninstall_writer.h"

using namespace package_bytes;

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

const Bytes program = {'M', 'Z', 1, 2, 3, 4, 5, 6, 7, 8, 9};

// A list written by hand, so that the reader meets what the writer refuses.
Bytes handList(const std::string& directory, uint32_t index, const std::string& fileName) {
    return ByteBuilder().u32(1).counted("Product").counted("Maker Product 1")
        .u32(2).counted("\\").counted(directory)
        .u32(1).u32(index).counted(fileName)
        .u32(0).counted("").u32(0).bytes;
}

bool parses(const Bytes& bytes) {
    UninstallList list;
    int ok = parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list);
    freeUninstallList(&list);
    return ok == 1;
}

// Reads the file holding bytes; gives the result, the problem and the file count.
int readFile(const Bytes& bytes, UninstallProblem* problem, uint32_t* fileCount = nullptr) {
    TempFile file("uninstaller.exe", bytes);
    UninstallList list;
    int ok = readUninstallFile(file.path.c_str(), &list, problem);
    if (fileCount) *fileCount = list.fileCount;
    EXPECT_EQ(list.block == nullptr, ok == 0);  // a refused file leaves nothing owned
    freeUninstallList(&list);
    return ok;
}

TEST(UninstallList, ReadsBackWhatTheWriterWrote) {
    const Bytes bytes = encodeUninstallList(sampleData());
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

    UninstallData minimal;  // no files, shortcuts or group
    minimal.productName = "P";
    minimal.keyName = "M P 1";
    minimal.directories = {"\\"};
    const Bytes small = encodeUninstallList(minimal);
    ASSERT_EQ(parseUninstallList(small.data(), (uint32_t)small.size(), &list), 1);
    EXPECT_EQ(list.fileCount, 0u);
    EXPECT_STREQ(list.groupName, "");
    freeUninstallList(&list);
}

TEST(UninstallList, EveryTruncationAnyExtraByteAndHugeCountsAreRefused) {
    Bytes bytes = encodeUninstallList(sampleData());
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(parses(Bytes(bytes.begin(), bytes.begin() + size))) << size;
    bytes.push_back(0);
    EXPECT_FALSE(parses(bytes));
    // Counts the remaining bytes cannot hold fail without reading past the end.
    // The file count sits after version, two strings, the directory count and two directories.
    const size_t fileCountAt = 4 + (4 + 7) + (4 + 15) + 4 + (4 + 1) + (4 + 3);
    bytes = handList("\\a\\", 1, "f");
    EXPECT_TRUE(parses(bytes));
    for (uint32_t count : {2u, 0x10000000u, 0xFFFFFFFFu}) {
        Bytes changed = bytes;
        for (int k = 0; k < 4; ++k) changed[fileCountAt + k] = (uint8_t)(count >> (8 * k));
        EXPECT_FALSE(parses(changed)) << count;
    }
}

TEST(UninstallList, UnsafeNamesAndFoldersAreRefusedByTheReader) {
    EXPECT_TRUE(parses(handList("\\a\\b\\", 1, "file.txt")));
    for (const char* folder : {"\\a\\..\\", "\\..", "C:\\a\\", "\\a:b\\", "\\a\\\\b\\", "\\a/b\\", "a\\"})
        EXPECT_FALSE(parses(handList(folder, 1, "file.txt"))) << folder;
    EXPECT_FALSE(parses(handList("\\a\\", 2, "file.txt")));  // no directory 2
    for (const char* name : {"", "..", ". .", "a\\b", "a/b", "c:x", "x:", "*.txt", "a?", "tab\there", "a|b"})
        EXPECT_FALSE(parses(handList("\\a\\", 1, name))) << name;
    EXPECT_FALSE(parses(handList("\\a\\", 1, std::string("a\0b", 3))));
    EXPECT_TRUE(parses(handList("\\a\\", 1, std::string(259, 'n'))));
    EXPECT_FALSE(parses(handList("\\a\\", 1, std::string(260, 'n'))));

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
    refuses([](UninstallData* d) { d->keyName.clear(); });
    refuses([](UninstallData* d) { d->keyName = "Maker\\Product"; });
    refuses([](UninstallData* d) { d->keyName = "Maker\tProduct 1"; });
    refuses([](UninstallData* d) { d->directories[0] = "\\x\\"; });
    refuses([](UninstallData* d) { d->directories[2] = "\\..\\..\\Windows\\"; });
    refuses([](UninstallData* d) { d->files[0].name = "..\\boot.ini"; });
    refuses([](UninstallData* d) { d->files[0].directoryIndex = 4; });
    refuses([](UninstallData* d) { d->shortcuts[0].name = "C:\\x"; });
    refuses([](UninstallData* d) { d->groupName = "..\\Startup"; });
    refuses([](UninstallData* d) { d->groupFolders[0].items[0] = std::string(260, 'i'); });
    refuses([](UninstallData* d) { d->groupName.clear(); });
    refuses([](UninstallData* d) { d->directories.resize(256, "\\d"); });
    EXPECT_THROW(buildUninstaller({}, sampleData()), std::invalid_argument);
    // Key names may hold anything but backslashes and controls.
    UninstallData data = sampleData();
    data.keyName = "AT&T \"Tools\" <Pro>: 2.0*";
    EXPECT_NO_THROW(encodeUninstallList(data));
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
    trailing.groupFolders = {{"\\", {{"\\readme.txt", "Readme"}}},
                             {"\\Documents\\", {{"\\bin\\tool.bat", "Tool"}}}};
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
    const Bytes file = buildUninstaller(program, sampleData());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + program.size()), program);
    TempFile written("whole.exe", file);
    EXPECT_EQ(wordAt(file, file.size() - 4),
              computeFileChecksum(written.path.c_str(), (uint32_t)file.size() - 4, checksumSeed));
    UninstallProblem problem = kUninstallDamaged;
    uint32_t fileCount = 0;
    ASSERT_EQ(readFile(file, &problem, &fileCount), 1);
    EXPECT_EQ(problem, kUninstallNoProblem);
    EXPECT_EQ(fileCount, 4u);
    // The same rule over bytes in memory, for every length of final partial word.
    for (size_t length = 1; length <= 10; ++length)
        EXPECT_EQ(checksumOfBytes(file.data(), length, checksumSeed),
                  computeFileChecksum(written.path.c_str(), (uint32_t)length, checksumSeed))
            << length;
}

TEST(UninstallerFile, AnyChangedByteMakesItDamaged) {
    const Bytes file = buildUninstaller(program, sampleData());
    for (size_t at = 0; at < file.size(); ++at) {
        Bytes changed = file;
        changed[at] ^= 0x41;
        UninstallProblem problem = kUninstallNoProblem;
        EXPECT_EQ(readFile(changed, &problem), 0) << at;
        EXPECT_EQ(problem, kUninstallDamaged) << at;
    }
}

TEST(UninstallerFile, FilesThatAreNoUninstaller) {
    UninstallProblem problem;
    EXPECT_EQ(readFile(Bytes(4096, 0x90), &problem), 0);  // a bare program
    EXPECT_EQ(problem, kUninstallDamaged);
    EXPECT_EQ(readFile(Bytes(15, 0), &problem), 0);  // shorter than a trailer
    EXPECT_EQ(problem, kUninstallCannotOpen);
    UninstallList list;
    EXPECT_EQ(readUninstallFile(TempFile("missing.exe").path.c_str(), &list, &problem), 0);
    EXPECT_EQ(problem, kUninstallCannotOpen);

    // Move the list one byte: offset + size + 16 no longer equals the length,
    // even with the checksum made right again.
    Bytes file = buildUninstaller(program, sampleData());
    file[file.size() - 12] += 1;
    uint32_t sum = checksumOfBytes(file.data(), file.size() - 4, checksumSeed);
    for (int k = 0; k < 4; ++k) file[file.size() - 4 + k] = (uint8_t)(sum >> (8 * k));
    EXPECT_EQ(readFile(file, &problem), 0);
    EXPECT_EQ(problem, kUninstallDamaged);
}

}  // namespace
