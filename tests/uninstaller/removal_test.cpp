// The removal engine against an installation laid out by the test: a
// destination tree, desktop and group shortcuts in folders of their own and
// an uninstall key under a test parent key.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "writer/uninstall_writer.h"
#include "uninstaller/removal.h"

namespace {

const char kKeyParent[] = "SOFTWARE\\HalvTests\\Uninstall";
const char kKeyName[] = "Maker Product 1.0";

std::string testName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::string& path, const char* text = "x") {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(file);
}

void makeShortcut(const std::string& linkPath, const std::string& target) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)));
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    EXPECT_TRUE(SUCCEEDED(file->Save(wide, TRUE))) << linkPath;
    file->Release();
    link->Release();
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string keyPath() { return std::string(kKeyParent) + "\\" + kKeyName; }

bool keyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

UninstallData productData() {
    UninstallData data;
    data.productName = "Product";
    data.keyName = kKeyName;
    data.directories = {"\\", "\\bin\\", "\\docs\\", "\\docs\\guide\\"};
    data.files = {{0, "readme.txt"}, {1, "tool.exe"}, {1, "data.bin"}, {3, "deep.txt"}};
    data.shortcuts = {{"{DESKTOP}", "Tool"}};
    data.groupName = "Product Group";
    data.groupFolders = {{"\\", {"Readme"}}, {"\\Documents", {"Guide"}}};
    return data;
}

// One laid-out installation per test, in folders named after the test.
class Removal : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "halv-removal-" + testName();
        removeTree(root_);
        CreateDirectoryA(root_.c_str(), nullptr);
        dest_ = root_ + "\\Product\\";
        desktop_ = root_ + "\\Desktop\\";
        group_ = root_ + "\\Programs\\Product Group\\";
        for (const std::string& folder : {dest_, dest_ + "bin", dest_ + "docs", dest_ + "docs\\guide", desktop_,
                                           root_ + "\\Programs", group_, group_ + "Documents"})
            CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : {"readme.txt", "bin\\tool.exe", "bin\\data.bin", "docs\\guide\\deep.txt",
                                 "HalvUninstaller.exe"})
            writeFile(dest_ + file);
        makeShortcut(desktop_ + "Tool.lnk", dest_ + "bin\\tool.exe");
        makeShortcut(group_ + "Readme.lnk", dest_ + "readme.txt");
        makeShortcut(group_ + "Documents\\Guide.lnk", dest_ + "docs\\guide\\deep.txt");
        makeShortcut(group_ + "Uninstall.lnk", dest_ + "HalvUninstaller.exe");
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)"Product 1.0", 12);
        setUninstallString(key, "\"" + dest_ + "HalvUninstaller.exe\"");
        RegCloseKey(key);
        setData(productData());
        memset(&places_, 0, sizeof places_);
        strcpy(places_.destination, dest_.c_str());
        strcpy(places_.desktop, desktop_.c_str());
        strcpy(places_.commonPrograms, (root_ + "\\Programs\\").c_str());
        strcpy(places_.keyParent, kKeyParent);
    }
    static void setUninstallString(HKEY key, const std::string& command) {
        RegSetValueExA(key, "UninstallString", 0, REG_SZ, (const BYTE*)command.c_str(), (DWORD)command.size() + 1);
    }
    void TearDown() override {
        freeUninstallList(&list_);
        removeTree(root_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath().c_str());
    }
    void setData(const UninstallData& data) {
        freeUninstallList(&list_);
        bytes_ = encodeUninstallList(data);
        ASSERT_EQ(parseUninstallList(bytes_.data(), (uint32_t)bytes_.size(), &list_), 1);
    }
    int remove() { return removeInstallation(&list_, &places_, nullptr, nullptr, &report_); }

    std::string root_, dest_, desktop_, group_;
    std::vector<uint8_t> bytes_;
    UninstallList list_ = {};
    RemovalPlaces places_;
    RemovalReport report_;
};

TEST_F(Removal, RemovesEverythingListedAndTheKey) {
    EXPECT_EQ(remove(), 1);
    for (const char* gone : {"readme.txt", "bin", "docs"}) EXPECT_FALSE(exists(dest_ + gone)) << gone;
    EXPECT_FALSE(exists(desktop_ + "Tool.lnk"));
    EXPECT_FALSE(exists(group_));
    EXPECT_TRUE(exists(root_ + "\\Programs"));
    EXPECT_FALSE(keyExists());
    EXPECT_TRUE(report_.keyRemoved);
    EXPECT_STREQ(report_.left, "");
    // The uninstaller and the destination are left for the self-removal.
    EXPECT_TRUE(exists(dest_ + "HalvUninstaller.exe"));
}

TEST_F(Removal, FilesTheUserAddedStayWithTheirFolders) {
    writeFile(dest_ + "docs\\guide\\mine.txt");
    CreateDirectoryA((dest_ + "saves").c_str(), nullptr);
    writeFile(dest_ + "saves\\game.sav");
    makeShortcut(group_ + "Documents\\Mine.lnk", dest_ + "docs\\guide\\mine.txt");
    EXPECT_EQ(remove(), 1);
    EXPECT_TRUE(exists(dest_ + "docs\\guide\\mine.txt"));
    EXPECT_TRUE(exists(dest_ + "saves\\game.sav"));
    EXPECT_FALSE(exists(dest_ + "docs\\guide\\deep.txt"));
    EXPECT_FALSE(exists(dest_ + "bin"));
    EXPECT_TRUE(exists(group_ + "Documents\\Mine.lnk"));
    EXPECT_FALSE(exists(group_ + "Documents\\Guide.lnk"));
    EXPECT_FALSE(exists(group_ + "Uninstall.lnk"));
    EXPECT_FALSE(keyExists());
}

TEST_F(Removal, ReadOnlyFileIsReportedTheRestGoesAndTheKeyStays) {
    SetFileAttributesA((dest_ + "bin\\data.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(remove(), 0);
    EXPECT_EQ(report_.filesLeft, 1u);
    EXPECT_EQ(std::string(report_.left), dest_ + "bin\\data.bin\n");
    EXPECT_TRUE(exists(dest_ + "bin\\data.bin"));
    EXPECT_FALSE(exists(dest_ + "bin\\tool.exe"));
    EXPECT_FALSE(exists(dest_ + "docs"));
    EXPECT_FALSE(exists(group_));
    EXPECT_TRUE(keyExists());
    EXPECT_FALSE(report_.keyRemoved);
}

TEST_F(Removal, FileInUseIsReported) {
    HANDLE open = CreateFileA((dest_ + "readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(remove(), 0);
    CloseHandle(open);
    EXPECT_EQ(report_.filesLeft, 1u);
    EXPECT_EQ(std::string(report_.left), dest_ + "readme.txt\n");
    EXPECT_FALSE(exists(dest_ + "bin"));
    EXPECT_TRUE(keyExists());
}

TEST_F(Removal, ShortcutsPointingElsewhereAreNotOurs) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    makeShortcut(desktop_ + "Tool.lnk", std::string(windows) + "\\notepad.exe");
    writeFile(group_ + "Readme.lnk", "not a shortcut");
    EXPECT_EQ(remove(), 1);
    EXPECT_TRUE(exists(desktop_ + "Tool.lnk"));
    EXPECT_TRUE(exists(group_ + "Readme.lnk"));
    EXPECT_FALSE(exists(group_ + "Uninstall.lnk"));
    EXPECT_FALSE(exists(group_ + "Documents"));
    EXPECT_EQ(report_.shortcutsLeft, 0u);
}

TEST_F(Removal, WhatIsAlreadyGoneIsNoFailure) {
    removeTree(dest_ + "bin");
    DeleteFileA((desktop_ + "Tool.lnk").c_str());
    removeTree(group_);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath().c_str());
    EXPECT_EQ(remove(), 1);
    EXPECT_FALSE(exists(dest_ + "docs"));
    EXPECT_TRUE(report_.keyRemoved);
}

TEST_F(Removal, KeyOfTheProductInstalledAgainElsewhereStays) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    setUninstallString(key, "C:\\Other Place\\HalvUninstaller.exe");
    RegCloseKey(key);
    EXPECT_EQ(remove(), 1);
    EXPECT_TRUE(keyExists());
    EXPECT_TRUE(report_.keyRemoved);
    EXPECT_FALSE(exists(dest_ + "bin"));
}

TEST_F(Removal, KeyNamingOurUninstallerWithoutQuotesOrInOtherCaseGoes) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    std::string upper = dest_ + "HALVUNINSTALLER.EXE";
    setUninstallString(key, upper);
    RegCloseKey(key);
    EXPECT_EQ(remove(), 1);
    EXPECT_FALSE(keyExists());
}

TEST_F(Removal, NothingOutsideTheListIsTouched) {
    UninstallData data = productData();
    data.files = {{1, "tool.exe"}};
    data.directories = {"\\", "\\bin\\"};
    data.shortcuts = {{"{STARTUP}", "Tool"}};
    data.groupName.clear();
    data.groupFolders.clear();
    setData(data);
    EXPECT_EQ(remove(), 1);
    EXPECT_FALSE(exists(dest_ + "bin\\tool.exe"));
    for (const char* kept : {"readme.txt", "bin\\data.bin", "docs\\guide\\deep.txt"}) EXPECT_TRUE(exists(dest_ + kept));
    EXPECT_TRUE(exists(desktop_ + "Tool.lnk"));
    EXPECT_TRUE(exists(group_ + "Uninstall.lnk"));
}

TEST_F(Removal, OverlongPathsArePassedOverAndTheReportStaysBounded) {
    UninstallData data = productData();
    data.files.clear();
    for (int i = 0; i < 40; ++i) {
        std::string name = std::string(100, 'a' + i % 26) + std::to_string(i);
        data.files.push_back({0, name});
        writeFile(dest_ + name);
        SetFileAttributesA((dest_ + name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    data.files.push_back({3, std::string(250, 'z')});  // cannot fit below the destination
    setData(data);
    std::vector<uint32_t> seen;
    auto progress = [](void* context, uint32_t done, uint32_t total, const char*) {
        static_cast<std::vector<uint32_t>*>(context)->push_back(total - done);
    };
    EXPECT_EQ(removeInstallation(&list_, &places_, progress, &seen, &report_), 0);
    EXPECT_EQ(report_.filesLeft, 40u);
    EXPECT_GT(report_.leftNotShown, 0u);
    EXPECT_LT(strlen(report_.left), sizeof report_.left);
    EXPECT_EQ(report_.filesLeft,
              report_.leftNotShown + (uint32_t)std::count(report_.left, report_.left + strlen(report_.left), '\n'));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 0u);
    EXPECT_TRUE(keyExists());
}

}  // namespace
