// The package format as the installer reads it: the checksum against its
// word-by-word definition, the header's limits (its fields are read back in
// the writer's tests), the file records, the lists after the files, and the
// expansion against its item-by-item model.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

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
    EXPECT_EQ(computeFileChecksum("no-such-file.bin", 10, kSeed), 0u);
    // A file shorter than the covered length is read word by word: its last
    // partial word keeps the high bytes of the word before it (zeros when none).
    const struct { Bytes file; uint32_t sum; } cases[] = {
        {{0x11, 0x22, 0x33, 0x44, 0x55}, 0x44332211u ^ 0x44332255u},
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
    EXPECT_EQ(std::string(h->displayName), std::string(259, 'v') + " " + std::string(259, 'v'));
    std::tie(result, h) = readHeader(with([](HeaderFields& f) { f.directoryWord = 0x12345702; }));
    EXPECT_EQ(h->directoryCount, 2u) << "only the low 8 bits count";
    EXPECT_STREQ(h->directories[1], "\\docs\\");
}

// Names and strings stop at 259 bytes; counts come from the file and are not
// trusted: one far beyond what the file holds ends at its end, keeping the
// records that were whole (the lists' order: the writer's tests read them back).
TEST(PayloadRecords, NamesStopAt259BytesAndFalseCountsEndAtTheFilesEnd) {
    FileRecordHead record;
    OpenFile longest(ByteBuilder().record(4, 7, std::string(259, 'n'), {1, 2, 3}).bytes);
    ASSERT_EQ(readFileRecordHead(longest.file, &record), 1);
    EXPECT_EQ(std::vector<uint32_t>({record.compressedSize, record.uncompressedSize, record.directoryIndex}),
              std::vector<uint32_t>({3, 4, 7}));
    EXPECT_EQ(std::string(record.name), std::string(259, 'n'));
    EXPECT_EQ(ftell(longest.file), 16 + 259);
    Bytes cut = ByteBuilder().record(4, 0, "a.txt", {}).bytes;
    cut.resize(18);  // inside the name
    for (const Bytes& refused : {ByteBuilder().record(0, 0, std::string(260, 'n'), {}).bytes, cut}) {
        OpenFile file(refused);
        EXPECT_EQ(readFileRecordHead(file.file, &record), 0);
    }
    const std::string longestText(259, 'w');
    const Bytes lists[] = {
        ByteBuilder().u32(0).counted("").u32(0).counted(longestText).counted("").counted("").counted("").bytes,
        ByteBuilder().u32(0).counted("").u32(0).counted(longestText + "w").counted("").counted("").counted("").bytes,
        ByteBuilder().u32(0xFFFFFFFF).counted("\\a").counted("{DESKTOP}").counted("A").counted("\\b").bytes,
        ByteBuilder().u32(0).counted("G").u32(1).counted("\\").u32(0x7FFFFFFF).counted("\\a").bytes};
    const int results[] = {1, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        OpenFile in(lists[i]);
        PayloadLists read = {};
        EXPECT_EQ(readPayloadLists(in.file, &read), results[i]) << i;
        EXPECT_TRUE(i != 0 || std::string(read.websiteUrl) == longestText);
        EXPECT_TRUE(i != 2 || !strcmp(((ShortcutRecord*)read.shortcutsHead)->name, "A")) << "whole records stay";
        EXPECT_TRUE(i != 3 || ((GroupFolderRecord*)read.groupEntriesHead)->firstItem == nullptr);
        for (ListNode* head : {read.shortcutsHead, read.groupEntriesHead}) {
            for (ListNode *node = head, *next; node; node = next) next = node->next, free(node);
        }
    }
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

#ifndef _WIN32
// A memory stream (as the fuzzers use) has no descriptor: measured by a seek
// to its end, it is sought back even when it stood at the stream before.
TEST(ExpandStream, AnInputWithoutADescriptor) {
    size_t produced;
    const Bytes stream = streamOfLength(5000, 9, &produced), file = ByteBuilder().raw(Bytes(3, 0xEE)).raw(stream).bytes;
    FILE* input = fmemopen((void*)file.data(), file.size(), "rb");
    OpenFile out({}, "wb");
    fseek(input, 3, SEEK_SET);
    EXPECT_EQ(expandStream(input, 3, 5000, (int32_t)produced, out.file, nullptr), 1);
    fclose(input);
    fflush(out.file);
    EXPECT_EQ(test_files::readFile(out.path), referenceExpand(stream, produced));
}
#endif

// The output goes out in whole 4096-byte pieces as they fill, so a stop at a
// progress call (one before the first read, one per block read) shows exactly
// which pieces were written. (The calls per block: the engine's progress test.)
TEST(ExpandStream, AStopKeepsWholePieces) {
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

}  // namespace
