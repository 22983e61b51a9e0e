// The writer's output: exact bytes where they are small enough to work out by
// hand, whole installer files read back by the installer's own reader, and
// every limit that reader relies on refused with the field named.
#include "writer/package_writer.h"

#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "package/package_format.h"
#include "stream_check.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

uint32_t u32At(const std::vector<uint8_t>& file, size_t at) {
    return file.at(at) | file.at(at + 1) << 8 | file.at(at + 2) << 16 | (uint32_t)file.at(at + 3) << 24;
}

// The checksum worked out independently of the writer: the seed XOR every
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
    header.directories = {"\\", "\\Sub"};
    header.fileCount = 1;
    header.requiredSpace = 4;
    return header;
}

// Strings at their limits, files in every directory, an empty file, one of
// many blocks, and lists with several entries. The header's fileCount (1) is
// wrong on purpose: buildInstaller takes the count from the files.
InstallerContents sampleContents() {
    InstallerContents contents;
    PackageHeaderFields& header = contents.header;
    header = smallHeader();
    header.installerTitle = std::string(259, 'T');
    header.productVersion = "";
    header.directories = {"\\", "\\" + std::string(259, 'd'), "\\Docs"};
    header.licenceText = std::string(16382, 'L') + "\r\n";
    header.requiredSpace = 0xFFFFFFFFu;
    std::vector<uint8_t> big(50000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = (uint8_t)(i * i >> 7);
    contents.files = {{0, "a.txt", bytesOf("abab")}, {2, "empty", {}}, {1, std::string(259, 'n'), big}};
    contents.uninstaller = bytesOf("MZ the uninstaller");
    contents.trailing.shortcuts = {{"\\a.txt", "{DESKTOP}", std::string(259, 's')},
                                   {"\\Docs\\x.bin", "{DESKTOP}", "Big"}};
    contents.trailing.programGroupName = "Group";
    contents.trailing.groupFolders = {{"\\", {{"\\a.txt", "A"}, {"\\HalvUninstaller.exe", "Uninstall"}}},
                                      {"\\Empty", {}}};
    contents.trailing.websiteUrl = "http://example.org/";
    contents.trailing.programToRun = "";
    contents.trailing.helpFile = "\\Docs\\help.txt";
    contents.trailing.finishText = std::string(259, 'f');
    return contents;
}

// Every string of the lists in package order, each marked with its kind, so
// one comparison checks both the texts and how they nest.
std::vector<std::string> flatten(const PayloadLists& lists) {
    std::vector<std::string> out;
    for (ListNode* node = lists.shortcutsHead; node; node = node->next) {
        const ShortcutRecord* s = (const ShortcutRecord*)node;
        out.insert(out.end(), {"shortcut", s->target, s->location, s->name});
    }
    out.push_back(std::string("group ") + lists.programGroupName);
    for (ListNode* node = lists.groupEntriesHead; node; node = node->next) {
        out.push_back(std::string("folder ") + ((const GroupFolderRecord*)node)->folder);
        for (ListNode* item = ((const GroupFolderRecord*)node)->firstItem; item; item = item->next)
            out.insert(out.end(), {std::string("item ") + ((const GroupItemRecord*)item)->target,
                                   ((const GroupItemRecord*)item)->name});
    }
    out.insert(out.end(), {lists.websiteUrl, lists.programToRun, lists.helpFile, lists.finishText});
    return out;
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

TEST(PackageWriter, WritesTheWorkedFileRecord) {
    // Both ways of writing a file give the same record: sizes, directory,
    // counted name and the stream of "abab".
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

TEST(PackageWriter, InstallerReadsBackThroughTheInstallersReader) {
    const InstallerContents contents = sampleContents();
    const std::vector<uint8_t> program(4097, 0x90);
    const std::vector<uint8_t> bytes = buildInstaller(program, contents);
    ASSERT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4097), program);
    const std::string path = tempPath("limits_setup.exe");
    writeWholeFile(path, bytes);

    // The reader checks that the trailer describes the file, and finds the
    // records by the sizes of the header's fields as it read them.
    auto header = std::make_unique<PackageHeader>();
    ASSERT_EQ(readPackageHeader(path.c_str(), header.get()), 1);
    const PackageHeaderFields& want = contents.header;
    EXPECT_EQ(header->packageOffset, program.size());
    EXPECT_EQ((std::vector<std::string>{header->installerTitle, header->publisher, header->productName,
                                        header->productVersion, header->baseFolderToken,
                                        header->defaultFolderName, header->displayName}),
              (std::vector<std::string>{want.installerTitle, want.publisher, want.productName, want.productVersion,
                                        want.baseFolderToken, want.defaultFolderName, "Tiny "}));
    ASSERT_EQ(header->directoryCount, 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(std::string(header->directories[i]), want.directories[i]);
    EXPECT_EQ(std::string(header->licenceText), want.licenceText);
    EXPECT_EQ(header->fileCount, 3u);
    EXPECT_EQ(header->requiredSpace, 0xFFFFFFFFu);
    EXPECT_EQ(computeFileChecksum(path.c_str(), (uint32_t)bytes.size() - 4, checksumSeed), header->storedChecksum);
    EXPECT_EQ(header->storedChecksum, checksumOf(bytes, bytes.size() - 4));

    std::unique_ptr<FILE, int (*)(FILE*)> input(fopen(path.c_str(), "rb"), fclose);
    ASSERT_TRUE(input);
    ASSERT_EQ(fseek(input.get(), (long)fileTableOffset(header.get()), SEEK_SET), 0);
    std::vector<FileEntry> records = contents.files;
    records.push_back({0, UNINSTALLER_FILE_NAME, contents.uninstaller});
    for (const FileEntry& entry : records) {
        SCOPED_TRACE(entry.name.substr(0, 20));
        FileRecordHead record;
        ASSERT_EQ(readFileRecordHead(input.get(), &record), 1);
        EXPECT_EQ(record.directoryIndex, entry.directoryIndex);
        EXPECT_EQ(std::string(record.name), entry.name);
        EXPECT_EQ(record.uncompressedSize, entry.content.size());
        // An empty file carries no stream; expanding one to 0 bytes would fail.
        if (entry.content.empty()) {
            EXPECT_EQ(record.compressedSize, 0u);
        }
        const size_t at = (size_t)ftell(input.get());
        ASSERT_LE(at + record.compressedSize, bytes.size());
        if (record.compressedSize > 0) {
            const std::vector<uint8_t> stream(bytes.begin() + at, bytes.begin() + at + record.compressedSize);
            EXPECT_EQ(expandThroughInstaller(stream, record.uncompressedSize), entry.content);
        }
        ASSERT_EQ(fseek(input.get(), (long)(at + record.compressedSize), SEEK_SET), 0);
    }
    ListsOwner owner;
    ASSERT_EQ(readPayloadLists(input.get(), &owner.lists), 1);
    EXPECT_EQ(flatten(owner.lists),
              (std::vector<std::string>{"shortcut", "\\a.txt", "{DESKTOP}", std::string(259, 's'), "shortcut",
                                        "\\Docs\\x.bin", "{DESKTOP}", "Big", "group Group", "folder \\",
                                        "item \\a.txt", "A", "item \\HalvUninstaller.exe", "Uninstall",
                                        "folder \\Empty", "http://example.org/", "", "\\Docs\\help.txt",
                                        std::string(259, 'f')}));
    EXPECT_EQ(ftell(input.get()), (long)bytes.size() - 12) << "the trailer follows the closing strings";
    input.reset();
    remove(path.c_str());
}

TEST(PackageWriter, ChecksumCoversPartialLastWords) {
    // Program sizes 0 to 3 put every remainder of (length - 4) mod 4.
    const InstallerContents contents = sampleContents();
    for (size_t programSize = 0; programSize < 4; ++programSize) {
        SCOPED_TRACE(programSize);
        const std::vector<uint8_t> file = buildInstaller(std::vector<uint8_t>(programSize, 0xE9), contents);
        EXPECT_EQ(u32At(file, file.size() - 12), file.size() - 12 - programSize) << "package size";
        EXPECT_EQ(u32At(file, file.size() - 8), programSize) << "package offset";
        EXPECT_EQ(u32At(file, file.size() - 4), checksumOf(file, file.size() - 4));
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
    for (const FileEntry& entry : contents.files)
        writer.writeFile(entry.directoryIndex, entry.name, entry.content.data(), entry.content.size());
    writer.writeUninstaller(contents.uninstaller.data(), contents.uninstaller.size());
    writer.writeTrailingData(contents.trailing);
    const WrittenTrailer trailer = writer.finish();
    fclose(output);

    const std::vector<uint8_t> expected = buildInstaller(program, contents);
    EXPECT_EQ(readWholeFile(outputPath), expected);
    EXPECT_EQ(trailer.packageOffset, program.size());
    EXPECT_EQ(trailer.packageSize, expected.size() - program.size() - 12);
    EXPECT_EQ(trailer.checksum, checksumOf(expected, expected.size() - 4));
    remove(programPath.c_str());
    remove(outputPath.c_str());
}

// Runs call and returns the message of the Error it throws ("accepted" when
// it throws nothing).
template <typename Error>
std::string refusal(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "accepted";
}

std::string headerRefusal(const PackageHeaderFields& header) {
    return refusal<std::invalid_argument>([&] {
        std::vector<uint8_t> file;
        PackageWriter(&file).writeHeader(header);
    });
}

TEST(PackageWriterLimits, HeaderStringsHoldAtMost259Bytes) {
    std::string PackageHeaderFields::*fields[] = {
        &PackageHeaderFields::installerTitle, &PackageHeaderFields::publisher,
        &PackageHeaderFields::productName, &PackageHeaderFields::productVersion,
        &PackageHeaderFields::baseFolderToken, &PackageHeaderFields::defaultFolderName};
    const std::string names[] = {"installer title", "publisher", "product name",
                                 "product version", "base folder token", "default folder name"};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(names[i]);
        PackageHeaderFields header = smallHeader();
        header.*fields[i] = std::string(259, 'x');
        EXPECT_EQ(headerRefusal(header), "accepted");
        header.*fields[i] = std::string(260, 'x');
        EXPECT_EQ(headerRefusal(header), names[i] + ": is 260 bytes long; at most 259 are allowed");
        header.*fields[i] = std::string("a\0b", 3);
        EXPECT_EQ(headerRefusal(header), names[i] + ": holds a NUL byte");
    }
}

// Directories of 260 bytes and a licence of 16384 are accepted in the
// read-back test above.
TEST(PackageWriterLimits, DirectoriesAndLicenceAreChecked) {
    const struct {
        const char* what;
        std::function<void(PackageHeaderFields*)> change;
        std::string message;
    } cases[] = {
        {"261 bytes", [](PackageHeaderFields* h) { h->directories[1] = "\\" + std::string(260, 'd'); },
         "directory 1: is 261 bytes long; at most 260 are allowed"},
        {"no backslash", [](PackageHeaderFields* h) { h->directories[1] = "Sub"; },
         "directory 1: must begin with a backslash"},
        {"no root", [](PackageHeaderFields* h) { h->directories = {"\\Sub"}; },
         "directory 0: must be \"\\\" (the destination itself)"},
        {"none", [](PackageHeaderFields* h) { h->directories.clear(); },
         "directories: there are 0; between 1 and 255 are allowed"},
        {"255", [](PackageHeaderFields* h) { h->directories.assign(255, "\\"); }, "accepted"},
        {"256", [](PackageHeaderFields* h) { h->directories.assign(256, "\\"); },
         "directories: there are 256; between 1 and 255 are allowed"},
        {"licence of 16385", [](PackageHeaderFields* h) { h->licenceText = std::string(16385, 'l'); },
         "licence text: is 16385 bytes long; at most 16384 are allowed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PackageHeaderFields header = smallHeader();
        c.change(&header);
        EXPECT_EQ(headerRefusal(header), c.message);
    }
}

TEST(PackageWriterLimits, FileRecordsAreCheckedBeforeAnythingIsWritten) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    writer.writeHeader(smallHeader());
    const size_t before = file.size();
    const std::vector<uint8_t> stream = {0xC2, 0x00};
    const struct {
        std::function<void()> call;
        std::string message;
    } cases[] = {
        {[&] { writer.writeFileRecord(2, "a", 1, stream); },
         "file record \"a\": directory index 2 is not below the directory count 2"},
        {[&] { writer.writeFileRecord(0, "", 1, stream); }, "file record: the file name is empty"},
        {[&] { writer.writeFileRecord(0, std::string(260, 'n'), 1, stream); },
         "file record \"" + std::string(260, 'n') + "\" name: is 260 bytes long; at most 259 are allowed"},
        {[&] { writer.writeFileRecord(0, "a", 0, stream); },
         "file record \"a\": compressed size 2 and uncompressed size 0 must both be 0 or both above 0"},
        {[&] { writer.writeFileRecord(0, "a", 1, {}); },
         "file record \"a\": compressed size 0 and uncompressed size 1 must both be 0 or both above 0"},
        {[&] { writer.writeFileRecord(0, "a", 0x80000000u, stream); },
         "file record \"a\": uncompressed size 2147483648 is above 2147483647"},
        {[&] { writer.writeUninstallerRecord(1, stream); },
         "uninstaller record: the header announced 1 files but 0 were written"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal<std::invalid_argument>(c.call), c.message);
    EXPECT_EQ(file.size(), before);
    // The writer goes on after a refused piece.
    writer.writeFileRecord(1, std::string(259, 'n'), 1, stream);
    EXPECT_EQ(refusal<std::invalid_argument>([&] { writer.writeFileRecord(0, "b", 1, stream); }),
              "file record \"b\": the header announced 1 files");
    writer.writeUninstallerRecord(0, {});
    EXPECT_EQ(file.size(), before + 16 + 259 + 2 + 16 + 19);
}

TEST(PackageWriterLimits, TrailingStringsHoldAtMost259Bytes) {
    const std::string tooLong(260, 's');
    const std::vector<std::pair<std::function<void(TrailingData*)>, std::string>> cases = {
        {[&](TrailingData* t) { t->shortcuts = {{"\\a", "{DESKTOP}", tooLong}}; }, "shortcut 0 name"},
        {[&](TrailingData* t) { t->shortcuts = {{tooLong, "", ""}}; }, "shortcut 0 target"},
        {[&](TrailingData* t) { t->shortcuts = {{"", tooLong, ""}}; }, "shortcut 0 location"},
        {[&](TrailingData* t) { t->programGroupName = tooLong; }, "program group name"},
        {[&](TrailingData* t) { t->groupFolders = {{tooLong, {}}}; }, "group folder 0"},
        {[&](TrailingData* t) { t->groupFolders = {{"\\", {{"\\a", "a"}, {"\\b", tooLong}}}}; },
         "group folder 0 item 1 name"},
        {[&](TrailingData* t) { t->websiteUrl = tooLong; }, "website address"},
        {[&](TrailingData* t) { t->programToRun = tooLong; }, "program to run"},
        {[&](TrailingData* t) { t->helpFile = tooLong; }, "help file"},
        {[&](TrailingData* t) { t->finishText = tooLong; }, "finish text"},
    };
    for (const auto& [breakIt, field] : cases) {
        std::vector<uint8_t> file;
        PackageWriter writer(&file);
        PackageHeaderFields header = smallHeader();
        header.fileCount = 0;
        writer.writeHeader(header);
        writer.writeUninstallerRecord(0, {});
        TrailingData trailing;
        trailing.finishText = std::string(259, 'f');
        breakIt(&trailing);
        EXPECT_EQ(refusal<std::invalid_argument>([&] { writer.writeTrailingData(trailing); }),
                  field + ": is 260 bytes long; at most 259 are allowed");
    }
}

TEST(PackageWriterLimits, CallsOutOfOrderAndAfterAFailureAreRefused) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    EXPECT_EQ(refusal<std::logic_error>([&] { writer.writeFileRecord(0, "a", 1, {0}); }),
              "PackageWriter::writeFileRecord: called out of order");
    EXPECT_EQ(refusal<std::logic_error>([&] { writer.finish(); }), "PackageWriter::finish: called out of order");
    writer.writeHeader(smallHeader());
    EXPECT_EQ(refusal<std::logic_error>([&] { writer.writeProgram(nullptr, 0); }),
              "PackageWriter::writeProgram: called out of order");
    EXPECT_EQ(refusal<std::logic_error>([&] { writer.writeTrailingData({}); }),
              "PackageWriter::writeTrailingData: called out of order");

    // A file open only for reading makes the first write fail.
    const std::string path = tempPath("readonly.bin");
    writeWholeFile(path, {1, 2, 3});
    FILE* readOnly = fopen(path.c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    PackageWriter failing(readOnly);
    const std::vector<uint8_t> program(70000, 1);
    EXPECT_EQ(refusal<std::runtime_error>([&] { failing.writeProgram(program.data(), program.size()); })
                  .rfind("writing the installer file: ", 0),
              0u);
    EXPECT_EQ(refusal<std::logic_error>([&] { failing.writeHeader(smallHeader()); }),
              "PackageWriter::writeHeader: an earlier call failed");
    fclose(readOnly);
    remove(path.c_str());
}

}  // namespace
