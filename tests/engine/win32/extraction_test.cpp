#include <gtest/gtest.h>

#include <string.h>

#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/setup_messages.h"
#include "installer_folder_test.h"
#include "wizard/control_table.h"
#include "writer/encoder.h"

namespace {

class ExtractionTest : public InstallerFolderTest {
protected:
    ExtractionTest() : InstallerFolderTest("x") {}

    std::vector<uint64_t> prepare(const InstallerSpec& spec) {
        std::vector<uint64_t> offsets = writeInstaller(installer, spec);
        loadInstaller(installer, destination);
        return offsets;
    }
    // The worker's report of a failure: wParam 1 when fatal, 0 when cancelled.
    static void expectFailed(const PostedMessage& failed, WPARAM fatal = 1) {
        EXPECT_EQ(failed.message, (UINT)WM_SETUP_FAILED);
        EXPECT_EQ(failed.wParam, fatal);
    }
};

TEST_F(ExtractionTest, InstallsEveryByteAndTheTrailingLists) {
    InstallerSpec spec = basicInstaller();
    std::vector<uint8_t> text(20000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = "tide and harbour "[i % 17];
    spec.files = {{0, "tide.exe", randomBytes(10000, 1)},
                  {1, "empty.dat", {}},
                  {2, "coast.map", text},
                  {2, "one.bin", {0x5A}},
                  {1, "big.bin", randomBytes(70000, 2)}};
    spec.trailing.shortcuts = {{"\\tide.exe", "{DESKTOP}", "Tidewater"}};
    spec.trailing.programGroupName = "Tidewater";
    spec.trailing.groupFolders = {{"\\", {{"\\tide.exe", "Tidewater"}}}, {"\\Extras", {}}};
    spec.trailing.websiteUrl = "http://harbour.example/";
    spec.trailing.programToRun = "\\tide.exe";
    spec.trailing.finishText = "Thank you.";
    prepare(spec);

    PostedMessage done = runExtraction();
    EXPECT_EQ(done.message, (UINT)WM_SETUP_EXTRACTED);
    EXPECT_EQ(done.wParam, 0u);
    for (const auto& file : spec.files) {
        std::string path = destination + spec.header.directories[file.directoryIndex] + file.name;
        EXPECT_EQ(readWholeFile(path), file.content) << path;
    }
    EXPECT_EQ(readWholeFile(destination + "HalvUninstaller.exe"), spec.uninstaller);
    EXPECT_EQ(installState.workerRunning, 0u);
    EXPECT_EQ(installState.extractionDone, 1u);
    EXPECT_EQ(installState.currentFileNumber, 5u);
    EXPECT_EQ(controlText(CONTROL_STATUS_UPPER), "Extracted 5 files.");
    EXPECT_EQ(controlText(CONTROL_STATUS_LOWER), "");
    ASSERT_FALSE(harnessLog.barPositions.empty());
    EXPECT_EQ(harnessLog.barPositions.back(), 100u);

    const ShortcutRecord* shortcut = (const ShortcutRecord*)installState.lists.shortcutsHead;
    ASSERT_NE(shortcut, nullptr);
    EXPECT_STREQ(shortcut->location, "{DESKTOP}");
    EXPECT_STREQ(installState.lists.programGroupName, "Tidewater");
    const GroupFolderRecord* extras = (const GroupFolderRecord*)installState.lists.groupEntriesTail;
    ASSERT_NE(extras, nullptr);
    EXPECT_STREQ(extras->folder, "\\Extras");
    EXPECT_EQ(extras->firstItem, nullptr);
    EXPECT_STREQ(installState.lists.websiteUrl, "http://harbour.example/");
    EXPECT_STREQ(installState.lists.finishText, "Thank you.");
}

TEST_F(ExtractionTest, ProgressMovesPerBlockAndOnlyWhenThePercentageChanges) {
    InstallerSpec spec = basicInstaller();
    std::vector<uint8_t> content = randomBytes(30000, 3);
    int32_t streamSize = (int32_t)encodeStream(content).size();
    spec.files = {{0, "single.bin", content}};
    prepare(spec);
    installState.lastProgressPercent = 100;

    EXPECT_EQ(runExtraction().message, (UINT)WM_SETUP_EXTRACTED);
    // The decompressor reports before its first read, after each read (4098
    // bytes, then 4096 each) and at the end.
    std::vector<unsigned> expected;
    auto post = [&](int32_t done) {
        unsigned percent = (unsigned)((double)done / streamSize * 100.0);
        if (expected.empty() || expected.back() != percent) expected.push_back(percent);
    };
    post(0);
    for (int32_t read = 4098; read < streamSize; read += 4096) post(read);
    post(streamSize);
    EXPECT_EQ(harnessLog.barPositions, expected);
    EXPECT_EQ(controlText(CONTROL_STATUS_UPPER), "Extracted 1 file.");
}

TEST_F(ExtractionTest, ProgressPercentagesAreTruncatedAndLimited) {
    installState.lastProgressPercent = 0;
    storeKeepExtracting(1);
    EXPECT_EQ(reportProgress(0, 5), 1);
    EXPECT_EQ(reportProgress(0, 1), 1);
    EXPECT_EQ(reportProgress(2, 3), 1);
    EXPECT_EQ(reportProgress(7, 5), 1);
    EXPECT_EQ(reportProgress(-700, 5), 1);
    requestStop();
    EXPECT_EQ(reportProgress(1, 4), 0);
    pumpFor(50);
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{66, 100, 25}));
    EXPECT_EQ(installState.lastProgressPercent, 25u);
}

TEST_F(ExtractionTest, APackageWithoutFilesStillMakesItsDirectoriesAndTheUninstaller) {
    InstallerSpec spec = basicInstaller();
    spec.header.directories.push_back("\\..\\outside");
    prepare(spec);
    EXPECT_EQ(runExtraction().message, (UINT)WM_SETUP_EXTRACTED);
    EXPECT_EQ(readWholeFile(destination + "HalvUninstaller.exe"), spec.uninstaller);
    EXPECT_EQ(controlText(CONTROL_STATUS_UPPER), "Extracted 0 files.");
    EXPECT_EQ(installState.currentFileNumber, 0u);
    EXPECT_TRUE(fileExists(destination + "data\\maps"));
    EXPECT_FALSE(fileExists(scratch + "outside"));
}

TEST_F(ExtractionTest, AnEmptyRecordMakesAnEmptyFileAndAFullBar) {
    InstallerSpec spec = basicInstaller();
    spec.files = {{1, "nothing.txt", {}}};
    prepare(spec);
    installState.lastProgressPercent = 0;
    EXPECT_EQ(runExtraction().message, (UINT)WM_SETUP_EXTRACTED);
    EXPECT_TRUE(fileExists(destination + "data\\nothing.txt"));
    EXPECT_TRUE(readWholeFile(destination + "data\\nothing.txt").empty());
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{100}));
}

TEST_F(ExtractionTest, AReadOnlyFileInTheWayIsFatal) {
    InstallerSpec spec = basicInstaller();
    spec.files = {{0, "a.txt", {1, 2, 3}}, {0, "b.txt", {4, 5, 6}}, {0, "c.txt", {7, 8, 9}}};
    prepare(spec);
    writeWholeFile(destination + "b.txt", {0xEE});
    HANDLE guard = protectReadOnly(destination + "b.txt");

    expectFailed(runExtraction());
    if (guard != INVALID_HANDLE_VALUE) CloseHandle(guard);
    EXPECT_EQ(installState.currentFileNumber, 2u);
    EXPECT_EQ(installState.workerRunning, 0u);
    EXPECT_EQ(installState.extractionDone, 0u);
    EXPECT_EQ(readWholeFile(destination + "b.txt"), (std::vector<uint8_t>{0xEE}));
    EXPECT_FALSE(fileExists(destination + "c.txt"));
}

// destination + directory entry + name of exactly `total` bytes.
std::string nameForPathLength(const std::string& destination, const std::string& directory, size_t total,
                              char letter) {
    return std::string(total - destination.size() - directory.size(), letter);
}

TEST_F(ExtractionTest, PathsUpTo260BytesAreWrittenAndLongerOnesAreFatal) {
    InstallerSpec spec = basicInstaller();
    std::string directory = "\\" + std::string(120, 'd') + "\\";
    spec.header.directories.push_back(directory);
    spec.files = {{3, nameForPathLength(destination, directory, 260, 'a'), {1, 2}},
                  {3, nameForPathLength(destination, directory, 261, 'b'), {3, 4}}};
    prepare(spec);

    expectFailed(runExtraction());
    EXPECT_EQ(installState.currentFileNumber, 2u);
    EXPECT_EQ(readWholeFile(destination + directory + spec.files[0].name), spec.files[0].content);
    // Nothing at all is written for the refused record.
    std::string cut = (destination + directory + spec.files[1].name).substr(0, 260);
    EXPECT_FALSE(fileExists(cut));
    EXPECT_FALSE(fileExists(destination + directory + spec.files[1].name));

    // The uninstaller's path is held to the same limit.
    spec.files = {{0, "a.txt", {1}}};
    prepare(spec);
    std::string deep = destination + std::string(245 - destination.size(), 'u') + "\\";
    CreateDirectoryA(deep.c_str(), nullptr);
    strcpy(installState.destinationPath, deep.c_str());
    expectFailed(runExtraction());
    EXPECT_EQ(installState.extractionDone, 0u);
}

TEST_F(ExtractionTest, RecordsThatWouldLeaveTheDestinationAreRefusedBeforeWriting) {
    struct Case {
        const char* directory;
        const char* name;
    };
    const Case cases[] = {{"\\", "..\\escaped.txt"},           {"\\..\\", "escaped.txt"},
                          {"\\", "C:escaped.txt"},             {"\\", "data\\. .\\..\\escaped.txt"},
                          {"\\data\\..\\..\\", "escaped.txt"}, {"\\", "file.txt:stream"}};
    for (const Case& bad : cases) {
        SCOPED_TRACE(std::string(bad.directory) + " " + bad.name);
        harnessLog = HarnessLog();
        resetInstallState();
        createStateMutex();
        InstallerSpec spec = basicInstaller();
        spec.header.directories.push_back(bad.directory);
        spec.files = {{0, "first.txt", {1}}, {3, bad.name, {2, 3}}};
        prepare(spec);
        expectFailed(runExtraction());
        EXPECT_EQ(installState.currentFileNumber, 2u);
        EXPECT_FALSE(fileExists(scratch + "escaped.txt"));
        EXPECT_FALSE(fileExists(destination + "escaped.txt"));
    }
}

TEST_F(ExtractionTest, ADamagedSecondRecordIsFatal) {
    InstallerSpec spec = basicInstaller();
    spec.files = {{0, "first.txt", {1}}, {2, "second.txt", randomBytes(9000, 6)}};
    std::vector<uint64_t> offsets = prepare(spec);
    const std::vector<uint8_t> intact = readWholeFile(installer);
    // Directory index 3 of a package with three directories; index 256 would
    // wrap to 0 in its low byte; 0 stands for a read error: the file ends
    // inside the second stream.
    for (uint32_t index : {3u, 256u, 0u}) {
        SCOPED_TRACE(index);
        std::vector<uint8_t> bytes = intact;
        if (index)
            memcpy(&bytes[offsets[1] + 8], &index, 4);
        else
            bytes.resize(offsets[1] + 16 + 10 + 4000);
        writeWholeFile(installer, bytes);
        harnessLog = HarnessLog();
        installState.currentFileNumber = 0;
        expectFailed(runExtraction());
        EXPECT_EQ(installState.currentFileNumber, 2u);
        EXPECT_FALSE(fileExists(destination + "second.txt"));
        if (index) EXPECT_FALSE(fileExists(destination + "data\\maps\\second.txt"));
    }
}

TEST_F(ExtractionTest, AShortStreamIsFatal) {
    std::string path = scratch + "short.exe";
    std::vector<uint8_t> content = randomBytes(5000, 7);
    FILE* output = fopen(path.c_str(), "wb");
    ASSERT_NE(output, nullptr);
    {
        PackageWriter writer(output);
        const uint8_t program[] = {'M', 'Z'};
        writer.writeProgram(program, sizeof program);
        PackageHeaderFields header = basicInstaller().header;
        header.fileCount = 1;
        writer.writeHeader(header);
        // The stream of 2500 bytes recorded as a file of 5000 bytes.
        writer.writeFileRecord(0, "short.bin", 5000, encodeStream(content.data(), 2500));
        writer.writeUninstaller(content.data(), 10);
        writer.writeTrailingData(TrailingData());
        writer.finish();
    }
    fclose(output);
    loadInstaller(path, destination);
    expectFailed(runExtraction());
    EXPECT_FALSE(fileExists(destination + "HalvUninstaller.exe"));
}

TEST_F(ExtractionTest, AMissingInstallerFileFailsTheStart) {
    InstallerSpec spec = basicInstaller();
    spec.files = {{0, "a.txt", {1}}};
    prepare(spec);
    strcpy(installState.modulePath, (scratch + "gone.exe").c_str());
    EXPECT_EQ(startExtraction(), 0);
    expectFailed(waitForSetupMessage(5000));
    EXPECT_FALSE(fileExists(destination + "data"));
}

class CancelTest : public ExtractionTest {
protected:
    // Five files, the third one large enough to be caught in its expansion.
    void SetUp() override {
        ExtractionTest::SetUp();
        InstallerSpec spec = basicInstaller();
        spec.files = {{0, "one.bin", randomBytes(1000, 11)},
                      {1, "two.bin", randomBytes(1000, 12)},
                      {2, "three.bin", randomBytes(6000000, 13)},
                      {0, "four.bin", randomBytes(1000, 14)},
                      {0, "five.bin", randomBytes(1000, 15)}};
        prepare(spec);
    }

    void startAndWaitForFile(uint32_t number) {
        ASSERT_EQ(startExtraction(), 1);
        ASSERT_TRUE(pumpUntil([&] { return installState.currentFileNumber >= number; }));
        ASSERT_EQ(installState.currentFileNumber, number);
    }

    // The main window's question, with the worker held meanwhile.
    void askWhilePaused(bool confirm) {
        lockState();
        ASSERT_EQ(installState.workerRunning, 1u);
        pauseWorker();
        pumpFor(150);
        size_t positions = harnessLog.barPositions.size();
        uint64_t written = readWholeFile(destination + "data\\maps\\three.bin").size();
        pumpFor(400);
        EXPECT_EQ(harnessLog.barPositions.size(), positions);
        EXPECT_EQ(readWholeFile(destination + "data\\maps\\three.bin").size(), written);
        EXPECT_TRUE(harnessLog.setupMessages.empty());
        if (confirm) requestStop();
        resumeWorker();
        unlockState();
    }
};

TEST_F(CancelTest, ACancelDuringTheThirdFileStopsThere) {
    startAndWaitForFile(3);
    askWhilePaused(true);
    expectFailed(waitForSetupMessage(), 0);
    EXPECT_EQ(installState.currentFileNumber, 3u);
    EXPECT_EQ(installState.workerRunning, 0u);
    EXPECT_EQ(installState.extractionDone, 0u);
    EXPECT_LT(readWholeFile(destination + "data\\maps\\three.bin").size(), 6000000u);
    EXPECT_FALSE(fileExists(destination + "four.bin"));
}

// The question may be confirmed before the new thread has taken its first
// step: the stop is still the worker's to report, once.
TEST_F(CancelTest, ACancelBeforeTheWorkerStartsIsReportedOnce) {
    lockState();  // holds the worker at its first step
    ASSERT_EQ(startExtraction(), 1);
    EXPECT_EQ(installState.workerRunning, 1u);
    pauseWorker();
    requestStop();
    resumeWorker();
    unlockState();
    expectFailed(waitForSetupMessage(), 0);
    WaitForSingleObject((HANDLE)installState.workerThread, 10000);
    pumpFor(200);
    EXPECT_EQ(harnessLog.setupMessages.size(), 1u);
    EXPECT_EQ(installState.workerRunning, 0u);
    EXPECT_LE(installState.currentFileNumber, 1u);
}

TEST_F(CancelTest, AnsweringNoLetsTheWorkerFinish) {
    startAndWaitForFile(3);
    askWhilePaused(false);
    EXPECT_EQ(waitForSetupMessage().message, (UINT)WM_SETUP_EXTRACTED);
    EXPECT_EQ(installState.currentFileNumber, 5u);
    EXPECT_EQ(readWholeFile(destination + "data\\maps\\three.bin"), randomBytes(6000000, 13));
}

}  // namespace
