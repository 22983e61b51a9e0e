// Installer files from the writer, read back by the installer's own reader.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "package/decompressor.h"
#include "package/package_format.h"
#include "stream_check.h"
#include "writer/package_writer.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The fields at their limits, files in every directory, an empty file and
// one of many blocks.
InstallerContents contentsAtTheLimits() {
    InstallerContents contents;
    PackageHeaderFields& header = contents.header;
    header.installerTitle = std::string(259, 'T');
    header.publisher = "Publisher";
    header.productName = "Product";
    header.productVersion = "";
    header.baseFolderToken = "{PROGRAM_FILES}";
    header.defaultFolderName = "Product";
    header.directories = {"\\", "\\" + std::string(259, 'd'), "\\Docs"};
    header.licenceText = std::string(16382, 'L') + "\r\n";
    header.requiredSpace = 0xFFFFFFFFu;
    contents.files.push_back({0, "a.txt", bytesOf("abab")});
    contents.files.push_back({2, "empty", {}});
    std::vector<uint8_t> big(50000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = (uint8_t)(i * i >> 7);
    contents.files.push_back({1, std::string(259, 'n'), big});
    contents.uninstaller = bytesOf("MZ the uninstaller");
    contents.trailing.shortcuts = {{"\\a.txt", "{DESKTOP}", std::string(259, 's')}};
    contents.trailing.programGroupName = "Group";
    contents.trailing.groupFolders = {{"\\", {{"\\a.txt", "A"}}}, {"\\Empty", {}}};
    contents.trailing.websiteUrl = "http://example.org/";
    contents.trailing.programToRun = "";
    contents.trailing.helpFile = "\\Docs\\help.txt";
    contents.trailing.finishText = std::string(259, 'f');
    return contents;
}

std::vector<uint8_t> expandAt(FILE* input, const FileRecordHead& record) {
    const std::string outputPath = tempPath("reader_out.bin");
    FILE* output = fopen(outputPath.c_str(), "w+b");
    if (!output) {
        ADD_FAILURE() << "cannot create " << outputPath;
        return {};
    }
    EXPECT_EQ(expandStream(input, (int32_t)ftell(input), (int32_t)record.compressedSize,
                           (int32_t)record.uncompressedSize, output, nullptr),
              1);
    rewind(output);
    std::vector<uint8_t> bytes(record.uncompressedSize + 1);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), output));
    fclose(output);
    remove(outputPath.c_str());
    return bytes;
}

// Reads one record head and its stream as the extraction worker does: no
// seek between records, the expansion leaves the file at the next one.
void expectRecord(FILE* input, uint32_t directoryIndex, const std::string& name,
                  const std::vector<uint8_t>& content) {
    FileRecordHead record;
    ASSERT_EQ(readFileRecordHead(input, &record), 1) << name;
    EXPECT_EQ(record.directoryIndex, directoryIndex);
    EXPECT_EQ(std::string(record.name), name);
    if (content.empty()) {
        EXPECT_EQ(record.compressedSize, 0u);
        return;
    }
    EXPECT_EQ(record.uncompressedSize, content.size());
    EXPECT_EQ(expandAt(input, record), content) << name;
}

void freeLists(PayloadLists* lists) {
    for (ListNode* node = lists->shortcutsHead; node;) {
        ListNode* next = node->next;
        free(node);
        node = next;
    }
    for (ListNode* node = lists->groupEntriesHead; node;) {
        ListNode* next = node->next;
        for (ListNode* item = ((GroupFolderRecord*)node)->firstItem; item;) {
            ListNode* nextItem = item->next;
            free(item);
            item = nextItem;
        }
        free(node);
        node = next;
    }
}

void expectTrailing(FILE* input, const TrailingData& trailing) {
    PayloadLists lists = {};
    ASSERT_EQ(readPayloadLists(input, &lists), 1);
    ASSERT_NE(lists.shortcutsHead, nullptr);
    const ShortcutRecord* shortcut = (const ShortcutRecord*)lists.shortcutsHead;
    EXPECT_EQ(std::string(shortcut->target), trailing.shortcuts[0].target);
    EXPECT_EQ(std::string(shortcut->location), trailing.shortcuts[0].location);
    EXPECT_EQ(std::string(shortcut->name), trailing.shortcuts[0].name);
    EXPECT_EQ(shortcut->link.next, nullptr);
    EXPECT_EQ(std::string(lists.programGroupName), trailing.programGroupName);
    const GroupFolderRecord* folder = (const GroupFolderRecord*)lists.groupEntriesHead;
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(std::string(folder->folder), "\\");
    ASSERT_NE(folder->firstItem, nullptr);
    EXPECT_EQ(std::string(((const GroupItemRecord*)folder->firstItem)->name), "A");
    const GroupFolderRecord* second = (const GroupFolderRecord*)folder->link.next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::string(second->folder), "\\Empty");
    EXPECT_EQ(second->firstItem, nullptr);
    EXPECT_EQ(std::string(lists.websiteUrl), trailing.websiteUrl);
    EXPECT_EQ(std::string(lists.programToRun), trailing.programToRun);
    EXPECT_EQ(std::string(lists.helpFile), trailing.helpFile);
    EXPECT_EQ(std::string(lists.finishText), trailing.finishText);
    freeLists(&lists);
}

TEST(WrittenInstaller, ReadsBackThroughTheInstallersReader) {
    const InstallerContents contents = contentsAtTheLimits();
    const std::vector<uint8_t> program(4097, 0x90);
    const std::vector<uint8_t> file = buildInstaller(program, contents);
    const std::string path = tempPath("limits_setup.exe");
    writeWholeFile(path, file);

    std::unique_ptr<PackageHeader> header(new PackageHeader());
    ASSERT_EQ(readPackageHeader(path.c_str(), header.get()), 1);
    EXPECT_EQ(header->packageOffset, program.size());
    EXPECT_EQ(std::string(header->installerTitle), contents.header.installerTitle);
    EXPECT_EQ(std::string(header->displayName), "Product ");
    ASSERT_EQ(header->directoryCount, 3u);
    EXPECT_EQ(std::string(header->directories[1]), contents.header.directories[1]);
    EXPECT_EQ(std::string(header->licenceText), contents.header.licenceText);
    EXPECT_EQ(header->fileCount, 3u);
    EXPECT_EQ(header->requiredSpace, 0xFFFFFFFFu);
    EXPECT_EQ(computeFileChecksum(path.c_str(), (uint32_t)file.size() - 4, checksumSeed),
              header->storedChecksum);

    FILE* input = fopen(path.c_str(), "rb");
    ASSERT_NE(input, nullptr);
    ASSERT_EQ(fseek(input, (long)fileTableOffset(header.get()), SEEK_SET), 0);
    for (const FileEntry& entry : contents.files) expectRecord(input, entry.directoryIndex, entry.name, entry.content);
    expectRecord(input, 0, UNINSTALLER_FILE_NAME, contents.uninstaller);
    expectTrailing(input, contents.trailing);
    EXPECT_EQ(ftell(input), (long)file.size() - 12) << "the trailer follows the closing strings";
    fclose(input);
    remove(path.c_str());
}

}  // namespace
