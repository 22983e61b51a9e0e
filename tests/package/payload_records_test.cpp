#include "package/decompressor.h"
#include "package/package_format.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "package_bytes.h"

using namespace package_bytes;

namespace {

const Bytes kWorkedRecord = {0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x61, 0x2E,
                             0x74, 0x78, 0x74, 0xC2, 0x88, 0x05, 0x00};

TEST(FileRecord, WorkedExampleExpandsAndLeavesInputAtNextRecord) {
    Bytes content = kWorkedRecord;
    content.insert(content.end(), {0x99, 0x99});
    OpenFile in(content), out({}, "wb");
    FileRecordHead record;
    ASSERT_EQ(readFileRecordHead(in.file, &record), 1);
    EXPECT_EQ(record.compressedSize, 4u);
    EXPECT_EQ(record.uncompressedSize, 4u);
    EXPECT_EQ(record.directoryIndex, 0u);
    EXPECT_EQ(record.nameLength, 5u);
    EXPECT_STREQ(record.name, "a.txt");
    EXPECT_EQ(expandStream(in.file, (int32_t)ftell(in.file), 4, 4, out.file, nullptr), 1);
    fflush(out.file);
    EXPECT_EQ(out.temp.read(), (Bytes{0x61, 0x62, 0x61, 0x62}));
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
    for (size_t cut : {18, 10}) {  // inside the name, inside the counts
        OpenFile shortFile(Bytes(kWorkedRecord.begin(), kWorkedRecord.begin() + cut));
        EXPECT_EQ(readFileRecordHead(shortFile.file, &record), 0) << cut;
    }
}

// Each node is one block with its strings; the installer keeps them for its
// whole run, the tests free them.
void freeNodes(ListNode* node) {
    for (ListNode* next; node; node = next) next = node->next, free(node);
}

struct Lists {
    PayloadLists lists;
    int result;
    explicit Lists(const Bytes& content) {
        memset(&lists, 0, sizeof lists);
        OpenFile in(content);
        result = readPayloadLists(in.file, &lists);
        if (result) {
            EXPECT_EQ(ftell(in.file), (long)content.size());
        }
    }
    ~Lists() {
        freeNodes(lists.shortcutsHead);
        for (ListNode* folder = lists.groupEntriesHead; folder; folder = folder->next)
            freeNodes(((GroupFolderRecord*)folder)->firstItem);
        freeNodes(lists.groupEntriesHead);
    }
};

// The nodes of a list, checking both directions of its links.
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

// The lists as text, one record a line, the closing strings on the last.
std::string describe(const PayloadLists& lists) {
    std::string text;
    for (auto* s : nodes<ShortcutRecord>(lists.shortcutsHead, lists.shortcutsTail))
        text += std::string("shortcut ") + s->target + " " + s->location + " " + s->name + "\n";
    text += std::string("group ") + lists.programGroupName + "\n";
    for (auto* folder : nodes<GroupFolderRecord>(lists.groupEntriesHead, lists.groupEntriesTail)) {
        text += std::string("folder ") + folder->folder + "\n";
        for (auto* item : nodes<GroupItemRecord>(folder->firstItem, folder->lastItem))
            text += std::string("  item ") + item->target + " " + item->name + "\n";
    }
    return text + lists.websiteUrl + "|" + lists.programToRun + "|" + lists.helpFile + "|" +
           lists.finishText;
}

TEST(PayloadLists, ReadsListsAndClosingStringsInOrder) {
    Lists read(ByteBuilder()
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
                   .bytes);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(describe(read.lists),
              "shortcut \\app.exe {DESKTOP} App\n"
              "shortcut \\readme.txt {DESKTOP} Read me\n"
              "group Sample Product\n"
              "folder \\\n"
              "  item \\app.exe App\n"
              "  item \\HalvUninstaller.exe Uninstall\n"
              "folder \\Extras\n"
              "http://example.invalid/|\\app.exe|\\help.txt|Thank you.");
}

TEST(PayloadLists, EmptyListsAndTheLongestString) {
    const std::string longest(259, 'w');
    Lists read(ByteBuilder().u32(0).counted("").u32(0).counted(longest)
                   .counted("run.exe").counted("").counted("Done").bytes);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(describe(read.lists), "group \n" + longest + "|run.exe||Done");
    Lists tooLong(ByteBuilder().u32(0).counted("").u32(0).counted(longest + "w")
                      .counted("").counted("").counted("").bytes);
    EXPECT_EQ(tooLong.result, 0);
}

// Counts come from the file: a count far beyond what the file holds ends at
// the file's end, keeping the records that were whole.
TEST(PayloadLists, FalseCountsEndAtTheEndOfTheFile) {
    Lists shortcuts(ByteBuilder().u32(0xFFFFFFFF).counted("\\a").counted("{DESKTOP}")
                        .counted("A").counted("\\b").bytes);
    EXPECT_EQ(shortcuts.result, 0);
    EXPECT_EQ(describe(shortcuts.lists), "shortcut \\a {DESKTOP} A\ngroup \n|||");
    Lists items(ByteBuilder().u32(0).counted("G").u32(1).counted("\\").u32(0x7FFFFFFF)
                    .counted("\\a").bytes);
    EXPECT_EQ(items.result, 0);
    EXPECT_EQ(describe(items.lists), "group G\nfolder \\\n|||");
}

}  // namespace
