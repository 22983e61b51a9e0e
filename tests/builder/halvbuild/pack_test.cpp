#include "halvbuild/pack.h"

#include <gtest/gtest.h>

#include <memory>

#include "halvbuild/inspect.h"
#include "package/decompressor.h"
#include "package/package_format.h"
#include "test_tree.h"
#include "uninstaller/format/uninstall_format.h"

namespace {

const std::string kProgram = "MZ stand-in installer program\n" + std::string(300, 'p');
const std::string kUninstaller = "MZ stand-in uninstaller\n" + std::string(200, 'u');

// Packs the manifest (required keys plus rest) into out.exe of the tree.
std::string pack(const TestTree& tree, const std::string& rest, unsigned threads = 2,
                 const std::string& output = "out.exe") {
    PackOptions options;
    options.outputPath = tree.path(output);
    options.installerProgram = tree.write("tools/installer.exe", kProgram);
    options.uninstallerProgram = tree.write("tools/HalvUninstaller.exe", kUninstaller);
    options.threads = threads;
    packInstaller(loadManifest(tree.manifest(rest)), options);
    return options.outputPath;
}

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The content of the record at the file's position, expanded.
// The uninstaller record holds the program followed by its list of what the
// installation puts where; returns the list, read back as the uninstaller does.
struct ParsedUninstaller {
    UninstallList list{};
    ~ParsedUninstaller() { freeUninstallList(&list); }
};

void expectUninstaller(const TestTree& tree, const std::string& content, ParsedUninstaller* parsed) {
    ASSERT_GT(content.size(), kUninstaller.size());
    EXPECT_EQ(content.substr(0, kUninstaller.size()), kUninstaller);
    const std::string copy = tree.write("read-back/HalvUninstaller.exe", content);
    UninstallProblem problem = kUninstallNoProblem;
    ASSERT_EQ(readUninstallFile(copy.c_str(), &parsed->list, &problem), 1) << problem;
}

std::string expandRecord(FILE* file, FileRecordHead* record) {
    EXPECT_EQ(readFileRecordHead(file, record), 1);
    if (record->compressedSize == 0) return std::string();
    FilePtr output(tmpfile(), fclose);
    EXPECT_EQ(expandStream(file, (int32_t)ftell(file), (int32_t)record->compressedSize,
                           (int32_t)record->uncompressedSize, output.get(), nullptr),
              1);
    std::string content(record->uncompressedSize, '\0');
    rewind(output.get());
    EXPECT_EQ(fread(&content[0], 1, content.size(), output.get()), content.size());
    return content;
}

std::vector<std::string> strings(ListNode* head, char* const ShortcutRecord::*field) {
    std::vector<std::string> values;
    for (ListNode* node = head; node; node = node->next) values.push_back(((ShortcutRecord*)node)->*field);
    return values;
}

// The lists own their nodes, one heap block each.
struct ListsOwner {
    PayloadLists lists = {};
    ~ListsOwner() {
        while (lists.shortcutsHead) listRemove(&lists.shortcutsHead, &lists.shortcutsTail, lists.shortcutsHead);
        while (lists.groupEntriesHead) {
            GroupFolderRecord* folder = (GroupFolderRecord*)lists.groupEntriesHead;
            while (folder->firstItem) listRemove(&folder->firstItem, &folder->lastItem, folder->firstItem);
            listRemove(&lists.groupEntriesHead, &lists.groupEntriesTail, &folder->link);
        }
    }
};

}  // namespace

TEST(Pack, InstallerReadsBackWithEveryField) {
    TestTree tree;
    tree.write("product/app.exe", sampleBytes(5000, 1));
    tree.write("product/docs/guide/start.txt", sampleBytes(70000, 2));
    tree.write("product/docs/empty.txt", "");
    tree.write("licence.txt", "Terms\nMore terms\n");
    const std::string path = pack(tree, R"(folder_name = "Tester Testing"
licence = "licence.txt"
[[files]]
source = "product"
[[shortcuts]]
name = "Testing"
target = "app.exe"
[group]
name = "Tester Testing"
[[group.folders]]
folder = "Docs"
items = [{ name = "Start", target = "docs/guide/start.txt" }]
[finish]
website = "https://example.com/t"
program = "app.exe"
help_file = "docs/guide/start.txt"
text = "All done."
)");
    auto header = std::make_unique<PackageHeader>();
    ASSERT_EQ(readPackageHeader(path.c_str(), header.get()), 1);
    EXPECT_EQ(computeFileChecksum(path.c_str(), header->installerFileSize - 4, checksumSeed), header->storedChecksum);
    EXPECT_EQ(header->packageOffset, kProgram.size());
    EXPECT_EQ(tree.read("out.exe").substr(0, kProgram.size()), kProgram);
    EXPECT_STREQ(header->installerTitle, "Test Setup");
    EXPECT_STREQ(header->publisher, "Tester");
    EXPECT_STREQ(header->productName, "Testing");
    EXPECT_STREQ(header->productVersion, "2.1");
    EXPECT_STREQ(header->baseFolderToken, "{PROGRAM_FILES}");
    EXPECT_STREQ(header->defaultFolderName, "Tester Testing");
    ASSERT_EQ(header->directoryCount, 3u);
    EXPECT_STREQ(header->directories[0], "\\");
    EXPECT_STREQ(header->directories[1], "\\docs\\");
    EXPECT_STREQ(header->directories[2], "\\docs\\guide\\");
    EXPECT_STREQ(header->licenceText, "Terms\r\nMore terms\r\n");
    EXPECT_EQ(header->fileCount, 3u);

    FilePtr file(fopen(path.c_str(), "rb"), fclose);
    ASSERT_EQ(fseek(file.get(), (long)fileTableOffset(header.get()), SEEK_SET), 0);
    const struct { uint32_t directory; const char* name; std::string content; } expected[] = {
        {0, "app.exe", sampleBytes(5000, 1)},
        {1, "empty.txt", ""},
        {2, "start.txt", sampleBytes(70000, 2)},
    };
    for (const auto& want : expected) {
        FileRecordHead record;
        EXPECT_EQ(expandRecord(file.get(), &record), want.content) << want.name;
        EXPECT_EQ(record.directoryIndex, want.directory);
        EXPECT_STREQ(record.name, want.name);
        EXPECT_EQ(record.uncompressedSize, want.content.size());
    }
    FileRecordHead uninstaller;
    const std::string uninstallerContent = expandRecord(file.get(), &uninstaller);
    EXPECT_STREQ(uninstaller.name, "HalvUninstaller.exe");
    EXPECT_EQ(uninstaller.directoryIndex, 0u);
    EXPECT_EQ(header->requiredSpace, 5000u + 70000u + uninstallerContent.size());
    ParsedUninstaller parsed;
    expectUninstaller(tree, uninstallerContent, &parsed);
    EXPECT_STREQ(parsed.list.productName, "Testing");
    EXPECT_STREQ(parsed.list.keyName, "Tester Testing 2.1");
    ASSERT_EQ(parsed.list.directoryCount, 3u);
    EXPECT_STREQ(parsed.list.directories[2], "\\docs\\guide\\");
    ASSERT_EQ(parsed.list.fileCount, 3u);
    EXPECT_EQ(parsed.list.files[2].directoryIndex, 2u);
    EXPECT_STREQ(parsed.list.files[2].name, "start.txt");
    ASSERT_EQ(parsed.list.shortcutCount, 1u);
    EXPECT_STREQ(parsed.list.shortcuts[0].name, "Testing");
    EXPECT_STREQ(parsed.list.groupName, "Tester Testing");
    ASSERT_EQ(parsed.list.groupFolderCount, 2u);
    EXPECT_STREQ(parsed.list.groupFolders[1].items[0], "Start");
    ListsOwner owner;
    PayloadLists& lists = owner.lists;
    ASSERT_EQ(readPayloadLists(file.get(), &lists), 1);
    EXPECT_EQ(strings(lists.shortcutsHead, &ShortcutRecord::target), std::vector<std::string>{"\\app.exe"});
    EXPECT_EQ(strings(lists.shortcutsHead, &ShortcutRecord::location), std::vector<std::string>{"{DESKTOP}"});
    EXPECT_EQ(strings(lists.shortcutsHead, &ShortcutRecord::name), std::vector<std::string>{"Testing"});
    EXPECT_STREQ(lists.programGroupName, "Tester Testing");
    const GroupFolderRecord* root = (const GroupFolderRecord*)lists.groupEntriesHead;
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->folder, "\\");
    EXPECT_EQ(root->firstItem, nullptr);
    const GroupFolderRecord* docs = (const GroupFolderRecord*)root->link.next;
    ASSERT_NE(docs, nullptr);
    EXPECT_STREQ(docs->folder, "\\Docs\\");
    ASSERT_NE(docs->firstItem, nullptr);
    EXPECT_STREQ(((GroupItemRecord*)docs->firstItem)->target, "\\docs\\guide\\start.txt");
    EXPECT_STREQ(((GroupItemRecord*)docs->firstItem)->name, "Start");
    EXPECT_STREQ(lists.websiteUrl, "https://example.com/t");
    EXPECT_STREQ(lists.programToRun, "\\app.exe");
    EXPECT_STREQ(lists.helpFile, "\\docs\\guide\\start.txt");
    EXPECT_STREQ(lists.finishText, "All done.");
    EXPECT_EQ((uint64_t)ftell(file.get()), (uint64_t)header->packageOffset + header->packageSize);
}

TEST(Pack, ProductWithNoFiles) {
    TestTree tree;
    const std::string path = pack(tree, "");
    auto header = std::make_unique<PackageHeader>();
    ASSERT_EQ(readPackageHeader(path.c_str(), header.get()), 1);
    EXPECT_EQ(header->fileCount, 0u);
    EXPECT_EQ(header->directoryCount, 1u);
    EXPECT_EQ(header->licenceText[0], '\0');
    FilePtr file(fopen(path.c_str(), "rb"), fclose);
    fseek(file.get(), (long)fileTableOffset(header.get()), SEEK_SET);
    FileRecordHead record;
    const std::string uninstallerContent = expandRecord(file.get(), &record);
    EXPECT_STREQ(record.name, "HalvUninstaller.exe");
    EXPECT_EQ(header->requiredSpace, uninstallerContent.size());
    ParsedUninstaller parsed;
    expectUninstaller(tree, uninstallerContent, &parsed);
    EXPECT_EQ(parsed.list.fileCount, 0u);
    FILE* devNull = fopen(tree.path("listing.txt").c_str(), "w");
    EXPECT_EQ(inspectInstaller(path, "", devNull).fileCount, 0u);
    fclose(devNull);
}

TEST(Pack, ProductWithOneFileVerifies) {
    TestTree tree;
    tree.write("product/only.bin", sampleBytes(1, 9));
    const std::string path = pack(tree, "[[files]]\nsource = \"product/only.bin\"\n");
    FILE* listing = fopen(tree.path("listing.txt").c_str(), "w");
    const InspectResult result = inspectInstaller(path, tree.path("product"), listing);
    fclose(listing);
    EXPECT_EQ(result.fileCount, 1u);
    EXPECT_EQ(result.differences, 0u);
    EXPECT_NE(tree.read("listing.txt").find("\\only.bin"), std::string::npos);
}

TEST(Pack, VerifyCatchesOneChangedByte) {
    TestTree tree;
    tree.write("product/a.txt", sampleBytes(9000, 3));
    tree.write("product/sub/b.txt", sampleBytes(20000, 4));
    const std::string path = pack(tree, "[[files]]\nsource = \"product\"\n");
    FILE* listing = fopen(tree.path("listing.txt").c_str(), "w");
    EXPECT_EQ(inspectInstaller(path, tree.path("product"), listing).differences, 0u);
    std::string changed = sampleBytes(20000, 4);
    changed[12345] ^= 1;
    tree.write("product/sub/b.txt", changed);
    EXPECT_EQ(inspectInstaller(path, tree.path("product"), listing).differences, 1u);
    tree.write("product/sub/b.txt", sampleBytes(20000, 4) + "x");
    EXPECT_EQ(inspectInstaller(path, tree.path("product"), listing).differences, 1u);
    fclose(listing);
    EXPECT_NE(tree.read("listing.txt").find("\\sub\\b.txt: differs at byte 12345"), std::string::npos);
}

TEST(Pack, InspectRefusesADamagedInstaller) {
    TestTree tree;
    tree.write("product/a.txt", sampleBytes(3000, 5));
    const std::string path = pack(tree, "[[files]]\nsource = \"product\"\n");
    std::string bytes = tree.read("out.exe");
    bytes[bytes.size() - 100] ^= 0x20;
    tree.write("damaged.exe", bytes);
    FILE* listing = fopen(tree.path("listing.txt").c_str(), "w");
    EXPECT_THROW(inspectInstaller(tree.path("damaged.exe"), "", listing), BuildError);
    tree.write("cut.exe", tree.read("out.exe").substr(0, bytes.size() - 1));
    EXPECT_THROW(inspectInstaller(tree.path("cut.exe"), "", listing), BuildError);
    fclose(listing);
}

TEST(Pack, SameInputsGiveTheSameBytesOnAnyThreadCount) {
    TestTree tree;
    for (int i = 0; i < 40; ++i)
        tree.write("product/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".dat",
                   sampleBytes(1000 + 997 * i, i));
    const std::string rest = "[[files]]\nsource = \"product\"\n";
    pack(tree, rest, 1, "one.exe");
    pack(tree, rest, 4, "four.exe");
    pack(tree, rest, 4, "again.exe");
    const std::string one = tree.read("one.exe");
    EXPECT_GT(one.size(), kProgram.size());
    EXPECT_EQ(one, tree.read("four.exe"));
    EXPECT_EQ(one, tree.read("again.exe"));
}

TEST(Pack, FailureLeavesNoFileBehind) {
    TestTree tree;
    tree.write("product/a.txt", "a");
    const std::string bad = "[[files]]\nsource = \"product\"\n[finish]\nprogram = \"missing.exe\"\n";
    EXPECT_THROW(pack(tree, bad), BuildError);
    EXPECT_EQ(tree.listing(), (std::vector<std::string>{"product", "product.toml", "tools"}));
    // An older installer of that name stays as it was.
    tree.write("out.exe", "older");
    EXPECT_THROW(pack(tree, bad), BuildError);
    EXPECT_EQ(tree.read("out.exe"), "older");
    pack(tree, "[[files]]\nsource = \"product\"\n");
    EXPECT_NE(tree.read("out.exe"), "older");
    EXPECT_EQ(tree.listing(), (std::vector<std::string>{"out.exe", "product", "product.toml", "tools"}));
}

TEST(Pack, UnreadableSourceNamesItsEntry) {
    TestTree tree;
    tree.write("product/a.txt", "a");
    PackOptions options;
    options.outputPath = tree.path("out.exe");
    options.installerProgram = tree.write("tools/installer.exe", kProgram);
    options.uninstallerProgram = tree.path("tools/none.exe");
    try {
        packInstaller(loadManifest(tree.manifest("[[files]]\nsource = \"product\"\n")), options);
        FAIL();
    } catch (const BuildError& error) {
        EXPECT_NE(std::string(error.what()).find("cannot open the uninstaller"), std::string::npos);
    }
    EXPECT_EQ(tree.listing(), (std::vector<std::string>{"product", "product.toml", "tools"}));
}
