// The clean-up run of the uninstaller's temporary copy: what it deletes,
// and that it refuses anything but an uninstaller file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "uninstaller/self_removal.h"

namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string folderFor(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "halv-cleanup-" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST(Cleanup, RecognisesOnlyItsOwnSwitch) {
    EXPECT_EQ(isCleanupRequest("/cleanup 12 \"C:\\a\\HalvUninstaller.exe\""), 1);
    EXPECT_EQ(isCleanupRequest(""), 0);
    EXPECT_EQ(isCleanupRequest("/clean"), 0);
    EXPECT_EQ(isCleanupRequest(nullptr), 0);
}

TEST(Cleanup, OnlyTheInstalledNameIsAnUninstaller) {
    EXPECT_EQ(isUninstallerPath("C:\\Program Files\\P\\HalvUninstaller.exe"), 1);
    EXPECT_EQ(isUninstallerPath("C:\\P\\halvuninstaller.EXE"), 1);
    EXPECT_EQ(isUninstallerPath("C:\\Temp\\hun1A2B.tmp.exe"), 0);
    EXPECT_EQ(isUninstallerPath("C:\\P\\HalvUninstaller.exe.bak"), 0);
    EXPECT_EQ(isUninstallerPath("HalvUninstaller.exe"), 0);
    EXPECT_EQ(isUninstallerPath(nullptr), 0);
}

TEST(Cleanup, DeletesTheOriginalAndItsEmptyFolderOnceItsProcessEnded) {
    const std::string folder = folderFor("whole");
    const std::string original = folder + "\\HalvUninstaller.exe";
    touch(original);
    // An ended process: the wait returns at once.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    char command[] = "cmd.exe /c exit";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    const std::string request =
        "/cleanup " + std::to_string((unsigned long)(ULONG_PTR)process.hProcess) + " \"" + original + "\"";
    EXPECT_EQ(removeOriginal(request.c_str()), 1);
    EXPECT_FALSE(exists(original));
    EXPECT_FALSE(exists(folder));
}

TEST(Cleanup, FolderWithOtherFilesStays) {
    const std::string folder = folderFor("kept");
    touch(folder + "\\HalvUninstaller.exe");
    touch(folder + "\\mine.txt");
    EXPECT_EQ(removeOriginal(("/cleanup 0 \"" + folder + "\\HalvUninstaller.exe\"").c_str()), 1);
    EXPECT_FALSE(exists(folder + "\\HalvUninstaller.exe"));
    EXPECT_TRUE(exists(folder + "\\mine.txt"));
    DeleteFileA((folder + "\\mine.txt").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(Cleanup, RefusesAnythingButAnUninstallerAndMalformedRequests) {
    const std::string folder = folderFor("refused");
    const std::string victim = folder + "\\notes.txt";
    touch(victim);
    EXPECT_EQ(removeOriginal(("/cleanup 0 \"" + victim + "\"").c_str()), 0);
    EXPECT_EQ(removeOriginal(("/cleanup \"" + folder + "\\HalvUninstaller.exe\"").c_str()), 0);
    EXPECT_EQ(removeOriginal(("/cleanup 0 " + folder + "\\HalvUninstaller.exe").c_str()), 0);
    EXPECT_EQ(removeOriginal("/cleanup 0 \"HalvUninstaller.exe\""), 0);
    EXPECT_EQ(removeOriginal(("/cleanup 0 \"" + std::string(300, 'a') + "\\HalvUninstaller.exe\"").c_str()), 0);
    EXPECT_TRUE(exists(victim));
    DeleteFileA(victim.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
