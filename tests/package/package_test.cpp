// The package format as the installer reads it: the checksum against its
// word-by-word definition, the header's fields and limits, the file records,
// the lists after the files, and the expansion against its item-by-item model.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "package/decompressor.h"
#include "package/package_format.h"
#include "support/files.h"
#include "support/package_bytes.h"

using namespace package_bytes;

namespace {

// A file in a scratch folder, open for the test's life.
struct OpenFile {
    test_files::ScratchFolder folder;
    std::string path = folder / "file.bin";
    FILE* file = nullptr;
    explicit OpenFile(const Bytes& content, const char* mode = "rb") {
        test_files::writeFile(path, content);
        file = fopen(path.c_str(), mode);
    }
    ~OpenFile() { fclose(file); }
};

TEST(Checksum, AgreesWithTheWordByWordDefinition) {
    const Bytes data = randomBytes(3 * 65536 + 11, 5);
    OpenFile whole(data);
    for (uint32_t covered : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 8u, 65532u, 65535u, 65536u, 65537u, 65539u, 65540u,
                             131075u, 196611u, 3u * 65536 + 11}) {
        EXPECT_EQ(computeFileChecksum(whole.path.c_str(), covered, kSeed), referenceChecksum(data, covered))
            << covered;
    }
    uint32_t sum = checksumSeed, offset = 0;
    for (uint32_t piece = 1; offset < data.size(); piece = piece * 3 % 1031) {
        piece = std::min<uint32_t>(piece, (uint32_t)data.size() - offset);
        sum = checksumUpdate(sum, offset, data.data() + offset, piece);
        offset += piece;
    }
    EXPECT_EQ(sum, referenceChecksum(data, data.size()));
    EXPECT_EQ(computeFileChecksum("no-such-file.bin", 10, kSeed), 0u);
    // A file shorter than the covered length is read word by word: its last
    // partial word keeps the high bytes of the word before it (zeros when none).
    const struct { Bytes file; uint32_t sum; } cases[] = {
        {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, 0x44332211u ^ 0x44336655u},
        {{0x11, 0x22}, 0x00002211u},
        {{}, 0},
    };
    for (const auto& c : cases) {
        OpenFile file(c.file);
        EXPECT_EQ(computeFileChecksum(file.path.c_str(), 100, kSeed), kSeed ^ c.sum) << c.file.size();
    }
    const Bytes blocks = randomBytes(65536 + 2, 6);  // the stale bytes come from the block before
    OpenFile file(blocks);
    const Bytes stale = {blocks[65536], blocks[65537], blocks[65534], blocks[65535]};
    EXPECT_EQ(computeFileChecksum(file.path.c_str(), 70000, kSeed),
              referenceChecksum(blocks, 65536) ^ referenceChecksum(stale, 4, 0));
}

const Bytes kProgram(1000, 0x90);

// PackageHeader is large (the directory table alone is 66 KB): keep it off the stack.
std::pair<int, std::unique_ptr<PackageHeader>> readHeader(const Bytes& file) {
    OpenFile installer(file);
    std::unique_ptr<PackageHeader> header(new PackageHeader);
    int result = readPackageHeader(installer.path.c_str(), header.get());
    return {result, std::move(header)};
}

Bytes installerWith(const HeaderFields& fields) {
    return installerFile(kProgram, ByteBuilder().raw(fields.bytes()).raw(Bytes(40, 0xAB)).bytes);
}

TEST(PackageHeader, ReadsEveryFieldAndLocatesTheFileTable) {
    HeaderFields fields;
    fields.strings = {std::string(25, 't'), std::string(10, 'p'), std::string(19, 'n'), "1.2", "{PF}", "f"};
    fields.directories = {"\\", "\\" + std::string(9, 'd')};
    fields.licence = std::string(1576, 'L');
    fields.fileCount = 11;
    const Bytes file = installerWith(fields);
    auto [result, h] = readHeader(file);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(h->headerStringsSize, 6 * 4 + 25 + 10 + 19 + 3 + 4 + 1u);
    EXPECT_EQ(h->directoryListSize, 4 + 5 + 14u);
    EXPECT_EQ(h->licenceFieldSize, 1580u);
    EXPECT_EQ(fileTableOffset(h.get()), kProgram.size() + fields.bytes().size());
    EXPECT_EQ(h->packageSize, file.size() - kProgram.size() - 12);
    EXPECT_EQ(h->packageOffset, kProgram.size());
    EXPECT_EQ(h->installerFileSize, file.size());
    EXPECT_EQ(h->storedChecksum, referenceChecksum(file, file.size() - 4));
    const char* strings[] = {h->installerTitle, h->publisher, h->productName,
                             h->productVersion, h->baseFolderToken, h->defaultFolderName};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(strings[i], fields.strings[i]);
    EXPECT_STREQ(h->displayName, (fields.strings[2] + " 1.2").c_str());
    EXPECT_EQ(h->directoryCount, 2u);
    EXPECT_EQ(h->directories[1], fields.directories[1]);
    EXPECT_EQ(h->licenceText, fields.licence);
    EXPECT_EQ(h->fileCount, 11u);
    EXPECT_EQ(h->requiredSpace, 1234u);
}

// Each field at its limit reads; one byte more is refused rather than cut (a
// cut would leave the reading inside the text and misplace every later
// field), and so is a container whose trailer does not describe the file.
TEST(PackageHeader, LimitsAndContainers) {
    const Bytes package = HeaderFields().bytes();
    auto trailer = [&](uint32_t size, uint32_t offset) {
        return ByteBuilder().raw(kProgram).raw(package).u32(size).u32(offset).u32(0).bytes;
    };
    auto with = [](void (*change)(HeaderFields&)) {
        HeaderFields fields;
        change(fields);
        return installerWith(fields);
    };
    const struct { const char* what; Bytes file; int result; } cases[] = {
        {"strings of 259", with([](HeaderFields& f) { f.strings[2] = f.strings[3] = std::string(259, 'v'); }), 1},
        {"a string of 260", with([](HeaderFields& f) { f.strings[5] = std::string(260, 'f'); }), 0},
        {"a directory of 260", with([](HeaderFields& f) { f.directories[1] = "\\" + std::string(259, 'd'); }), 1},
        {"a directory of 261", with([](HeaderFields& f) { f.directories[1] = "\\" + std::string(260, 'd'); }), 0},
        {"a licence of 16384", with([](HeaderFields& f) { f.licence = std::string(16384, 'L'); }), 1},
        {"a licence of 16385", with([](HeaderFields& f) { f.licence = std::string(16385, 'L'); }), 0},
        {"255 directories", with([](HeaderFields& f) { f.directories.assign(f.directoryWord = 255, "\\d"); }), 1},
        {"more directories than follow", with([](HeaderFields& f) { f.directoryWord = 200; }), 0},
        {"size one short", trailer((uint32_t)package.size() - 1, (uint32_t)kProgram.size()), 0},
        {"size one over", trailer((uint32_t)package.size() + 1, (uint32_t)kProgram.size()), 0},
        {"sum that wraps in 32 bits", trailer((uint32_t)package.size() + 0x80000000u,
                                              (uint32_t)kProgram.size() + 0x80000000u), 0},
        {"shorter than a trailer", Bytes(11, 0), 0},
        {"counts in the trailer", installerFile(kProgram, Bytes(package.begin(), package.end() - 6)), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(readHeader(c.file).first, c.result) << c.what;
    PackageHeader header;
    EXPECT_EQ(readPackageHeader("no-such-installer.exe", &header), 0);

    auto [result, h] = readHeader(with([](HeaderFields& f) { f.strings[2] = f.strings[3] = std::string(259, 'v'); }));
    EXPECT_EQ(strlen(h->displayName), 259u + 1 + 259);
    std::tie(result, h) = readHeader(with([](HeaderFields& f) { f.directoryWord = 0x12345602; }));
    EXPECT_EQ(h->directoryCount, 2u) << "only the low 8 bits count";
    EXPECT_STREQ(h->directories[1], "\\docs\\");
}

TEST(FileRecord, NamesStopAt259BytesAndAShortRecordIsRefused) {
    FileRecordHead record;
    OpenFile longest(ByteBuilder().record(4, 7, std::string(259, 'n'), {1, 2, 3}).bytes);
    ASSERT_EQ(readFileRecordHead(longest.file, &record), 1);
    EXPECT_EQ(std::vector<uint32_t>({record.compressedSize, record.uncompressedSize, record.directoryIndex,
                                     record.nameLength}), std::vector<uint32_t>({3, 4, 7, 259}));
    EXPECT_EQ(std::string(record.name), std::string(259, 'n'));
    EXPECT_EQ(ftell(longest.file), 16 + 259);
    OpenFile tooLong(ByteBuilder().record(0, 0, std::string(260, 'n'), {}).bytes);
    EXPECT_EQ(readFileRecordHead(tooLong.file, &record), 0);
    Bytes cut = ByteBuilder().record(4, 0, "a.txt", {}).bytes;
    cut.resize(18);  // inside the name
    OpenFile shortRecord(cut);
    EXPECT_EQ(readFileRecordHead(shortRecord.file, &record), 0);
}

// The lists as text, one record a line, checking both directions of the links.
template <typename Each>
void walk(ListNode* head, ListNode* tail, Each each) {
    ListNode* previous = nullptr;
    for (ListNode* node = head; node; previous = node, node = node->next) {
        EXPECT_EQ(node->previous, previous);
        each(node);
    }
    EXPECT_EQ(previous, tail);
}

std::string describe(const PayloadLists& lists) {
    std::string text;
    walk(lists.shortcutsHead, lists.shortcutsTail, [&](ListNode* node) {
        const ShortcutRecord* s = (const ShortcutRecord*)node;
        text = text + "shortcut " + s->target + " " + s->location + " " + s->name + "\n";
    });
    text = text + "group " + lists.programGroupName + "\n";
    walk(lists.groupEntriesHead, lists.groupEntriesTail, [&](ListNode* node) {
        const GroupFolderRecord* folder = (const GroupFolderRecord*)node;
        text = text + "folder " + folder->folder + "\n";
        walk(folder->firstItem, folder->lastItem, [&](ListNode* item) {
            text = text + "  item " + ((GroupItemRecord*)item)->target + " " + ((GroupItemRecord*)item)->name + "\n";
        });
    });
    return text + lists.websiteUrl + "|" + lists.programToRun + "|" + lists.helpFile + "|" + lists.finishText;
}

std::pair<int, std::string> readLists(const Bytes& content) {
    OpenFile in(content);
    PayloadLists lists;
    memset(&lists, 0, sizeof lists);
    int result = readPayloadLists(in.file, &lists);
    if (result) {
        EXPECT_EQ(ftell(in.file), (long)content.size());
    }
    std::string text = describe(lists);
    // The installer keeps the nodes for its whole run; the test frees them.
    for (ListNode* folder = lists.groupEntriesHead; folder; folder = folder->next) {
        GroupFolderRecord* record = (GroupFolderRecord*)folder;
        while (record->firstItem) listRemove(&record->firstItem, &record->lastItem, record->firstItem);
    }
    while (lists.groupEntriesHead) listRemove(&lists.groupEntriesHead, &lists.groupEntriesTail, lists.groupEntriesHead);
    while (lists.shortcutsHead) listRemove(&lists.shortcutsHead, &lists.shortcutsTail, lists.shortcutsHead);
    return {result, text};
}

TEST(PayloadLists, ReadInOrderAndFalseCountsEndAtTheFilesEnd) {
    const std::string longest(259, 'w');
    EXPECT_EQ(readLists(ByteBuilder().u32(2)
                            .counted("\\app.exe").counted("{DESKTOP}").counted("App")
                            .counted("\\readme.txt").counted("{DESKTOP}").counted("Read me")
                            .counted("Sample").u32(2)
                            .counted("\\").u32(2).counted("\\app.exe").counted("App")
                            .counted("\\HalvUninstaller.exe").counted("Uninstall")
                            .counted("\\Extras").u32(0)
                            .counted(longest).counted("\\app.exe").counted("\\help.txt").counted("Thanks.")
                            .bytes),
              std::make_pair(1, "shortcut \\app.exe {DESKTOP} App\nshortcut \\readme.txt {DESKTOP} Read me\n"
                                "group Sample\nfolder \\\n  item \\app.exe App\n"
                                "  item \\HalvUninstaller.exe Uninstall\nfolder \\Extras\n" +
                                    longest + "|\\app.exe|\\help.txt|Thanks."));
    EXPECT_EQ(readLists(ByteBuilder().u32(0).counted("").u32(0).counted(longest + "w").bytes).first, 0);
    // Counts come from the file: one far beyond what it holds ends at its
    // end, keeping the records that were whole.
    EXPECT_EQ(readLists(ByteBuilder().u32(0xFFFFFFFF).counted("\\a").counted("{DESKTOP}").counted("A")
                            .counted("\\b").bytes),
              std::make_pair(0, std::string("shortcut \\a {DESKTOP} A\ngroup \n|||")));
    EXPECT_EQ(readLists(ByteBuilder().u32(0).counted("G").u32(1).counted("\\").u32(0x7FFFFFFF).counted("\\a").bytes),
              std::make_pair(0, std::string("group G\nfolder \\\n|||")));
}

struct Expanded {
    int result = 0;
    Bytes output;
    long inputPosition = -1;
};

using Calls = std::vector<std::pair<int32_t, int32_t>>;
Calls progressCalls;
int stopAtCall = -1;  // the 0-based call that answers 0; -1 never

int recordProgress(int32_t done, int32_t total) {
    progressCalls.emplace_back(done, total);
    return (int)progressCalls.size() - 1 != stopAtCall;
}

// Expands stream placed `before` bytes into a file with 9 more bytes behind it.
Expanded expand(const Bytes& stream, int32_t size, ProgressCallback progress = nullptr, size_t before = 0) {
    OpenFile in(ByteBuilder().raw(Bytes(before, 0xEE)).raw(stream).raw(Bytes(9, 0xDD)).bytes), out({}, "wb");
    progressCalls.clear();
    Expanded e;
    e.result = expandStream(in.file, (int32_t)before, (int32_t)stream.size(), size, out.file, progress);
    e.inputPosition = ftell(in.file);
    fflush(out.file);
    e.output = test_files::readFile(out.path);
    return e;
}

// A stream of exactly length bytes whose items end in its last byte: literals
// and matches at random ring positions (some overlapping their own output).
Bytes streamOfLength(size_t length, uint32_t seed, size_t* produced) {
    // Enough matches to leave less than a byte of padding, then 13 literals
    // traded for 9 matches a third of the time.
    uint64_t bits = length * 8, matches = 0;
    while ((bits - matches * 13) % 9 > 7) ++matches;
    uint64_t literals = (bits - matches * 13) / 9, swaps = literals / 13 / 3;
    literals -= swaps * 13;
    matches += swaps * 9;
    StreamBits stream;
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&]() { return state = state * 1103515245u + 12345u, state >> 8; };
    for (; literals + matches > 0;) {
        if (matches > 0 && (literals == 0 || next() % (literals + matches) < matches)) {
            stream.match((uint8_t)next(), 2 + next() % 16), --matches;
        } else {
            stream.literal((uint8_t)next()), --literals;
        }
    }
    EXPECT_EQ(stream.bytes.size(), length);
    *produced = referenceExpand(stream.bytes, SIZE_MAX).size();
    return stream.bytes;
}

// Random streams of many lengths, around the block sizes, against the model.
// A record that claims fewer bytes is refused when whole stream bytes are
// left over, as the stream is then longer than the record says.
TEST(ExpandStream, AgreesWithTheModelOnRandomStreams) {
    uint32_t seed = 10;
    for (size_t length : {2, 7, 9, 100, 4095, 4096, 4097, 4098, 4099, 8193, 8194, 8196, 12289, 20000, 65537}) {
        for (int round = 0; round < 3; ++round, ++seed) {
            SCOPED_TRACE(testing::Message() << "length " << length << " seed " << seed);
            size_t produced;
            Bytes stream = streamOfLength(length, seed, &produced);
            Expanded e = expand(stream, (int32_t)produced, nullptr, seed % 5);
            ASSERT_EQ(e.result, 1);
            ASSERT_EQ(e.output, referenceExpand(stream, produced));
            EXPECT_EQ(e.inputPosition, (long)(seed % 5 + length));
            uint64_t bitsUsed = 0;
            const Bytes half = referenceExpand(stream, produced / 2 + 1, &bitsUsed);
            Expanded cut = expand(stream, (int32_t)(produced / 2 + 1));
            ASSERT_EQ(cut.result, (bitsUsed + 7) / 8 == stream.size() ? 1 : 0);
            if (cut.result) {
                ASSERT_EQ(cut.output, half);
            }
        }
    }
}

// The progress bar moves once per block read: 4098 bytes first, 4096 after.
// The output goes out in whole 4096-byte pieces as they fill, so a stop at a
// call shows exactly which pieces were written.
TEST(ExpandStream, ProgressFollowsTheBlocksAndAStopKeepsWholePieces) {
    const struct { size_t length; Calls calls; } cases[] = {
        {585, {{0, 585}, {585, 585}}},
        {4098, {{0, 4098}, {4098, 4098}}},
        {4099, {{0, 4099}, {4098, 4099}, {4099, 4099}}},
        {12290, {{0, 12290}, {4098, 12290}, {8194, 12290}, {12290, 12290}}},
    };
    for (const auto& c : cases) {
        size_t produced;
        Bytes stream = streamOfLength(c.length, (uint32_t)c.length, &produced);
        EXPECT_EQ(expand(stream, (int32_t)produced, recordProgress).result, 1);
        EXPECT_EQ(progressCalls, c.calls) << c.length;
    }
    StreamBits literals, matchCompletes;
    literals.literals(randomBytes(4100, 1));
    matchCompletes.literals(randomBytes(4090, 2)).match(0, 17);
    const struct { Bytes stream; int stop; size_t written; } stops[] = {
        {literals.bytes, 0, 0}, {literals.bytes, 2, 4096}, {matchCompletes.bytes, 2, 0}};
    for (const auto& s : stops) {
        stopAtCall = s.stop;
        Expanded e = expand(s.stream, 4100, recordProgress, 40);
        stopAtCall = -1;
        EXPECT_EQ(e.result, 0);
        EXPECT_EQ(progressCalls.size(), (size_t)s.stop + 1);
        EXPECT_EQ(e.output.size(), s.written);
        if (s.stop == 0) {
            EXPECT_EQ(e.inputPosition, 40) << "the first call comes before any read";
        }
    }
}

TEST(ExpandStream, RefusesWhatCannotServeAndStreamsThatEndEarly) {
    StreamBits two;
    two.literal('a').literal('b');
    OpenFile padding(Bytes(64, 0x55)), twoFile(two.bytes), empty({}), out({}, "wb"), readOnly({1, 2, 3});
    fseek(padding.file, 7, SEEK_SET);
    const struct { FILE* input; int32_t start, compressed, uncompressed; FILE* output; } cases[] = {
        {padding.file, 10, 20, 0, out.file},         {padding.file, -1, 20, 5, out.file},
        {padding.file, 10, -20, 5, out.file},        {nullptr, 10, 20, 5, out.file},
        {padding.file, 10, 20, 5, nullptr},          {twoFile.file, 0, 4, 2, out.file},
        {twoFile.file, 2, 2, 2, out.file},           {twoFile.file, 0x7FFFFFFF, 0x7FFFFFFF, 2, out.file},
        {twoFile.file, 0, 3, 3, out.file},           {empty.file, 0, 0, 1, out.file},
        {twoFile.file, 0, 3, 2, readOnly.file},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(expandStream(c.input, c.start, c.compressed, c.uncompressed, c.output, nullptr), 0) << i;
        if (i == 0) {
            EXPECT_EQ(ftell(padding.file), 7) << "refused before the input moved";
        }
    }
    EXPECT_EQ(expand({0xC2, 0x02}, 5).result, 0);  // the bytes run out inside the last item
    size_t produced;
    Bytes stream = streamOfLength(9000, 4, &produced);
    EXPECT_EQ(expand(stream, (int32_t)produced + 1).result, 0);
    EXPECT_EQ(expand(stream, 100).result, 0);  // far more stream than the record's size needs
    StreamBits overshoot;
    overshoot.literal('a').match(0, 17).literal('z');
    EXPECT_EQ(expand(overshoot.bytes, 5).result, 0);
}

TEST(ExpandStream, ACompressedSizeOfZeroTakesTheWholeInput) {
    StreamBits stream;
    stream.literal('q').match(0, 3);
    OpenFile in(stream.bytes), out({}, "wb");
    fseek(in.file, 1, SEEK_SET);
    progressCalls.clear();
    EXPECT_EQ(expandStream(in.file, 1, 0, 4, out.file, recordProgress), 1);
    fflush(out.file);
    EXPECT_EQ(test_files::readFile(out.path), (Bytes{'q', 'q', 0, 0}));
    const int32_t total = (int32_t)stream.bytes.size();
    EXPECT_EQ(progressCalls, (Calls{{0, total}, {total, total}}));
}

}  // namespace
