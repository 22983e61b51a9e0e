// The encoder against exhaustive search and the expansion model; the writer's output read back by the installer's own
// package reader, its trailer against the format's checksum; the one guard that refuses what that reader cannot take.
#include "writer/package_writer.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "corpus.h"
#include "package/decompressor.h"
#include "support/files.h"
#include "support/package_bytes.h"
#include "writer/encoder.h"

using package_bytes::Bytes;
using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The fewest item bits: every ring position and length at every output position, the ring kept as the installer keeps it.
uint64_t exhaustiveBits(const Bytes& data) {
    const size_t n = data.size();
    std::vector<std::array<uint8_t, 256>> ringBefore(n);
    std::array<uint8_t, 256> ring{};
    for (size_t i = 0; i < n; ++i) ringBefore[i] = ring, ring[i % 256] = data[i];
    std::vector<uint64_t> cost(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        cost[i] = 9 + cost[i + 1];
        for (uint32_t p = 0; p < 256; ++p)
            for (size_t length = 0; length < 17 && i + length < n && data[i + length] == ringBefore[i][(p + length) % 256];)
                if (++length >= 2) cost[i] = std::min(cost[i], 13 + cost[i + length]);
    }
    return cost[0];
}

TEST(EncodeStream, FindsTheSmallestStreamAndItExpandsBack) {
    // Few byte values: repeats, and zeros that match never-written ring positions; past 256 bytes sources wrap from 255 to 0.
    std::vector<Bytes> inputs = {corpus::textLike(3000, 4), corpus::binaryLike(3000, 5)};
    for (uint32_t seed = 1; seed <= 306; ++seed)
        inputs.push_back(package_bytes::randomBytes(seed <= 300 ? 1 + seed % 40 : 250 + 20 * (seed - 300), seed));
    for (size_t i = 2; i < inputs.size(); ++i) for (uint8_t& byte : inputs[i]) byte %= 2 + i % 3;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Bytes stream = encodeStream(inputs[i]);
        const uint64_t bits = optimalStreamBits(inputs[i].data(), inputs[i].size());
        EXPECT_EQ(bits, exhaustiveBits(inputs[i])) << "input " << i;
        uint64_t used = 0;
        ASSERT_EQ(package_bytes::referenceExpand(stream, inputs[i].size(), &used), inputs[i]) << "input " << i;
        EXPECT_EQ(std::to_string(used) + " " + std::to_string(stream.size()), std::to_string(bits) + " " + std::to_string((bits + 7) / 8)) << i;
    }
}

// Strings at their limits, files in every directory, an empty one and one of many blocks (and over 64 KiB), lists with
// several entries.
InstallerContents sampleContents() {
    return {{std::string(259, 'T'), "Tiny Works", "Tiny", "", "{PROGRAM_FILES}", "Tiny", {"\\", "\\" + std::string(259, 'd'), "\\Docs"},
             std::string(16382, 'L') + "\r\n", 1, 0xFFFFFFFFu},
            {{0, "a.txt", {'a', 'b', 'a', 'b'}}, {2, "empty", {}}, {1, std::string(259, 'n'), package_bytes::randomBytes(70000, 3)}},
            {'M', 'Z'},
            {{{"\\a.txt", "{DESKTOP}", std::string(259, 's')}, {"\\Docs\\x.bin", "{DESKTOP}", "Big"}}, "Group",
             {{"\\", {{"\\a.txt", "A"}, {"\\HalvUninstaller.exe", "Uninstall"}}}, {"\\Empty", {}}}, "http://example.org/", "",
             "\\Docs\\help.txt", std::string(259, 'f')}};
}

TEST(PackageWriter, InstallerReadsBackThroughTheInstallersReader) {
    InstallerContents contents = sampleContents();
    contents.files.push_back({0, UNINSTALLER_FILE_NAME, contents.uninstaller});  // the record read last
    test_files::ScratchFolder scratch;
    const std::string path = scratch / "setup.exe";
    for (size_t programSize : {4097, 1, 2, 3}) {  // every remainder for the checksum's last word
        const Bytes bytes = buildInstaller(package_bytes::randomBytes(programSize, 9), sampleContents());
        ASSERT_TRUE(test_files::writeFile(path, bytes));
        const size_t size = bytes.size();
        EXPECT_EQ(Bytes(bytes.end() - 12, bytes.end()), package_bytes::ByteBuilder().u32((uint32_t)(size - 12 - programSize))
                                                            .u32((uint32_t)programSize).u32(package_bytes::referenceChecksum(bytes, size - 4)).bytes);
        auto h = std::make_unique<PackageHeader>();
        ASSERT_EQ(readPackageHeader(path.c_str(), h.get()), 1);
        std::vector<std::string> seen = {h->installerTitle, h->publisher, h->productName, h->productVersion, h->baseFolderToken,
                                         h->defaultFolderName, h->licenceText, std::to_string(h->fileCount), std::to_string(h->requiredSpace)};
        seen.insert(seen.end(), h->directories, h->directories + h->directoryCount);
        FilePtr input(fopen(path.c_str(), "rb"), fclose);
        ASSERT_EQ(fseek(input.get(), (long)fileTableOffset(h.get()), SEEK_SET), 0);
        for (const FileEntry& entry : contents.files) {
            FileRecordHead r;
            ASSERT_EQ(readFileRecordHead(input.get(), &r), 1);
            seen.push_back(std::to_string(r.directoryIndex) + r.name + " " + std::to_string(r.uncompressedSize) + (r.compressedSize ? "" : " -"));
            // An empty file carries no stream (" -"): expanding one to 0 bytes fails.
            FilePtr expanded(fopen((scratch / "expanded").c_str(), "wb"), fclose);
            EXPECT_TRUE(r.uncompressedSize == 0 || expandStream(input.get(), (int32_t)ftell(input.get()), (int32_t)r.compressedSize,
                                                                (int32_t)r.uncompressedSize, expanded.get(), nullptr) == 1);
            expanded.reset();
            EXPECT_EQ(test_files::readFile(scratch / "expanded"), entry.content);
        }
        PayloadLists lists = {};
        ASSERT_EQ(readPayloadLists(input.get(), &lists), 1);
        EXPECT_EQ(ftell(input.get()), (long)size - 12) << "the trailer follows the closing strings";
        for (ListNode* node; (node = lists.shortcutsHead); listRemove(&lists.shortcutsHead, &lists.shortcutsTail, node))
            seen.insert(seen.end(), {((ShortcutRecord*)node)->target, ((ShortcutRecord*)node)->location, ((ShortcutRecord*)node)->name});
        seen.push_back(lists.programGroupName);
        for (ListNode* node; (node = lists.groupEntriesHead); listRemove(&lists.groupEntriesHead, &lists.groupEntriesTail, node)) {
            GroupFolderRecord* folder = (GroupFolderRecord*)node;
            seen.push_back("folder " + std::string(folder->folder));
            for (ListNode* item; (item = folder->firstItem); listRemove(&folder->firstItem, &folder->lastItem, item))
                seen.insert(seen.end(), {((GroupItemRecord*)item)->target, ((GroupItemRecord*)item)->name});
        }
        seen.insert(seen.end(), {lists.websiteUrl, lists.programToRun, lists.helpFile, lists.finishText});
        EXPECT_EQ(seen, (std::vector<std::string>{std::string(259, 'T'), "Tiny Works", "Tiny", "", "{PROGRAM_FILES}", "Tiny",
                                                  std::string(16382, 'L') + "\r\n", "3", "4294967295", "\\", "\\" + std::string(259, 'd'), "\\Docs",
                                                  "0a.txt 4", "2empty 0 -", "1" + std::string(259, 'n') + " 70000", "0HalvUninstaller.exe 2",
                                                  "\\a.txt", "{DESKTOP}", std::string(259, 's'), "\\Docs\\x.bin", "{DESKTOP}", "Big", "Group",
                                                  "folder \\", "\\a.txt", "A", "\\HalvUninstaller.exe", "Uninstall", "folder \\Empty",
                                                  "http://example.org/", "", "\\Docs\\help.txt", std::string(259, 'f')}))
            << programSize;
    }
}

// A row's pieces, written by `calls` in their order: Program, Header, Record, Uninstaller record, Trailing data, Finish.
struct Pieces {
    InstallerContents c = sampleContents();
    uint32_t directory = 2, size = 4;
    std::string name = "a.txt", calls = "PHRUTF";
    Bytes stream = encodeStream(Bytes(4, 'a'));

    std::vector<std::string*> stringsOf259() {
        PackageHeaderFields& h = c.header;
        TrailingData& t = c.trailing;
        std::vector<std::string*> all = {&h.installerTitle, &h.publisher, &h.productName, &h.productVersion, &h.baseFolderToken, &name,
                                         &h.defaultFolderName, &t.programGroupName, &t.websiteUrl, &t.programToRun, &t.helpFile, &t.finishText};
        for (ShortcutEntry& s : t.shortcuts) all.insert(all.end(), {&s.target, &s.location, &s.name});
        for (GroupFolderEntry& folder : t.groupFolders) {
            all.push_back(&folder.folder);
            for (GroupItemEntry& item : folder.items) all.insert(all.end(), {&item.target, &item.name});
        }
        return all;
    }

    // Whether every call was taken; a refused one must have written nothing.
    bool accepted() {
        Bytes file;
        PackageWriter writer(&file);
        size_t before = 0;
        try {
            for (char call : calls) {
                before = file.size();
                if (call == 'P') writer.writeProgram(file.data(), 0);
                if (call == 'H') writer.writeHeader(c.header);
                if (call == 'R') writer.writeFileRecord(directory, name, size, stream);
                if (call == 'U') writer.writeUninstallerRecord(0, {});
                if (call == 'T') writer.writeTrailingData(c.trailing);
                if (call == 'F') writer.finish();
            }
        } catch (const std::logic_error&) {  // std::invalid_argument is one too
            EXPECT_EQ(file.size(), before) << "a refused piece was partly written";
            return false;
        }
        return true;
    }
};

TEST(PackageWriter, GuardRefusesWhatTheReaderCannotTake) {
    Pieces limits;  // each at its limit
    for (std::string* text : limits.stringsOf259()) *text = std::string(259, 'x');
    limits.c.header.directories.resize(255, "\\" + std::string(259, 'd'));
    limits.c.header.licenceText = std::string(16384, 'l');
    limits.directory = 254;
    EXPECT_TRUE(limits.accepted());
    std::vector<std::pair<std::string, std::function<void(Pieces&)>>> refused = {
        {"directory of 261", [](Pieces& p) { p.c.header.directories[1] = "\\" + std::string(260, 'd'); }},
        {"directory without backslash", [](Pieces& p) { p.c.header.directories[1] = "Sub"; }},
        {"first directory not the destination", [](Pieces& p) { std::swap(p.c.header.directories[0], p.c.header.directories[2]); }},
        {"no directory", [](Pieces& p) { p.c.header.directories.clear(); }},
        {"256 directories", [](Pieces& p) { p.c.header.directories.assign(256, "\\"); }},
        {"licence of 16385", [](Pieces& p) { p.c.header.licenceText = std::string(16385, 'l'); }},
        {"directory index not below the count", [](Pieces& p) { p.directory = 3; }},
        {"empty name", [](Pieces& p) { p.name = ""; }},
        {"stream for an empty file", [](Pieces& p) { p.size = 0; }},
        {"no stream for a file", [](Pieces& p) { p.stream.clear(); }},
        {"size over 2^31 - 1", [](Pieces& p) { p.size = 0x80000000u; }},
        {"more records than announced", [](Pieces& p) { p.calls = "PHRR"; }},  // the call at fault ends the row
        {"fewer records than announced", [](Pieces& p) { p.calls = "PHU"; }},
        {"program after the header", [](Pieces& p) { p.calls = "PHP"; }},
        {"lists before the uninstaller", [](Pieces& p) { p.calls = "PHRT"; }},
        {"finish before the lists", [](Pieces& p) { p.calls = "PHRUF"; }},
    };
    for (size_t i = 0; i < limits.stringsOf259().size(); ++i)
        for (const std::string& text : {std::string(260, 'x'), std::string("a\0b", 3)})
            refused.push_back({"string " + std::to_string(i) + " of " + std::to_string(text.size()),
                               [=](Pieces& p) { *p.stringsOf259()[i] = text; }});
    for (const auto& [what, change] : refused) {
        Pieces p;
        change(p);
        EXPECT_FALSE(p.accepted()) << what;
    }
    test_files::ScratchFolder scratch;  // after a failed write the writer takes nothing more
    FilePtr readOnly((test_files::writeFile(scratch / "read-only", "x"), fopen((scratch / "read-only").c_str(), "rb")), fclose);
    PackageWriter failing(readOnly.get());
    EXPECT_THROW(failing.writeProgram(Bytes(70000, 1).data(), 70000), std::runtime_error);  // more than a stream buffers
    EXPECT_THROW(failing.writeHeader(limits.c.header), std::logic_error);
}
