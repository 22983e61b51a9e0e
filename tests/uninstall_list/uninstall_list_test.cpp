// The uninstall list: what the writer puts into the uninstaller, what the
// reader accepts, and that nothing damaged or unsafe gets through.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/package_bytes.h"
#include "uninstall_list/uninstall_list.h"
#include "writer/uninstall_writer.h"

using namespace package_bytes;

namespace {

UninstallData sampleData() {
    UninstallData data;
    data.productName = "Full Product";
    data.keyName = "AT&T \"Tools\" <Pro>: 2.0*";  // anything but backslashes and controls
    data.directories = {"\\", "\\bin\\", "\\docs\\", "\\docs\\guide\\"};
    data.files = {{0, "readme.txt"}, {1, "tool.bat"}, {3, "deep.txt"}};
    data.shortcuts = {{"{DESKTOP}", "Full Tool"}};
    data.groupName = "E2E Full Product";
    data.groupFolders = {{"\\", {"Readme"}}, {"\\Documents", {"Guide", "Guide 2"}}, {"\\Empty", {}}};
    return data;
}

// A list written by hand, so that the reader meets what the writer refuses.
Bytes handList(const std::string& directory, uint32_t index, const std::string& name) {
    return ByteBuilder().u32(1).counted("Product").counted("Maker Product 1").u32(2).counted("\\").counted(directory)
        .u32(1).u32(index).counted(name).u32(0).counted("").u32(0).bytes;
}

bool parses(const Bytes& bytes) {
    UninstallList list;
    int ok = parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list);
    EXPECT_EQ(list.block == nullptr, ok == 0) << "a refused list owns nothing";
    freeUninstallList(&list);
    return ok == 1;
}

TEST(UninstallList, ReadsBackWhatTheWriterWroteAndNotOneByteLessOrMore) {
    const Bytes bytes = encodeUninstallList(sampleData());
    UninstallList list;
    ASSERT_EQ(parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list), 1);
    ASSERT_TRUE(list.directoryCount == 4 && list.fileCount == 3 && list.shortcutCount == 1 && list.groupFolderCount == 3 &&
                list.groupFolders[1].itemCount == 2);
    EXPECT_EQ(std::string(list.keyName) + "|" + list.directories[3] + "|" + std::to_string(list.files[2].directoryIndex) +
                  list.files[2].name + "|" + list.shortcuts[0].name + "|" + list.groupName + "|" + list.groupFolders[1].items[1],
              sampleData().keyName + "|\\docs\\guide\\|3deep.txt|Full Tool|E2E Full Product|Guide 2");
    freeUninstallList(&list);
    for (size_t size = 0; size < bytes.size(); ++size) EXPECT_FALSE(parses(Bytes(bytes.begin(), bytes.begin() + size))) << size;
    EXPECT_FALSE(parses(ByteBuilder().raw(bytes).raw({0}).bytes));
    // Counts that the remaining bytes cannot hold fail without reading past the end.
    const size_t fileCountAt = 4 + (4 + 7) + (4 + 15) + 4 + (4 + 1) + (4 + 3);
    for (uint32_t count : {2u, 0x10000000u, 0xFFFFFFFFu}) {
        Bytes changed = handList("\\a\\", 1, "f");
        for (int k = 0; k < 4; ++k) changed[fileCountAt + k] = (uint8_t)(count >> (8 * k));
        EXPECT_FALSE(parses(changed)) << count;
    }
}

TEST(UninstallList, UnsafeNamesAndFoldersAreRefusedByReaderAndWriter) {
    EXPECT_TRUE(parses(handList("\\a\\b\\", 1, std::string(259, 'n'))));
    for (const char* folder : {"\\a\\..\\", "\\. .", "C:\\a\\", "\\a:b\\", "\\a\\\\b\\", "\\a/b\\", "a\\"})
        EXPECT_FALSE(parses(handList(folder, 1, "file.txt"))) << folder;
    for (const std::string& name : std::vector<std::string>{"", "..", ". .", "a\\b", "a/b", "x:", "*.txt", "a?", "tab\there", "a|b",
                                   std::string("a\0b", 3), std::string(260, 'n')})
        EXPECT_FALSE(parses(handList("\\a\\", 1, name))) << name;
    EXPECT_FALSE(parses(handList("\\a\\", 2, "file.txt")));  // no directory 2

    void (*const changes[])(UninstallData*) = {
        [](UninstallData* d) { d->productName.clear(); },
        [](UninstallData* d) { d->keyName = "Maker\\Product"; },
        [](UninstallData* d) { d->keyName = "Maker\tProduct 1"; },
        [](UninstallData* d) { d->directories[0] = "\\x\\"; },
        [](UninstallData* d) { d->directories[2] = "\\..\\..\\Windows\\"; },
        [](UninstallData* d) { d->files[0].name = "..\\boot.ini"; },
        [](UninstallData* d) { d->files[0].directoryIndex = 4; },
        [](UninstallData* d) { d->shortcuts[0].name = "C:\\x"; },
        [](UninstallData* d) { d->groupName.clear(); },
        [](UninstallData* d) { d->groupFolders[0].items[0] = std::string(260, 'i'); },
        [](UninstallData* d) { d->directories.resize(256, "\\d"); },
    };
    for (auto change : changes) {
        UninstallData data = sampleData();
        change(&data);
        EXPECT_THROW(encodeUninstallList(data), std::invalid_argument);
    }
    EXPECT_THROW(buildUninstaller({}, sampleData()), std::invalid_argument);
}

int readFile(const Bytes& bytes, UninstallProblem* problem) {
    test_files::ScratchFolder folder;
    test_files::writeFile(folder / "uninstaller.exe", bytes);
    UninstallList list;
    int ok = readUninstallFile((folder / "uninstaller.exe").c_str(), &list, problem);
    freeUninstallList(&list);
    return ok;
}

TEST(UninstallerFile, ItsChecksumIsThePackagesAndAnyChangeMakesItDamaged) {
    const Bytes program = {'M', 'Z', 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const Bytes file = buildUninstaller(program, sampleData());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + program.size()), program);
    EXPECT_EQ(ByteBuilder().u32(referenceChecksum(file, file.size() - 4)).bytes, Bytes(file.end() - 4, file.end()));
    UninstallProblem problem = kUninstallDamaged;
    EXPECT_EQ(readFile(file, &problem), 1);
    EXPECT_EQ(problem, kUninstallNoProblem);
    for (size_t at = 0; at < file.size(); ++at) {
        Bytes changed = file;
        changed[at] ^= 0x41;
        EXPECT_TRUE(readFile(changed, &problem) == 0 && problem == kUninstallDamaged) << at;
    }
    // The list moved by a byte: offset + size + 16 no longer equals the
    // length, even with the checksum made right again.
    Bytes moved = file;
    moved[moved.size() - 12] += 1;
    moved.resize(moved.size() - 4);
    moved = ByteBuilder().raw(moved).u32(referenceChecksum(moved, moved.size())).bytes;
    EXPECT_TRUE(readFile(moved, &problem) == 0 && problem == kUninstallDamaged);
    EXPECT_TRUE(readFile(Bytes(4096, 0x90), &problem) == 0 && problem == kUninstallDamaged);
    EXPECT_TRUE(readFile(Bytes(15, 0), &problem) == 0 && problem == kUninstallCannotOpen);
}

}  // namespace
