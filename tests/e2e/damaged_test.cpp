// Damaged and hostile installers run through the real installer program. The
// test lays out a small package itself around the real program, so that it
// can cut it at every region, flip a bit in each, or seal hostile fields with
// a checksum that matches. Each row says how the installer must refuse it;
// none may write a byte outside its destination or leave one inside it.
#include <shlobj.h>

#include <functional>

#include "driver.h"
#include "support/package_bytes.h"

using namespace e2e;
using namespace package_bytes;

namespace {

struct Record {
    uint32_t compressed, uncompressed, directory;
    std::string name;
    Bytes stream;
};

// The package of a plain product: two files and the uninstaller, no licence.
struct Forged {
    HeaderFields header;
    std::vector<Record> records;  // the files, then the uninstaller
    Bytes closing = ByteBuilder().u32(0).counted("").u32(0).counted("").counted("").counted("").counted("").bytes;

    Forged() {
        header.strings = {"Plain Product Setup", "E2E Tests", "Plain Product", "3.0", "{PROGRAM_FILES}", "Plain Product"};
        header.directories = {"\\", "\\sub\\"};
        header.licence = "";
        header.fileCount = 2;
        add(0, "readme.txt", randomBytes(300, 1));
        add(1, "numbers.txt", randomBytes(2000, 2));
        add(0, "HalvUninstaller.exe", randomBytes(100, 3));
    }
    void add(uint32_t directory, const std::string& name, const Bytes& content) {
        StreamBits stream;
        stream.literals(content);
        records.push_back({(uint32_t)stream.bytes.size(), (uint32_t)content.size(), directory, name, stream.bytes});
    }
};

// Where the parts of the assembled file begin.
struct Regions {
    uint32_t package, fileTable, closing, trailer, size;
    std::vector<uint32_t> records, streams;
};

Bytes assemble(const Forged& forged, Regions* at) {
    ByteBuilder file;
    file.raw(test_files::readFile(installer("program.exe")));
    at->package = (uint32_t)file.bytes.size();
    file.raw(forged.header.bytes());
    at->fileTable = (uint32_t)file.bytes.size();
    for (const Record& r : forged.records) {
        at->records.push_back((uint32_t)file.bytes.size());
        file.u32(r.compressed).u32(r.uncompressed).u32(r.directory).counted(r.name);
        at->streams.push_back((uint32_t)file.bytes.size());
        file.raw(r.stream);
    }
    at->closing = (uint32_t)file.bytes.size();
    file.raw(forged.closing);
    at->trailer = (uint32_t)file.bytes.size();
    file.u32(at->trailer - at->package).u32(at->package);
    file.u32(referenceChecksum(file.bytes, file.bytes.size()));
    at->size = (uint32_t)file.bytes.size();
    return file.bytes;
}

enum Refusal { kIntegrity, kInitialize, kFatal };

struct Row {
    const char* name;
    Refusal refusal;
    std::function<void(Forged&)> forge;
    std::function<void(Bytes&, const Regions&)> damage;
};

std::function<void(Bytes&, const Regions&)> cut(uint32_t Regions::*region, int delta = 0) {
    return [=](Bytes& file, const Regions& at) { file.resize(at.*region + delta); };
}
std::function<void(Bytes&, const Regions&)> flip(std::function<uint32_t(const Regions&)> offset) {
    return [=](Bytes& file, const Regions& at) { file.at(offset(at)) ^= 0x10; };
}
// The trailer's offset word, with the checksum made right again when sealed.
std::function<void(Bytes&, const Regions&)> trailerOffset(std::function<uint32_t(const Regions&)> offset, bool sealed) {
    return [=](Bytes& file, const Regions& at) {
        const Bytes word = ByteBuilder().u32(offset(at)).bytes;
        std::copy(word.begin(), word.end(), file.begin() + at.trailer + 4);
        if (sealed) {
            const Bytes sum = ByteBuilder().u32(referenceChecksum(file, file.size() - 4)).bytes;
            std::copy(sum.begin(), sum.end(), file.end() - 4);
        }
    };
}

const Row kRows[] = {
    {"CutInTheProgram", kIntegrity, nullptr, cut(&Regions::package, -1)},
    {"CutInTheHeader", kIntegrity, nullptr, cut(&Regions::package, 6)},
    {"CutAtTheFileTable", kIntegrity, nullptr, cut(&Regions::fileTable)},
    {"CutInAStream", kIntegrity, nullptr, [](Bytes& f, const Regions& at) { f.resize(at.streams[1] + 7); }},
    {"CutAtTheUninstaller", kIntegrity, nullptr, [](Bytes& f, const Regions& at) { f.resize(at.records[2]); }},
    {"CutAtTheClosingLists", kIntegrity, nullptr, cut(&Regions::closing)},
    {"CutInTheTrailer", kIntegrity, nullptr, cut(&Regions::size, -6)},
    {"FlipInTheProgram", kIntegrity, nullptr, flip([](const Regions&) { return 0x50u; })},
    {"FlipInAHeaderLength", kIntegrity, nullptr, flip([](const Regions& at) { return at.package; })},
    {"FlipInARecordIndex", kIntegrity, nullptr, flip([](const Regions& at) { return at.records[0] + 8; })},
    {"FlipInAStream", kIntegrity, nullptr, flip([](const Regions& at) { return at.streams[0] + 3; })},
    {"FlipInTheClosingLists", kIntegrity, nullptr, flip([](const Regions& at) { return at.closing + 1; })},
    {"FlipInTheTrailerSize", kIntegrity, nullptr, flip([](const Regions& at) { return at.trailer; })},
    {"TrailerOutsideTheFile", kIntegrity, nullptr, trailerOffset([](const Regions& at) { return at.size + 4096; }, false)},
    {"SealedTrailerOutsideTheFile", kInitialize, nullptr, trailerOffset([](const Regions& at) { return at.size + 4096; }, true)},
    {"SealedTrailerOneShort", kInitialize, nullptr, trailerOffset([](const Regions& at) { return at.package - 1; }, true)},
    {"SealedTrailerNearTheWrap", kInitialize, nullptr, trailerOffset([](const Regions&) { return 0xFFFFFFF0u; }, true)},
    {"TitleOverLong", kInitialize, [](Forged& p) { p.header.strings[0] = std::string(260, 'T'); }, nullptr},
    {"DirectoryOverLong", kInitialize, [](Forged& p) { p.header.directories[1] = "\\" + std::string(260, 'D'); }, nullptr},
    {"LicenceOverLong", kInitialize, [](Forged& p) { p.header.licence = std::string(16385, 'L'); }, nullptr},
    {"DirectoryCountPastTheHeader", kInitialize, [](Forged& p) { p.header.directoryWord = 255; p.records.clear(); p.closing.clear(); }, nullptr},
    {"DirectoryIndexOutOfRange", kFatal, [](Forged& p) { p.records[1].directory = 2; }, nullptr},
    {"DirectoryIndexHuge", kFatal, [](Forged& p) { p.records[0].directory = 0xFFFFFFFFu; }, nullptr},
    {"NameClimbsOut", kFatal, [](Forged& p) { p.records[0].name = "..\\escaped.txt"; }, nullptr},
    {"NameIsDotDot", kFatal, [](Forged& p) { p.records[0].name = ".."; }, nullptr},
    {"NameWithADrive", kFatal, [](Forged& p) { p.records[0].name = "C:\\e2e\\escaped.txt"; }, nullptr},
    {"NameWithAColon", kFatal, [](Forged& p) { p.records[0].name = "readme.txt:stream"; }, nullptr},
    {"NameOverLong", kFatal, [](Forged& p) { p.records[0].name = std::string(300, 'n'); }, nullptr},
    {"UninstallerNameClimbsOut", kFatal, [](Forged& p) { p.records[2].name = "..\\..\\HalvUninstaller.exe"; }, nullptr},
    {"DirectoryClimbsOut", kFatal, [](Forged& p) { p.header.directories[1] = "\\..\\..\\escaped"; }, nullptr},
    {"DirectoryWithADrive", kFatal, [](Forged& p) { p.header.directories[1] = "C:\\e2e\\escaped"; }, nullptr},
    {"StreamShorterThanItsRecord", kFatal, [](Forged& p) { p.records[0].uncompressed += 1000; }, nullptr},
    {"StreamLongerThanItsRecord", kFatal, [](Forged& p) { p.records[0].uncompressed -= 4; }, nullptr},
    {"CompressedSizeShort", kFatal, [](Forged& p) { p.records[1].stream.resize(p.records[1].compressed /= 2); }, nullptr},
    {"CompressedSizeClaimsMore", kFatal, [](Forged& p) { p.records[0].compressed += 7; }, nullptr},
    {"FileCountHuge", kFatal, [](Forged& p) { p.header.fileCount = 0x7FFFFFFFu; }, nullptr},
};

class Damaged : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        area = std::string("C:\\e2e\\damaged-") + GetParam().name;
        test_files::removeTree(area);
        CreateDirectoryA("C:\\e2e", nullptr);
        CreateDirectoryA(area.c_str(), nullptr);
        test_windows::deleteKey(kUninstallKey[kPlain]);
        Forged forged;
        if (GetParam().forge) GetParam().forge(forged);
        Regions at{};
        Bytes file = assemble(forged, &at);
        if (GetParam().damage) GetParam().damage(file, at);
        path = e2eFolder("installers") + "damaged-" + GetParam().name + ".exe";
        test_files::writeFile(path, file);
    }
    void TearDown() override {
        test_files::removeTree(area);
        test_windows::deleteKey(kUninstallKey[kPlain]);
        DeleteFileA(path.c_str());
    }
    // Runs it into area\dest and expects its refusal; nothing anywhere afterwards but `kept`.
    void expectRefused(const std::vector<std::string>& kept) {
        Installer run(path);
        const Refusal refusal = GetParam().refusal;
        if (refusal == kFatal) {
            ASSERT_TRUE(run.waitForWindow());
            run.typeDestination(area + "\\dest\\");
            run.click(run.rightButton());
            if (!kept.empty()) run.answer(run.waitForMessageBox(), IDYES);  // the folder exists
            expectRemoved(run, true);
        } else {
            Dialog box = run.waitForMessageBox();
            EXPECT_EQ(box.text, refusal == kInitialize ? "Could not initialize installer. Fatal error, exiting."
                                : "File integrity check failed. This file has been altered from its original state, and is "
                                  "corrupt.\nPlease visit the Halvorsine website at https://www.halvorsine.org/ to obtain an "
                                  "uncorrupted copy of this file.");
            EXPECT_EQ(run.waitForWindow(200), nullptr);
            run.answer(box, IDOK);
        }
        EXPECT_EQ(run.waitForExit(), 0);
        EXPECT_EQ(test_files::listTree(area), kept);
        EXPECT_FALSE(test_files::exists(test_windows::specialFolder(CSIDL_PROGRAM_FILES) + "\\Plain Product") ||
                     test_files::exists("C:\\e2e\\escaped.txt") || test_files::exists("C:\\e2e\\escaped") ||
                     test_windows::keyExists(kUninstallKey[kPlain]));
    }
    std::string area, path;
};

TEST_P(Damaged, IsRefusedAndLeavesNothing) { expectRefused({}); }

// A destination that existed keeps exactly what it held.
using DamagedOverAnExistingFolder = Damaged;
TEST_P(DamagedOverAnExistingFolder, KeepsWhatTheFolderHeld) {
    CreateDirectoryA((area + "\\dest").c_str(), nullptr);
    test_files::writeFile(area + "\\dest\\mine.txt", "mine");
    expectRefused({"dest\\", "dest\\mine.txt"});
    EXPECT_EQ(test_files::readFile(area + "\\dest\\mine.txt"), (Bytes{'m', 'i', 'n', 'e'}));
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

INSTANTIATE_TEST_SUITE_P(Installer, Damaged, ::testing::ValuesIn(kRows), rowName);
INSTANTIATE_TEST_SUITE_P(Installer, DamagedOverAnExistingFolder,
                         ::testing::ValuesIn(std::end(kRows) - 15, std::end(kRows)), rowName);

}  // namespace
