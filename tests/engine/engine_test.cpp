// The installation engine against the real file system, registry and shell
// under Wine: extraction, refusals before anything is written, cancels and
// their races, the rollback of only what this run made, the destination,
// the uninstall entry and the shortcuts.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "engine/destination.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/rollback.h"
#include "engine/setup_messages.h"
#include "engine/shortcut.h"
#include "engine/uninstall_entry.h"
#include "engine_harness.h"
#include "support/files.h"
#include "support/package_bytes.h"
#include "support/windows.h"
#include "wizard/control_table.h"
#include "writer/encoder.h"

using package_bytes::randomBytes;
using test_files::exists;
using test_files::readFile;

namespace {

const std::string kKey = UNINSTALL_LIST_KEY "\\Harbour Works Tidewater 2.4";
const Report kExtracted{WM_SETUP_EXTRACTED, 0}, kFatal{WM_SETUP_FAILED, 1}, kCancelled{WM_SETUP_FAILED, 0};
const Report kRemoved{WM_SETUP_REMOVED, 0};

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        setUpEngineHarness();
        CreateDirectoryA(destination.c_str(), nullptr);
        test_windows::deleteKey(kKey);
    }
    void TearDown() override {
        tearDownEngineHarness();
        removeCreatedUninstallEntry();
        test_windows::deleteKey(kKey);
    }
    void prepare(const InstallerContents& contents) {
        writeInstaller(installer, contents);
        loadInstaller(installer, destination);
    }
    test_files::ScratchFolder scratch;
    std::string installer = scratch / "setup.exe", destination = scratch / "Product/";
};

TEST_F(Engine, InstallsEveryByteAndTheRollbackTakesAwayOnlyWhatThisRunMade) {
    InstallerContents spec = basicInstaller();
    spec.files = {{0, "tide.exe", randomBytes(10000, 1)}, {1, "empty.dat", {}}, {2, "coast.map", std::vector<uint8_t>(20000, 't')},
                  {2, "one.bin", {0x5A}}, {1, "big.bin", randomBytes(70000, 2)}};
    spec.trailing.finishText = "Thank you.";
    prepare(spec);
    test_files::writeFile(destination + "notes.txt", "mine");
    ASSERT_EQ(registerUninstallEntry(), 1);

    EXPECT_EQ(runExtraction(), kExtracted);
    for (const FileEntry& file : spec.files)
        EXPECT_EQ(readFile(destination + spec.header.directories[file.directoryIndex] + file.name), file.content) << file.name;
    EXPECT_EQ(readFile(destination + "HalvUninstaller.exe"), spec.uninstaller);
    EXPECT_EQ(controlText(CONTROL_STATUS_UPPER), "Extracted 5 files.");
    EXPECT_EQ(controlText(CONTROL_STATUS_LOWER), "");
    EXPECT_EQ(harnessLog.barPositions.back(), 100u);
    EXPECT_TRUE(installState.workerRunning == 0 && installState.extractionDone == 1);
    EXPECT_STREQ(installState.lists.finishText, "Thank you.") << "the lists after the files are read";

    // Stopped in the third file: the first three go, the bar moves 0, i * 100 / 3, 100.
    harnessLog = HarnessLog();
    installState.currentFileNumber = 3;
    EXPECT_EQ(runRollback(), kRemoved);
    EXPECT_EQ(test_files::listTree(destination),
              (std::vector<std::string>{"HalvUninstaller.exe", "data\\", "data\\big.bin", "data\\maps\\",
                                        "data\\maps\\one.bin", "notes.txt"}));
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{0, 33, 66, 100}));
    EXPECT_FALSE(test_windows::keyExists(kKey)) << "the entry this run made goes";
    // After the last file the uninstaller goes too, and the directories this run made.
    harnessLog = HarnessLog();
    installState.currentFileNumber = 5;
    EXPECT_EQ(runRollback(), kRemoved);
    EXPECT_EQ(test_files::listTree(destination), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{0, 16, 33, 50, 66, 83, 100}));
}

TEST_F(Engine, ProgressMovesPerBlockTruncatedAndOnlyWhenThePercentageChanges) {
    InstallerContents spec = basicInstaller();
    spec.files = {{0, "single.bin", randomBytes(30000, 3)}};
    prepare(spec);
    installState.lastProgressPercent = 100;
    EXPECT_EQ(runExtraction(), kExtracted);
    const int32_t streamSize = (int32_t)encodeStream(spec.files[0].content).size();
    std::vector<unsigned> expected = {0};  // before the first read, then after each block
    for (int32_t read = 4098; read < streamSize + 4096; read += 4096) {
        const unsigned percent = (unsigned)((int64_t)std::min(read, streamSize) * 100 / streamSize);
        if (expected.back() != percent) expected.push_back(percent);
    }
    EXPECT_EQ(harnessLog.barPositions, expected);
    EXPECT_EQ(controlText(CONTROL_STATUS_UPPER), "Extracted 1 file.");

    harnessLog = HarnessLog();
    installState.lastProgressPercent = 0;
    for (auto [done, total] : {std::pair<int, int>{0, 5}, {0, 1}, {29, 100}, {2, 3}, {7, 5}, {-700, 5}, {1, 0}})
        EXPECT_EQ(reportProgress(done, total), 1);
    requestStop();
    EXPECT_EQ(reportProgress(1, 4), 0);
    pumpUntil([] { return harnessLog.barPositions.size() >= 4; }, 2000);
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{29, 66, 100, 25}));
}

// Each way a record can be unusable: the worker reports a fatal failure and
// writes nothing for that record, inside or outside the destination.
TEST_F(Engine, UnusableRecordsAreFatalBeforeAnythingIsWritten) {
    const std::string deep = "\\" + std::string(120, 'd') + "\\";
    const std::string first = std::string(260 - destination.size() - 1, 'n');  // the longest path there is
    struct Case {
        const char* what;
        std::string directory, name;
        std::function<void(std::vector<uint8_t>&, size_t second)> damage;  // at the second record
        bool begun;  // the file was opened before its stream proved unusable
    };
    auto setWord = [](size_t at, uint32_t value) {
        return [=](std::vector<uint8_t>& bytes, size_t second) { memcpy(&bytes[second + at], &value, 4); };
    };
    const Case cases[] = {
        {"directory index past the count", "\\x\\", "second.txt", setWord(8, 4), false},
        {"directory index 256", "\\x\\", "second.txt", setWord(8, 256), false},
        {"stream longer than the file", "\\x\\", "second.txt", setWord(4, 1), true},
        {"file ends inside the stream", "\\x\\", "second.txt",
         [](std::vector<uint8_t>& bytes, size_t second) { bytes.resize(second + 40); }, true},
        {"name climbs out", "\\", "..\\escaped.txt", nullptr, false},
        {"directory climbs out", "\\..\\outside\\", "escaped.txt", nullptr, false},
        {"drive-relative name", "\\", "C:escaped.txt", nullptr, false},
        {"dots and blanks", "\\", "data\\. .\\..\\escaped.txt", nullptr, false},
        {"climbing directory", "\\data\\..\\..\\", "escaped.txt", nullptr, false},
        {"stream name", "\\", "file.txt:stream", nullptr, false},
        {"path of 261 bytes", deep, std::string(261 - destination.size() - deep.size(), 'n'), nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tearDownEngineHarness();
        setUpEngineHarness();
        InstallerContents spec = basicInstaller();
        spec.header.directories.push_back(c.directory);
        spec.files = {{0, first, {1}}, {3, c.name, randomBytes(9000, 6)}};
        prepare(spec);
        if (c.damage) {
            std::vector<uint8_t> bytes = readFile(installer);
            c.damage(bytes, fileTableOffset(&installState.header) + 16 + first.size() + encodeStream({1}).size());
            test_files::writeFile(installer, bytes);
        }
        EXPECT_EQ(runExtraction(), kFatal);
        EXPECT_EQ(installState.currentFileNumber, 2u);
        EXPECT_EQ(readFile(destination + "\\" + first), spec.files[0].content);
        EXPECT_FALSE(exists(scratch / "escaped.txt") || exists(scratch / "outside") ||
                     exists(destination + "escaped.txt") || exists(destination + "HalvUninstaller.exe"));
        EXPECT_EQ(exists(destination + c.directory + c.name), c.begun);
        test_files::removeTree(destination);
        CreateDirectoryA(destination.c_str(), nullptr);
    }
}

TEST_F(Engine, AnUninstallerPathPastTheLimitOrAMissingInstallerIsFatal) {
    InstallerContents spec = basicInstaller();
    spec.files = {{0, "a.txt", {1, 2, 3}}};
    prepare(spec);
    std::string deep = destination + std::string(245 - destination.size(), 'u') + "\\";
    CreateDirectoryA(deep.c_str(), nullptr);
    strcpy(installState.destinationPath, deep.c_str());
    EXPECT_EQ(runExtraction(), kFatal);
    EXPECT_EQ(installState.extractionDone, 0u);
    EXPECT_TRUE(exists(deep + "a.txt") && !exists(deep + "HalvUninstaller.exe"));
    strcpy(installState.modulePath, (scratch / "gone.exe").c_str());
    EXPECT_EQ(startExtraction(), 0);
    EXPECT_EQ(waitForSetupMessage(5000), kFatal);
}

class Cancel : public Engine {
protected:
    // Five files, the third large enough to be caught in its expansion.
    void SetUp() override {
        Engine::SetUp();
        InstallerContents spec = basicInstaller();
        spec.files = {{0, "one.bin", randomBytes(1000, 11)}, {1, "two.bin", randomBytes(1000, 12)},
                      {2, "three.bin", randomBytes(6000000, 13)}, {0, "four.bin", randomBytes(1000, 14)},
                      {0, "five.bin", randomBytes(1000, 15)}};
        prepare(spec);
        CreateDirectoryA((destination + "data").c_str(), nullptr);
        test_files::writeFile(destination + "data\\mine.txt", "mine");
    }
};

// The main window asks its question with the worker held at its next step.
TEST_F(Cancel, DuringTheThirdFileTheWorkerWaitsThenStopsAndTheRollbackLeavesWhatWasThere) {
    ASSERT_EQ(startExtraction(), 1);
    ASSERT_TRUE(pumpUntil([] { return installState.currentFileNumber >= 3; }));
    lockState();
    pauseWorker();
    pumpUntil([] { return false; }, 150);
    const size_t positions = harnessLog.barPositions.size();
    const size_t written = readFile(destination + "data\\maps\\three.bin").size();
    pumpUntil([] { return false; }, 400);
    EXPECT_EQ(harnessLog.barPositions.size(), positions);
    EXPECT_EQ(readFile(destination + "data\\maps\\three.bin").size(), written);
    EXPECT_TRUE(harnessLog.setupMessages.empty());
    requestStop();
    resumeWorker();
    unlockState();
    EXPECT_EQ(waitForSetupMessage(), kCancelled);
    EXPECT_EQ(installState.currentFileNumber, 3u);
    EXPECT_FALSE(exists(destination + "four.bin"));
    EXPECT_EQ(runRollback(), kRemoved);
    EXPECT_EQ(test_files::listTree(destination), (std::vector<std::string>{"data\\", "data\\mine.txt"}));
}

// The question may be confirmed before the new thread has taken its first
// step: the stop is still the worker's to report, once.
TEST_F(Cancel, BeforeTheWorkerStartsIsReportedOnce) {
    lockState();
    ASSERT_EQ(startExtraction(), 1);
    EXPECT_EQ(installState.workerRunning, 1u);
    pauseWorker();
    requestStop();
    resumeWorker();
    unlockState();
    EXPECT_EQ(waitForSetupMessage(), kCancelled);
    WaitForSingleObject((HANDLE)installState.workerThread, 10000);
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(harnessLog.setupMessages.size(), 1u);
    EXPECT_LE(installState.currentFileNumber, 1u);
}

TEST_F(Engine, DestinationFoldersAndFreeSpaceWithinTheirLimits) {
    const std::string path = scratch / "old/new/newer/";
    CreateDirectoryA((scratch / "old").c_str(), nullptr);
    uint32_t madeFrom = 99;
    EXPECT_EQ(createDirectoryPath(path.c_str(), &madeFrom), 0);
    EXPECT_EQ(madeFrom, scratch.path().size() + 7) << "...old\\new: the first folder made";
    EXPECT_EQ(createDirectoryPath(path.c_str(), &madeFrom), 183);
    EXPECT_EQ(createDirectoryPath((scratch / "fresh/deep/bad|name/").c_str(), &madeFrom), 3);
    EXPECT_FALSE(exists(scratch / "fresh")) << "a refused path leaves nothing of what the call made";
    char text[261];
    strcpy(text, std::string(259, 'p').c_str());
    EXPECT_EQ(ensureTrailingBackslash(text, 261), 1);
    EXPECT_EQ(ensureTrailingBackslash(text, 261), 0) << "260 bytes are refused even ending in a backslash";
    for (auto [freeBytes, required, suffices] : {std::tuple<uint64_t, uint32_t, int>{1000, 1000, 1}, {999, 1000, 0},
                                                 {0x100000000ull, 0xFFFFFFFFu, 1}, {0xFFFFFFFEull, 0xFFFFFFFFu, 0}})
        EXPECT_EQ(spaceSuffices(freeBytes, required), suffices) << freeBytes;
    strcpy(installState.header.baseFolderToken, "{Program_Files}");  // any letter case
    strcpy(installState.header.defaultFolderName, "Tide");
    resolveDefaultDestination();
    EXPECT_EQ(controlText(CONTROL_DESTINATION_TEXT), test_windows::specialFolder(CSIDL_PROGRAM_FILES) + "\\Tide\\");
    strcpy(installState.destinationPath, "\\\\server\\share\\");  // names no drive: nothing is free
    ASSERT_EQ(checkFreeSpace(), 1);
    EXPECT_EQ(controlText(CONTROL_FREE_SPACE), "0 bytes");
}

TEST_F(Engine, TheUninstallEntryIsRefusedWithoutItsNameAndOnlyAKeyThisRunMadeGoes) {
    PackageHeader& header = installState.header;
    strcpy(header.publisher, "Harbour Works");
    strcpy(header.productName, "Tidewater");
    strcpy(header.productVersion, "2.4");
    header.requiredSpace = 5 * 1024 * 1024 + 1;
    strcpy(installState.destinationPath, "C:\\Tide\\");
    for (char* field : {header.publisher, header.productName, header.productVersion, installState.destinationPath}) {
        const std::string saved = field;
        field[0] = '\0';
        EXPECT_EQ(registerUninstallEntry(), 0);
        strcpy(field, saved.c_str());
    }
    strcpy(header.publisher, "Harbour\\Works");
    EXPECT_EQ(registerUninstallEntry(), 0);
    EXPECT_FALSE(test_windows::keyExists(kKey));
    strcpy(header.publisher, "Harbour Works");
    ASSERT_EQ(registerUninstallEntry(), 1);
    EXPECT_EQ(test_windows::keyNumber(kKey, "EstimatedSize"), 5u * 1024 + 1) << "KiB, rounded up";
    EXPECT_EQ(removeCreatedUninstallEntry(), 1);
    test_windows::setKeyText(kKey, "DisplayName", "earlier");  // an earlier installation's entry stays
    ASSERT_EQ(registerUninstallEntry(), 1);
    EXPECT_EQ(removeCreatedUninstallEntry(), 0);
    EXPECT_EQ(test_windows::keyText(kKey, "DisplayName"), "Tidewater 2.4");
}

ShortcutRecord* shortcut(const char* target, const char* location, const char* name) {
    ShortcutRecord* record = (ShortcutRecord*)calloc(1, sizeof(ShortcutRecord));
    *record = {{nullptr, nullptr}, strdup(target), strdup(location), strdup(name)};
    return record;
}

TEST_F(Engine, ShortcutsKeepTheirLimitsAndSkipWhatIsNotForTheDesktop) {
    strcpy(installState.destinationPath, destination.c_str());
    const std::string base = "C:\\" + std::string(126, 'b') + "\\";  // 130 bytes
    EXPECT_EQ(createShortcut(base.c_str(), std::string(130, 't').c_str(), scratch.path().c_str(), "Exact.lnk"), 1);
    EXPECT_EQ(createShortcut(base.c_str(), std::string(131, 't').c_str(), scratch.path().c_str(), "Over.lnk"), 0);
    EXPECT_TRUE(exists(scratch / "Exact.lnk") && !exists(scratch / "Over.lnk"));
    char path[261];
    const size_t room = 260 - (destination.size() - 1);
    EXPECT_EQ(composeInstalledPath(("\\" + std::string(room - 1, 'r')).c_str(), path), 1);
    EXPECT_EQ(composeInstalledPath(("\\" + std::string(room, 'r')).c_str(), path), 0);
    const std::string desktop = test_windows::specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
    const std::string tooLong = "\\" + std::string(250, 'x') + ".exe";
    for (ShortcutRecord* record : {shortcut("\\tide.exe", "{desktop}", "Tide Test"),
                                   shortcut("\\tide.exe", "{STARTMENU}", "Elsewhere Test"),
                                   shortcut(tooLong.c_str(), "{DESKTOP}", "Long Test"),
                                   shortcut("\\tide.exe", "{DESKTOP}", "..\\Escaped Test")})
        listAppend(&installState.lists.shortcutsHead, &installState.lists.shortcutsTail, &record->link);
    EXPECT_EQ(createDesktopShortcuts(), 1);
    EXPECT_TRUE(DeleteFileA((desktop + "Tide Test.lnk").c_str()));
}

}  // namespace
