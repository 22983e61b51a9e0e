// The removal engine against an installation the test lays out (a
// destination tree, desktop and group shortcuts in folders of their own, an
// uninstall key under a test parent key), and the clean-up run of the
// uninstaller's temporary copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/files.h"
#include "support/windows.h"
#include "uninstaller/removal.h"
#include "uninstaller/self_removal.h"
#include "writer/uninstall_writer.h"

using test_files::exists;

namespace {

const std::string kKey = "SOFTWARE\\HalvTests\\Uninstall\\Maker Product 1.0";

class Removal : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"Product/bin/", "Product/docs/guide/", "Desktop/", "Programs/Group/Documents/"})
            std::filesystem::create_directories(root / folder);
        for (const char* file : {"readme.txt", "bin/tool.exe", "bin/data.bin", "docs/guide/deep.txt", "HalvUninstaller.exe"})
            test_files::writeFile(dest + file, "x");
        for (auto [link, target] : {std::pair<std::string, std::string>{root / "Desktop/Tool.lnk", dest + "bin\\tool.exe"},
                                    {root / "Desktop/Other.lnk", dest + "readme.txt"},
                                    {group + "Readme.lnk", dest + "readme.txt"},
                                    {group + "Documents\\Guide.lnk", dest + "docs\\guide\\deep.txt"},
                                    {group + "Uninstall.lnk", dest + "HalvUninstaller.exe"}})
            ASSERT_TRUE(test_windows::makeShortcut(link, target)) << link;
        test_windows::setKeyText(kKey, "UninstallString", "\"" + dest + "HalvUninstaller.exe\"");
        data.productName = "Product";
        data.keyName = "Maker Product 1.0";
        data.directories = {"\\", "\\bin\\", "\\docs\\", "\\docs\\guide\\"};
        data.files = {{0, "readme.txt"}, {1, "tool.exe"}, {1, "data.bin"}, {3, "deep.txt"}};
        data.shortcuts = {{"{DESKTOP}", "Tool"}, {"{STARTUP}", "Other"}};
        data.groupName = "Group";
        data.groupFolders = {{"\\", {"Readme"}}, {"\\Documents", {"Guide"}}};
        places = RemovalPlaces{};
        strcpy(places.destination, dest.c_str());
        strcpy(places.desktop, (root / "Desktop/").c_str());
        strcpy(places.commonPrograms, (root / "Programs/").c_str());
        strcpy(places.keyParent, "SOFTWARE\\HalvTests\\Uninstall");
    }
    void TearDown() override { test_windows::deleteKey(kKey); }

    int remove(RemovalProgress progress = nullptr, void* context = nullptr) {
        const std::vector<uint8_t> bytes = encodeUninstallList(data);
        UninstallList list;
        EXPECT_EQ(parseUninstallList(bytes.data(), (uint32_t)bytes.size(), &list), 1);
        int result = removeInstallation(&list, &places, progress, context, &report);
        freeUninstallList(&list);
        return result;
    }

    test_files::ScratchFolder root;
    std::string dest = root / "Product/", group = root / "Programs/Group/";
    UninstallData data;
    RemovalPlaces places;
    RemovalReport report;
};

// What the user made stays: a shortcut repointed elsewhere, one in a place
// the uninstaller does not know; what cannot go is reported, within bounds.
TEST_F(Removal, WhatIsNotOursStaysAndWhatCannotGoIsReportedBoundedWithTheKey) {
    test_windows::makeShortcut(group + "Readme.lnk", "C:\\windows\\notepad.exe");
    data.files.push_back({3, std::string(250, 'z')});  // cannot fit below the destination: passed over
    for (int i = 0; i < 40; ++i) {
        data.files.push_back({0, std::string(100, (char)('a' + i % 26)) + std::to_string(i)});
        test_files::writeFile(dest + data.files.back().name, "x");
        SetFileAttributesA((dest + data.files.back().name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    std::vector<uint32_t> left;
    auto progress = [](void* context, uint32_t done, uint32_t total, const char*) {
        ((std::vector<uint32_t>*)context)->push_back(total - done);
    };
    EXPECT_EQ(remove(progress, &left), 0);
    EXPECT_EQ(left.back(), 0u);
    EXPECT_EQ(report.filesLeft, 40u);
    EXPECT_EQ(report.filesLeft, report.leftNotShown + std::count(report.left, report.left + strlen(report.left), '\n'));
    EXPECT_GT(report.leftNotShown, 0u);
    EXPECT_FALSE(exists(dest + "bin") || exists(group + "Documents"));
    EXPECT_TRUE(exists(group + "Readme.lnk") && exists(root / "Desktop/Other.lnk") && !exists(root / "Desktop/Tool.lnk"));
    EXPECT_TRUE(test_windows::keyExists(kKey));
    EXPECT_FALSE(report.keyRemoved);
}

// The product installed again elsewhere has taken the key over.
TEST_F(Removal, AKeyNamingAnotherUninstallerStays) {
    for (auto [command, stays] : {std::pair<std::string, bool>{"C:\\Other Place\\HalvUninstaller.exe", true},
                                  {dest + "HALVUNINSTALLER.EXE", false}}) {
        test_windows::setKeyText(kKey, "UninstallString", command);
        EXPECT_EQ(remove(), 1);
        EXPECT_EQ(test_windows::keyExists(kKey), stays) << command;
        EXPECT_TRUE(report.keyRemoved);
    }
}

TEST(Cleanup, DeletesOnlyAnUninstallerAndItsFolderWhenEmpty) {
    for (auto [path, yes] : {std::pair<const char*, int>{"C:\\P\\halvuninstaller.EXE", 1}, {"C:\\T\\hun1.tmp.exe", 0},
                             {"C:\\P\\HalvUninstaller.exe.bak", 0}, {"HalvUninstaller.exe", 0}, {"\\HalvUninstaller.exe", 0}})
        EXPECT_EQ(isUninstallerPath(path), yes) << path;
    test_files::ScratchFolder folder;
    test_files::writeFile(folder / "notes.txt", "n");
    for (const std::string& request : std::vector<std::string>{"/cleanup 0 \"" + folder / "notes.txt\"", "/cleanup \"" + folder / "HalvUninstaller.exe\"",
                                      "/cleanup 0 " + folder / "HalvUninstaller.exe", std::string("/cleanup 0 \"HalvUninstaller.exe\""),
                                      "/cleanup 0 \"" + std::string(300, 'a') + "\\HalvUninstaller.exe\""})
        EXPECT_EQ(removeOriginal(request.c_str()), 0) << request;
    EXPECT_TRUE(exists(folder / "notes.txt"));
    test_files::writeFile(folder / "HalvUninstaller.exe", "u");
    EXPECT_EQ(removeOriginal(("/cleanup 0 \"" + folder / "HalvUninstaller.exe\"").c_str()), 1);
    EXPECT_TRUE(!exists(folder / "HalvUninstaller.exe") && exists(folder / "notes.txt"));
    // Once the uninstaller's process has ended, its emptied folder goes too.
    test_files::ScratchFolder alone;
    test_files::writeFile(alone / "HalvUninstaller.exe", "u");
    test_windows::ChildProcess ended("C:\\windows\\system32\\cmd.exe", "cmd.exe /c exit");
    ASSERT_EQ(ended.waitForExit(10000), 0);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ended.id());
    std::string request = "/cleanup " + std::to_string((unsigned long)(ULONG_PTR)process) + " \"" + alone / "HalvUninstaller.exe\"";
    EXPECT_EQ(removeOriginal(request.c_str()), 1);
    EXPECT_FALSE(exists(alone.path()));
    CloseHandle(process);
}

}  // namespace
