#include "package/decompressor.h"
#include "package/package_format.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "package_bytes.h"

using namespace package_bytes;

namespace {

struct OpenFile {
    TempFile temp;
    FILE* file;
    explicit OpenFile(const Bytes& content) : temp("payload.bin", content) {
        file = fopen(temp.path.c_str(), "rb");
    }
    ~OpenFile() { fclose(file); }
};

const Bytes kWorkedRecord = {0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x61, 0x2E,
                             0x74, 0x78, 0x74, 0xC2, 0x88, 0x05, 0x00};

TEST(FileRecord, WorkedExampleExpandsAndLeavesInputAtNextRecord) {
    Bytes content = kWorkedRecord;
    content.insert(content.end(), {0x99, 0x99});
    OpenFile in(content);
    FileRecordHead record;
    ASSERT_EQ(readFileRecordHead(in.file, &record), 1);
    EXPECT_EQ(record.compressedSize, 4u);
    EXPECT_EQ(record.uncompressedSize, 4u);
    EXPECT_EQ(record.directoryIndex, 0u);
    EXPECT_EQ(record.nameLength, 5u);
    EXPECT_STREQ(record.name, "a.txt");
    TempFile out("a.txt");
    FILE* output = fopen(out.path.c_str(), "wb");
    EXPECT_EQ(expandStream(in.file, (int32_t)ftell(in.file), (int32_t)record.compressedSize,
                           (int32_t)record.uncompressedSize, output, nullptr),
              1);
    fclose(output);
    EXPECT_EQ(out.read(), (Bytes{0x61, 0x62, 0x61, 0x62}));
    EXPECT_EQ(ftell(in.file), 25);
}

TEST(FileRecord, NameLimitAndShortFile) {
    FileRecordHead record;
    OpenFile longest(ByteBuilder().u32(0).u32(0).u32(1).counted(std::string(259, 'n')).bytes);
    ASSERT_EQ(readFileRecordHead(longest.file, &record), 1);
    EXPECT_EQ(strlen(record.name), 259u);
    EXPECT_EQ(record.directoryIndex, 1u);
    OpenFile tooLong(ByteBuilder().u32(0).u32(0).u32(0).counted(std::string(260, 'n')).bytes);
    EXPECT_EQ(readFileRecordHead(tooLong.file, &record), 0);
    EXPECT_STREQ(record.name, "");
    Bytes cut(kWorkedRecord.begin(), kWorkedRecord.begin() + 18);
    OpenFile shortFile(cut);
    EXPECT_EQ(readFileRecordHead(shortFile.file, &record), 0);
    OpenFile headOnly(Bytes(kWorkedRecord.begin(), kWorkedRecord.begin() + 10));
    EXPECT_EQ(readFileRecordHead(headOnly.file, &record), 0);
}

TEST(FileRecord, EmptyFileTableHoldsUninstallerAfterHeader) {
    HeaderFields fields;
    fields.fileCount = 0;
    Bytes package = ByteBuilder()
                        .raw(fields.bytes())
                        .u32(0).u32(0).u32(0).counted(UNINSTALLER_FILE_NAME)
                        .bytes;
    TempFile installer("setup.exe", installerFile(Bytes(64, 0x4D), package));
    std::unique_ptr<PackageHeader> header(new PackageHeader);
    ASSERT_EQ(readPackageHeader(installer.path.c_str(), header.get()), 1);
    FILE* file = fopen(installer.path.c_str(), "rb");
    fseek(file, (long)fileTableOffset(header.get()), SEEK_SET);
    FileRecordHead record;
    EXPECT_EQ(readFileRecordHead(file, &record), 1);
    EXPECT_STREQ(record.name, UNINSTALLER_FILE_NAME);
    fclose(file);
}

// Each node is one block with its strings; the installer keeps them for its
// whole run, the tests free them.
void freeNodes(ListNode* node) {
    while (node) {
        ListNode* next = node->next;
        free(node);
        node = next;
    }
}

struct Lists {
    PayloadLists lists;
    Lists() { memset(&lists, 0, sizeof lists); }
    ~Lists() {
        freeNodes(lists.shortcutsHead);
        for (ListNode* folder = lists.groupEntriesHead; folder; folder = folder->next)
            freeNodes(((GroupFolderRecord*)folder)->firstItem);
        freeNodes(lists.groupEntriesHead);
    }
};

template <typename Node>
std::vector<Node*> nodes(ListNode* head, ListNode* tail) {
    std::vector<Node*> all;
    ListNode* previous = nullptr;
    for (ListNode* node = head; node; previous = node, node = node->next) {
        EXPECT_EQ(node->previous, previous);
        all.push_back((Node*)node);
    }
    EXPECT_EQ(previous, tail);
    return all;
}

TEST(PayloadLists, ReadsListsAndClosingStringsInOrder) {
    Bytes content = ByteBuilder()
                        .u32(2)
                        .counted("\\app.exe").counted("{DESKTOP}").counted("App")
                        .counted("\\readme.txt").counted("{DESKTOP}").counted("Read me")
                        .counted("Sample Product")
                        .u32(2)
                        .counted("\\").u32(2)
                        .counted("\\app.exe").counted("App")
                        .counted("\\HalvUninstaller.exe").counted("Uninstall")
                        .counted("\\Extras").u32(0)
                        .counted("http://example.invalid/").counted("\\app.exe")
                        .counted("\\help.txt").counted("Thank you.")
                        .bytes;
    OpenFile in(content);
    Lists read;
    ASSERT_EQ(readPayloadLists(in.file, &read.lists), 1);
    auto shortcuts = nodes<ShortcutRecord>(read.lists.shortcutsHead, read.lists.shortcutsTail);
    ASSERT_EQ(shortcuts.size(), 2u);
    EXPECT_STREQ(shortcuts[0]->target, "\\app.exe");
    EXPECT_STREQ(shortcuts[0]->location, "{DESKTOP}");
    EXPECT_STREQ(shortcuts[0]->name, "App");
    EXPECT_STREQ(shortcuts[1]->name, "Read me");
    EXPECT_STREQ(read.lists.programGroupName, "Sample Product");
    auto folders = nodes<GroupFolderRecord>(read.lists.groupEntriesHead, read.lists.groupEntriesTail);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_STREQ(folders[0]->folder, "\\");
    auto items = nodes<GroupItemRecord>(folders[0]->firstItem, folders[0]->lastItem);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_STREQ(items[1]->target, "\\HalvUninstaller.exe");
    EXPECT_STREQ(items[1]->name, "Uninstall");
    EXPECT_STREQ(folders[1]->folder, "\\Extras");
    EXPECT_EQ(folders[1]->firstItem, nullptr);
    EXPECT_EQ(folders[1]->lastItem, nullptr);
    EXPECT_STREQ(read.lists.websiteUrl, "http://example.invalid/");
    EXPECT_STREQ(read.lists.programToRun, "\\app.exe");
    EXPECT_STREQ(read.lists.helpFile, "\\help.txt");
    EXPECT_STREQ(read.lists.finishText, "Thank you.");
    EXPECT_EQ(ftell(in.file), (long)content.size());
}

TEST(PayloadLists, EmptyListsStillReadClosingStrings) {
    OpenFile in(ByteBuilder().u32(0).counted("").u32(0).counted("").counted("run.exe")
                    .counted("").counted("Done").bytes);
    Lists read;
    ASSERT_EQ(readPayloadLists(in.file, &read.lists), 1);
    EXPECT_EQ(read.lists.shortcutsHead, nullptr);
    EXPECT_EQ(read.lists.groupEntriesHead, nullptr);
    EXPECT_STREQ(read.lists.programGroupName, "");
    EXPECT_STREQ(read.lists.programToRun, "run.exe");
    EXPECT_STREQ(read.lists.finishText, "Done");
}

TEST(PayloadLists, RefusesLongStringsFalseCountsAndShortFiles) {
    Bytes tail = ByteBuilder().counted("").u32(0).counted("").counted("").counted("").bytes;
    Bytes longest = ByteBuilder().u32(0).counted("").u32(0).counted(std::string(259, 'w'))
                        .raw(Bytes(tail.end() - 12, tail.end())).bytes;
    OpenFile ok(longest);
    Lists read;
    EXPECT_EQ(readPayloadLists(ok.file, &read.lists), 1);
    Bytes tooLong = ByteBuilder().u32(0).counted("").u32(0).counted(std::string(260, 'w'))
                        .raw(Bytes(tail.end() - 12, tail.end())).bytes;
    OpenFile bad(tooLong);
    Lists refused;
    EXPECT_EQ(readPayloadLists(bad.file, &refused.lists), 0);

    // A count far beyond what the file holds ends at the file's end, keeping
    // the shortcuts that were whole.
    OpenFile hostile(ByteBuilder().u32(0xFFFFFFFF).counted("\\a").counted("{DESKTOP}")
                         .counted("A").counted("\\b").bytes);
    Lists partial;
    EXPECT_EQ(readPayloadLists(hostile.file, &partial.lists), 0);
    auto kept = nodes<ShortcutRecord>(partial.lists.shortcutsHead, partial.lists.shortcutsTail);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_STREQ(kept[0]->name, "A");

    OpenFile hostileItems(ByteBuilder().u32(0).counted("G").u32(1).counted("\\").u32(0x7FFFFFFF)
                              .counted("\\a").bytes);
    Lists folderKept;
    EXPECT_EQ(readPayloadLists(hostileItems.file, &folderKept.lists), 0);
    auto folders = nodes<GroupFolderRecord>(folderKept.lists.groupEntriesHead,
                                            folderKept.lists.groupEntriesTail);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0]->firstItem, nullptr);
}

}  // namespace
