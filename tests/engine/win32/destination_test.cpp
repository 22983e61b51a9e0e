#include <gtest/gtest.h>

#include <shlobj.h>
#include <string.h>

#include "engine/destination.h"
#include "engine/install_state.h"
#include "installer_folder_test.h"
#include "wizard/control_table.h"

namespace {

class DestinationTest : public InstallerFolderTest {};

TEST_F(DestinationTest, DirectoryCodes) {
    std::string path = scratch + "one\\two\\";
    EXPECT_EQ(createDirectoryPath(path.c_str()), 0);
    EXPECT_TRUE(fileExists(scratch + "one\\two"));
    EXPECT_EQ(createDirectoryPath(path.c_str()), 183);
    EXPECT_EQ(createDirectoryPath(""), 183);

    // Only components followed by a backslash are made.
    EXPECT_EQ(createDirectoryPath((scratch + "three\\four").c_str()), 0);
    EXPECT_TRUE(fileExists(scratch + "three"));
    EXPECT_FALSE(fileExists(scratch + "three\\four"));

    writeWholeFile(scratch + "file", {1});
    EXPECT_EQ(createDirectoryPath((scratch + "file\\below\\").c_str()), 3);
    EXPECT_EQ(createDirectoryPath("\\leading\\"), 3);
    EXPECT_EQ(createDirectoryPath(nullptr), 3);
    EXPECT_EQ(createDirectoryPath((scratch + std::string(300, 'l') + "\\").c_str()), 3);
}

TEST_F(DestinationTest, WhatWasMadeCanBeTakenAwayAgain) {
    CreateDirectoryA((scratch + "old").c_str(), nullptr);
    const std::string path = scratch + "old\\new\\newer\\";
    uint32_t madeFrom = 99;
    EXPECT_EQ(createDirectoryPath(path.c_str(), &madeFrom), 0);
    EXPECT_EQ(madeFrom, scratch.size() + 7);  // ...old\new
    writeWholeFile(path + "kept.txt", {1});
    removeMadePath(path.c_str(), madeFrom);  // a folder holding a file stays, and so do its parents
    EXPECT_TRUE(fileExists(path + "kept.txt"));
    DeleteFileA((path + "kept.txt").c_str());
    removeMadePath(path.c_str(), madeFrom);
    EXPECT_FALSE(fileExists(scratch + "old\\new"));
    EXPECT_TRUE(fileExists(scratch + "old"));

    EXPECT_EQ(createDirectoryPath(path.c_str(), &madeFrom), 0);
    EXPECT_EQ(createDirectoryPath(path.c_str(), &madeFrom), 183);
    EXPECT_EQ(madeFrom, 0u);
    removeMadePath(path.c_str(), 0);
    EXPECT_TRUE(fileExists(path));

    // A refused path leaves nothing of what the call made on the way.
    EXPECT_EQ(createDirectoryPath((scratch + "fresh\\deep\\bad|name\\").c_str(), &madeFrom), 3);
    EXPECT_EQ(madeFrom, 0u);
    EXPECT_FALSE(fileExists(scratch + "fresh"));
}

TEST_F(DestinationTest, BackslashesAndFolderNamesStayWithinTheCapacity) {
    char path[261];
    std::string text259(259, 'p');
    strcpy(path, text259.c_str());
    EXPECT_EQ(ensureTrailingBackslash(path, 261), 1);
    EXPECT_EQ(strlen(path), 260u);
    EXPECT_EQ(path[259], '\\');
    // 260 bytes are refused even when they already end in a backslash.
    EXPECT_EQ(ensureTrailingBackslash(path, 261), 0);
    EXPECT_EQ(strlen(path), 260u);

    strcpy(path, "C:\\Tide\\");
    EXPECT_EQ(ensureTrailingBackslash(path, 261), 1);
    EXPECT_STREQ(path, "C:\\Tide\\");
    path[0] = '\0';
    EXPECT_EQ(ensureTrailingBackslash(path, 261), 1);
    EXPECT_STREQ(path, "\\");
    EXPECT_EQ(ensureTrailingBackslash(nullptr, 261), 0);
    EXPECT_EQ(ensureTrailingBackslash(path, 0), 0);

    // An overlong default folder name is not appended.
    strcpy(path, "C:\\Base");
    strcpy(installState.header.defaultFolderName, std::string(255, 'f').c_str());
    EXPECT_EQ(appendDefaultFolderName(path), 0);
    EXPECT_STREQ(path, "C:\\Base\\");
    strcpy(installState.header.defaultFolderName, "Tide");
    EXPECT_EQ(appendDefaultFolderName(path), 1);
    EXPECT_STREQ(path, "C:\\Base\\Tide\\");
}

TEST_F(DestinationTest, SpaceVerdictAtTheBoundary) {
    EXPECT_EQ(spaceSuffices(1000, 1000), 1);
    EXPECT_EQ(spaceSuffices(999, 1000), 0);
    EXPECT_EQ(spaceSuffices(0, 0), 1);
    EXPECT_EQ(spaceSuffices(0x100000000ull, 0xFFFFFFFFu), 1);
    EXPECT_EQ(spaceSuffices(0xFFFFFFFEull, 0xFFFFFFFFu), 0);
    EXPECT_EQ(spaceSuffices(0x1FFFFFFFFull, 0xFFFFFFFFu), 1);
}

TEST_F(DestinationTest, FreeSpaceOfTheDestinationDrive) {
    strcpy(installState.destinationPath, scratch.c_str());
    installState.header.requiredSpace = 1;
    ASSERT_EQ(checkFreeSpace(), 1);
    EXPECT_EQ(installState.enoughSpace, 1u);
    EXPECT_EQ(controlText(CONTROL_SPACE_VERDICT), "There is sufficient space to install.");
    EXPECT_NE(controlText(CONTROL_FREE_SPACE), "");

    // A network path names no drive: nothing is free.
    strcpy(installState.destinationPath, "\\\\server\\share\\Tide\\");
    ASSERT_EQ(checkFreeSpace(), 1);
    EXPECT_EQ(installState.enoughSpace, 0u);
    EXPECT_EQ(controlText(CONTROL_SPACE_VERDICT), "There is insufficient space to install.");
    EXPECT_EQ(controlText(CONTROL_FREE_SPACE), "0 bytes");
    installState.header.requiredSpace = 0;
    ASSERT_EQ(checkFreeSpace(), 1);
    EXPECT_EQ(installState.enoughSpace, 1u);
}

TEST_F(DestinationTest, DefaultDestinationFromTheHeader) {
    char programFiles[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles)));
    strcpy(installState.header.baseFolderToken, "{Program_Files}");
    strcpy(installState.header.defaultFolderName, "Harbour Works Tidewater");
    resolveDefaultDestination();
    std::string expected = std::string(programFiles) + "\\Harbour Works Tidewater\\";
    EXPECT_EQ(std::string(installState.destinationPath), expected);
    EXPECT_EQ(controlText(CONTROL_DESTINATION_TEXT), expected);
    EXPECT_NE(controlText(CONTROL_SPACE_VERDICT), "");

    // The token inside a longer text is taken literally; a name that already
    // ends in a backslash gets no second one.
    strcpy(installState.header.baseFolderToken, "D:{PROGRAM_FILES}");
    strcpy(installState.header.defaultFolderName, "Tide\\");
    resolveDefaultDestination();
    EXPECT_STREQ(installState.destinationPath, "D:{PROGRAM_FILES}\\Tide\\");
}

// Cancels the folder browser as soon as it appears.
DWORD WINAPI cancelBrowser(LPVOID) {
    for (int tries = 0; tries < 500; ++tries) {
        HWND dialog = FindWindowA("#32770", "Browse for Folder");
        if (!dialog) dialog = FindWindowA("#32770", nullptr);
        if (dialog) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return 1;
        }
        Sleep(20);
    }
    return 0;
}

TEST_F(DestinationTest, ACancelledBrowserChangesNothing) {
    strcpy(installState.destinationPath, "C:\\Kept\\");
    HANDLE canceller = CreateThread(nullptr, 0, cancelBrowser, nullptr, 0, nullptr);
    EXPECT_EQ(browseForDestination(), 1);
    WaitForSingleObject(canceller, 15000);
    DWORD found = 0;
    GetExitCodeThread(canceller, &found);
    CloseHandle(canceller);
    EXPECT_EQ(found, 1u);
    EXPECT_STREQ(installState.destinationPath, "C:\\Kept\\");
}

}  // namespace
