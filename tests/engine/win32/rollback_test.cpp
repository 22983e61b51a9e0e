#include <gtest/gtest.h>

#include <string.h>

#include "engine/destination.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/rollback.h"
#include "engine/setup_messages.h"
#include "installer_folder_test.h"

namespace {

void makeFolders(const std::string& root, std::initializer_list<const char*> names) {
    for (const char* name : names) CreateDirectoryA((root + name).c_str(), nullptr);
}

class RollbackTest : public InstallerFolderTest {
protected:
    RollbackTest() : InstallerFolderTest("r") {}

    // Installs the files completely (by default five small ones), so the
    // rollback has them all; returns the offsets of the records.
    std::vector<uint64_t> install(std::vector<PackageFile> files = {{0, "one.bin", {1}},
                                                                    {1, "two.bin", {2}},
                                                                    {2, "three.bin", {3}},
                                                                    {2, "four.bin", {4}},
                                                                    {0, "five.bin", {5}}}) {
        InstallerSpec spec = basicInstaller();
        spec.files = files;
        std::vector<uint64_t> offsets = writeInstaller(installer, spec);
        loadInstaller(installer, destination);
        EXPECT_EQ(runExtraction().message, (UINT)WM_SETUP_EXTRACTED);
        harnessLog = HarnessLog();
        return offsets;
    }
};

TEST_F(RollbackTest, RemovesOnlyTheFilesWhoseExtractionBegan) {
    install();
    writeWholeFile(destination + "notes.txt", {9});
    installState.currentFileNumber = 3;
    installState.lastProgressPercent = 55;

    PostedMessage removed = runRollback();
    EXPECT_EQ(removed.message, (UINT)WM_SETUP_REMOVED);
    EXPECT_EQ(removed.wParam, 0u);
    EXPECT_FALSE(fileExists(destination + "one.bin"));
    EXPECT_FALSE(fileExists(destination + "data\\two.bin"));
    EXPECT_FALSE(fileExists(destination + "data\\maps\\three.bin"));
    EXPECT_TRUE(fileExists(destination + "data\\maps\\four.bin"));
    EXPECT_TRUE(fileExists(destination + "five.bin"));
    EXPECT_TRUE(fileExists(destination + "HalvUninstaller.exe"));
    EXPECT_TRUE(fileExists(destination + "notes.txt"));
    EXPECT_EQ(installState.currentFileNumber, 3u);
    // 0 first, then i * 100 / count after each file (0 repeats, so it is not
    // sent again), then 100.
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{0, 33, 66, 100}));
}

TEST_F(RollbackTest, AfterTheLastFileTheUninstallerGoesTooAndTheTreeIsRemoved) {
    install();
    installState.currentFileNumber = 5;
    installState.destinationMadeFrom = (uint32_t)destination.size() - 1;  // as the wizard made it
    EXPECT_EQ(runRollback().wParam, 0u);
    EXPECT_EQ(installState.currentFileNumber, 6u);
    EXPECT_FALSE(fileExists(destination + "HalvUninstaller.exe"));
    EXPECT_FALSE(fileExists(destination));
    EXPECT_TRUE(fileExists(scratch));
    EXPECT_EQ(harnessLog.barPositions, (std::vector<unsigned>{0, 16, 33, 50, 66, 83, 100}));
}

TEST_F(RollbackTest, WithoutFilesOnlyTheUninstallerIsRemoved) {
    install({});
    writeWholeFile(destination + "data\\keep.txt", {1});
    EXPECT_EQ(runRollback().wParam, 0u);
    EXPECT_FALSE(fileExists(destination + "HalvUninstaller.exe"));
    EXPECT_TRUE(fileExists(destination + "data\\keep.txt"));
    EXPECT_FALSE(fileExists(destination + "data\\maps"));
}

TEST_F(RollbackTest, ACancelledInstallationLeavesOnlyWhatWasThereBefore) {
    InstallerSpec spec = basicInstaller();
    spec.files = {{0, "one.bin", randomBytes(100, 1)},
                  {1, "two.bin", randomBytes(100, 2)},
                  {2, "three.bin", randomBytes(6000000, 3)},
                  {0, "four.bin", randomBytes(100, 4)}};
    writeInstaller(installer, spec);
    loadInstaller(installer, destination);
    makeFolders(destination, {"data", "empty"});
    writeWholeFile(destination + "data\\mine.txt", {7});

    ASSERT_EQ(startExtraction(), 1);
    ASSERT_TRUE(pumpUntil([&] { return installState.currentFileNumber >= 3; }));
    lockState();
    pauseWorker();
    requestStop();
    resumeWorker();
    unlockState();
    ASSERT_EQ(waitForSetupMessage().wParam, 0u);
    ASSERT_EQ(runRollback().message, (UINT)WM_SETUP_REMOVED);

    EXPECT_EQ(readWholeFile(destination + "data\\mine.txt"), (std::vector<uint8_t>{7}));
    EXPECT_FALSE(fileExists(destination + "one.bin"));
    EXPECT_FALSE(fileExists(destination + "data\\two.bin"));
    EXPECT_FALSE(fileExists(destination + "data\\maps"));
    EXPECT_TRUE(fileExists(destination + "empty"));
}

TEST_F(RollbackTest, AMadeDestinationGoesWithTheFoldersMadeForIt) {
    destination = scratch + "new\\deeper\\Product\\";
    uint32_t madeFrom = 0;
    ASSERT_EQ(createDirectoryPath(destination.c_str(), &madeFrom), 0);
    install();
    installState.destinationMadeFrom = madeFrom;
    installState.currentFileNumber = 5;
    EXPECT_EQ(runRollback().wParam, 0u);
    EXPECT_FALSE(fileExists(scratch + "new"));
    EXPECT_TRUE(fileExists(installer));
}

TEST_F(RollbackTest, AReadOnlyDirectoryKeepsItsParents) {
    std::string root = scratch + "tree\\";
    makeFolders(root, {"", "a", "a\\locked", "b", "b\\c"});
    SetFileAttributesA((root + "a\\locked").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    if (GetFileAttributesA((root + "a\\locked").c_str()) != (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "the file system keeps no read-only attribute on directories";
    EXPECT_EQ(removeEmptyTree(root.c_str()), 0);
    EXPECT_TRUE(fileExists(root + "a\\locked"));
    EXPECT_FALSE(fileExists(root + "b"));
}

TEST_F(RollbackTest, EmptyTreesGoAndFilesStay) {
    std::string root = scratch + "tree\\";
    EXPECT_EQ(removeEmptyTree(root.c_str()), 1);
    makeFolders(root, {"", "x", "x\\y"});
    EXPECT_EQ(removeEmptyTree(root.c_str()), 1);
    EXPECT_FALSE(fileExists(root));

    makeFolders(root, {"", "x", "z"});
    writeWholeFile(root + "x\\kept.txt", {1});
    EXPECT_EQ(removeEmptyTree(root.c_str()), 0);
    EXPECT_TRUE(fileExists(root + "x\\kept.txt"));
    EXPECT_FALSE(fileExists(root + "z"));
    EXPECT_EQ(removeEmptyTree((root + "x\\kept.txt").c_str()), 0);
}

TEST_F(RollbackTest, AnUnreadableInstallerStopsBeforeDeleting) {
    install();
    installState.currentFileNumber = 5;
    strcpy(installState.modulePath, (scratch + "gone.exe").c_str());
    PostedMessage removed = runRollback();
    EXPECT_EQ(removed.message, (UINT)WM_SETUP_REMOVED);
    EXPECT_EQ(removed.wParam, 1u);
    EXPECT_TRUE(fileExists(destination + "one.bin"));
}

TEST_F(RollbackTest, ARecordThatWouldLeaveTheDestinationStopsTheRemoval) {
    std::vector<uint64_t> offsets = install({{0, "one.bin", {1}}, {0, "two.bin", {2}}});
    // The second record now names a directory the package does not have.
    std::vector<uint8_t> bytes = readWholeFile(installer);
    uint32_t index = 7;
    memcpy(&bytes[offsets[1] + 8], &index, 4);
    writeWholeFile(installer, bytes);
    installState.currentFileNumber = 2;

    PostedMessage removed = runRollback();
    EXPECT_EQ(removed.wParam, 1u);
    EXPECT_FALSE(fileExists(destination + "one.bin"));
    EXPECT_TRUE(fileExists(destination + "two.bin"));
    // The package's empty directories still go; the folder with a file stays.
    EXPECT_FALSE(fileExists(destination + "data\\maps"));
    EXPECT_TRUE(fileExists(destination));
}

}  // namespace
