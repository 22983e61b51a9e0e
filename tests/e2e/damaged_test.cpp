// Damaged installers, run through the real installer program: plain.exe cut
// short at every region boundary, with single bits flipped, with a trailer
// pointing elsewhere, and rebuilt with a matching checksum around hostile
// fields. Each row says which way the installer must refuse it; none may
// write a byte outside its destination or leave one inside it.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <functional>
#include <stdexcept>

#include "package_forge.h"
#include "scenario.h"

using namespace e2e;

namespace {

const char integrityText[] =
    "File integrity check failed. This file has been altered from its original state, and is corrupt.\n"
    "Please visit the Halvorsine website at https://www.halvorsine.org/ to obtain an uncorrupted copy of this file.";
const char initText[] = "Could not initialize installer. Fatal error, exiting.";

enum class Refusal { Integrity, Initialize, Fatal };

using Bytes = std::vector<unsigned char>;
using Damage = std::function<Bytes(const Bytes& plain, const PackageRegions& where)>;

struct DamagedCase {
    const char* name;
    Refusal refusal;
    Damage damage;
};

Bytes truncatedAt(const Bytes& plain, uint32_t length) { return Bytes(plain.begin(), plain.begin() + length); }

Bytes flipped(Bytes file, uint32_t offset, int bit) {
    file.at(offset) ^= (unsigned char)(1u << bit);
    return file;
}

// The plain product's package rebuilt after change has edited it.
Damage forged(std::function<void(ForgedPackage&)> change) {
    return [change](const Bytes& plain, const PackageRegions&) {
        ForgedPackage package = parseInstaller(plain);
        change(package);
        return assembleInstaller(package);
    };
}

// The first record that installs into a folder below the destination.
ForgedRecord& recordInSubfolder(ForgedPackage& package) {
    for (size_t i = 0; i + 1 < package.records.size(); ++i)
        if (package.records[i].directoryIndex != 0) return package.records[i];
    throw std::runtime_error("plain.exe has no file in a subfolder");
}

Damage cut(std::function<uint32_t(const PackageRegions&)> length) {
    return [length](const Bytes& plain, const PackageRegions& where) { return truncatedAt(plain, length(where)); };
}

Damage flip(std::function<uint32_t(const PackageRegions&)> offset, int bit) {
    return [offset, bit](const Bytes& plain, const PackageRegions& where) { return flipped(plain, offset(where), bit); };
}

// The trailer's offset word set to offset; sealed: the checksum recomputed.
Damage trailerOffset(std::function<uint32_t(const PackageRegions&)> offset, bool sealed) {
    return [offset, sealed](const Bytes& plain, const PackageRegions& where) {
        Bytes file = plain;
        putU32(file, where.trailer + 4, offset(where));
        if (sealed) sealChecksum(file);
        return file;
    };
}

const std::vector<DamagedCase>& cases() {
    static const std::vector<DamagedCase> table = {
        // Cut short at each boundary: the checksum no longer matches.
        {"CutAtPackage", Refusal::Integrity, cut([](auto& w) { return w.package; })},
        {"CutInsideFirstString", Refusal::Integrity, cut([](auto& w) { return w.package + 6; })},
        {"CutAtDirectories", Refusal::Integrity, cut([](auto& w) { return w.directories; })},
        {"CutAtLicence", Refusal::Integrity, cut([](auto& w) { return w.licence; })},
        {"CutAtFileTable", Refusal::Integrity, cut([](auto& w) { return w.fileTable; })},
        {"CutAtFirstStream", Refusal::Integrity, cut([](auto& w) { return w.streams[0]; })},
        {"CutAtSecondRecord", Refusal::Integrity, cut([](auto& w) { return w.records[1]; })},
        {"CutAtUninstallerRecord", Refusal::Integrity, cut([](auto& w) { return w.records.back(); })},
        {"CutAtUninstallerStream", Refusal::Integrity, cut([](auto& w) { return w.streams.back(); })},
        {"CutAtClosingLists", Refusal::Integrity, cut([](auto& w) { return w.closing; })},
        {"CutAtTrailer", Refusal::Integrity, cut([](auto& w) { return w.trailer; })},
        {"CutInsideTrailer", Refusal::Integrity, cut([](auto& w) { return w.size - 6; })},
        {"CutLastByte", Refusal::Integrity, cut([](auto& w) { return w.size - 1; })},
        // One bit flipped in each region.
        {"FlipInProgramStub", Refusal::Integrity, flip([](auto&) { return 0x50u; }, 0)},
        {"FlipInProgramEnd", Refusal::Integrity, flip([](auto& w) { return w.package - 1; }, 7)},
        {"FlipInHeaderString", Refusal::Integrity, flip([](auto& w) { return w.package + 5; }, 1)},
        {"FlipInHeaderLength", Refusal::Integrity, flip([](auto& w) { return w.package; }, 6)},
        {"FlipInDirectoryCount", Refusal::Integrity, flip([](auto& w) { return w.directories; }, 3)},
        {"FlipInRecordIndex", Refusal::Integrity, flip([](auto& w) { return w.records[0] + 8; }, 4)},
        {"FlipInRecordSize", Refusal::Integrity, flip([](auto& w) { return w.records[0] + 1; }, 2)},
        {"FlipInStream", Refusal::Integrity, flip([](auto& w) { return w.streams[0] + 3; }, 5)},
        {"FlipInUninstallerStream", Refusal::Integrity,
         flip([](auto& w) { return (w.streams.back() + w.closing) / 2; }, 0)},
        {"FlipInClosingLists", Refusal::Integrity, flip([](auto& w) { return w.closing + 1; }, 0)},
        {"FlipInTrailerSize", Refusal::Integrity, flip([](auto& w) { return w.trailer; }, 0)},
        {"TrailerOutsideFile", Refusal::Integrity, trailerOffset([](auto& w) { return w.size + 4096; }, false)},
        // A matching checksum around a header the reader refuses.
        {"SealedTrailerOutsideFile", Refusal::Initialize, trailerOffset([](auto& w) { return w.size + 4096; }, true)},
        {"SealedTrailerOneShort", Refusal::Initialize, trailerOffset([](auto& w) { return w.package - 1; }, true)},
        {"SealedTrailerNearWrap", Refusal::Initialize, trailerOffset([](auto&) { return 0xFFFFFFF0u; }, true)},
        {"TitleOverLong", Refusal::Initialize, forged([](auto& p) { p.strings[0] = std::string(260, 'T'); })},
        {"FolderNameOverLong", Refusal::Initialize, forged([](auto& p) { p.strings[5] = std::string(300, 'F'); })},
        {"DirectoryOverLong", Refusal::Initialize, forged([](auto& p) { p.directories.back() = "\\" + std::string(260, 'D'); })},
        {"LicenceOverLong", Refusal::Initialize, forged([](auto& p) { p.licence = std::string(16385, 'L'); })},
        {"DirectoryCountPastHeader", Refusal::Initialize, forged([](auto& p) {
             p.directoryWord = 255;
             p.fileCount = 0;
             p.records.clear();
             p.closing.clear();
         })},
        // A readable header around records that must not be installed.
        {"DirectoryIndexOutOfRange", Refusal::Fatal,
         forged([](auto& p) { recordInSubfolder(p).directoryIndex = (uint32_t)p.directories.size(); })},
        {"DirectoryIndexHuge", Refusal::Fatal, forged([](auto& p) { p.records[0].directoryIndex = 0xFFFFFFFFu; })},
        {"NameClimbsOut", Refusal::Fatal, forged([](auto& p) { p.records[0].name = "..\\escaped.txt"; })},
        {"NameIsDotDot", Refusal::Fatal, forged([](auto& p) { p.records[0].name = ".."; })},
        {"NameWithDrive", Refusal::Fatal, forged([](auto& p) { p.records[0].name = "C:\\e2e\\escaped.txt"; })},
        {"NameWithColon", Refusal::Fatal, forged([](auto& p) { p.records[0].name = "readme.txt:stream"; })},
        {"NameOverLong", Refusal::Fatal, forged([](auto& p) { p.records[0].name = std::string(300, 'n'); })},
        {"UninstallerNameClimbsOut", Refusal::Fatal,
         forged([](auto& p) { p.records.back().name = "..\\..\\HalvUninstaller.exe"; })},
        {"DirectoryClimbsOut", Refusal::Fatal, forged([](auto& p) {
             ForgedRecord& record = recordInSubfolder(p);
             p.directories[record.directoryIndex] = "\\..\\..\\escaped";
         })},
        {"DirectoryWithDrive", Refusal::Fatal, forged([](auto& p) {
             ForgedRecord& record = recordInSubfolder(p);
             p.directories[record.directoryIndex] = "C:\\e2e\\escaped";
         })},
        {"StreamShorterThanRecord", Refusal::Fatal,
         forged([](auto& p) { p.records[0].uncompressedSize += 1000; })},
        // Items left once the record's size is produced: a few, and most of a stream.
        {"StreamLongerThanRecord", Refusal::Fatal, forged([](auto& p) { p.records[0].uncompressedSize -= 4; })},
        {"StreamFourTimesLongerThanRecord", Refusal::Fatal,
         forged([](auto& p) { recordInSubfolder(p).uncompressedSize /= 4; })},
        {"CompressedSizeShort", Refusal::Fatal, forged([](auto& p) {
             ForgedRecord& record = recordInSubfolder(p);
             record.stream.resize(record.stream.size() / 2);
             record.compressedSize = (uint32_t)record.stream.size();
         })},
        {"CompressedSizeClaimsMore", Refusal::Fatal,
         forged([](auto& p) { p.records[0].compressedSize += 7; })},
        {"FileCountHuge", Refusal::Fatal, forged([](auto& p) { p.fileCount = 0x7FFFFFFFu; })},
    };
    return table;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    ASSERT_TRUE(out.good()) << path;
}

class Damaged : public ::testing::TestWithParam<DamagedCase> {
protected:
    void SetUp() override {
        CreateDirectoryA("C:\\e2e", nullptr);
        area_ = std::string("C:\\e2e\\damaged-") + GetParam().name;
        removeTree(area_);
        CreateDirectoryA(area_.c_str(), nullptr);
        CreateDirectoryA((area_ + "\\inner").c_str(), nullptr);
        destination_ = area_ + "\\inner\\dest";
        deleteUninstallKey(plainKey);
        const Bytes plain = readFile(installersFolder() + "\\plain.exe");
        ASSERT_FALSE(plain.empty());
        PackageRegions where;
        parseInstaller(plain, &where);
        CreateDirectoryA((installersFolder() + "\\damaged").c_str(), nullptr);
        path_ = installersFolder() + "\\damaged\\" + GetParam().name + ".exe";
        writeBytes(path_, GetParam().damage(plain, where));
    }
    void TearDown() override {
        removeTree(area_);
        deleteUninstallKey(plainKey);
        DeleteFileA(path_.c_str());
    }

    // Nothing of the product anywhere: the area around the destination
    // holds what it held before (a destination made for the installation is
    // gone again), nothing under Program Files, nothing in the registry.
    void expectNothingWritten(const std::vector<std::string>& before = {"inner\\"}) {
        EXPECT_EQ(listTree(area_), before);
        EXPECT_FALSE(folderExists(specialFolder(CSIDL_PROGRAM_FILES) + "\\Plain Product"));
        EXPECT_FALSE(fileExists("C:\\e2e\\escaped.txt"));
        EXPECT_FALSE(folderExists("C:\\e2e\\escaped"));
        EXPECT_FALSE(uninstallKeyExists(plainKey));
    }

    std::string area_, destination_, path_;
};

TEST_P(Damaged, RefusedWithItsMessageAndNothingWritten) {
    Installer run(path_);
    ASSERT_TRUE(run.started());
    switch (GetParam().refusal) {
    case Refusal::Integrity: {
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, integrityText);
        EXPECT_EQ(run.waitForWindow(200), nullptr);
        run.answer(box, IDOK);
        break;
    }
    case Refusal::Initialize: {
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, initText);
        EXPECT_EQ(run.waitForWindow(200), nullptr);
        run.answer(box, IDOK);
        break;
    }
    case Refusal::Fatal: {
        ASSERT_TRUE(run.waitForWindow());
        run.typeDestination(destination_ + "\\");
        run.click(run.rightButton());
        expectFatalAndRemoved(run);
        break;
    }
    }
    EXPECT_EQ(run.waitForExit(), 0);
    expectNothingWritten();
}

// A destination that existed before keeps what it held, and only that: a few
// of the hostile records stand for all of them.
class DamagedIntoExisting : public Damaged {};

TEST_P(DamagedIntoExisting, DestinationKeepsItsContent) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    writeBytes(destination_ + "\\mine.txt", Bytes{'m', 'i', 'n', 'e'});
    Installer run(path_);
    ASSERT_TRUE(run.waitForWindow());
    run.typeDestination(destination_ + "\\");
    run.click(run.rightButton());
    Dialog question = run.waitForMessageBox();
    EXPECT_EQ(question.text, "The specified destination folder already exists.\nDo you still want to install to this folder?");
    run.answer(question, IDYES);
    expectFatalAndRemoved(run);
    expectNothingWritten({"inner\\", "inner\\dest\\", "inner\\dest\\mine.txt"});
    EXPECT_EQ(readFile(destination_ + "\\mine.txt"), (Bytes{'m', 'i', 'n', 'e'}));
}

std::vector<DamagedCase> someHostileRecords() {
    std::vector<DamagedCase> chosen;
    for (const DamagedCase& row : cases())
        for (const char* name : {"NameClimbsOut", "DirectoryClimbsOut", "StreamShorterThanRecord",
                                 "StreamLongerThanRecord", "NameOverLong"})
            if (std::string(row.name) == name) chosen.push_back(row);
    return chosen;
}

// Names the row in test listings instead of dumping its bytes.
void PrintTo(const DamagedCase& row, std::ostream* out) { *out << row.name; }

std::string caseName(const ::testing::TestParamInfo<DamagedCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Installer, Damaged, ::testing::ValuesIn(cases()), caseName);
INSTANTIATE_TEST_SUITE_P(Installer, DamagedIntoExisting, ::testing::ValuesIn(someHostileRecords()), caseName);

}  // namespace
