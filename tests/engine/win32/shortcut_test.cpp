#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include "engine/install_state.h"
#include "engine/shortcut.h"
#include "installer_folder_test.h"

namespace {

struct LinkContents {
    bool loaded = false;
    std::string path;
    std::string workingDirectory;
};

// Reads a .lnk back with the shell's own link object.
LinkContents loadLink(const std::string& file) {
    LinkContents contents;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
        return contents;
    }
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
            contents.loaded = true;
            char text[MAX_PATH] = "";
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            contents.path = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, MAX_PATH);
            contents.workingDirectory = text;
        }
        persist->Release();
    }
    link->Release();
    return contents;
}

std::string specialFolder(int id) {
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, id, nullptr, 0, folder);
    return std::string(folder) + "\\";
}

// The installed program is Product\bin\tide.exe under the scratch folder.
class ShortcutTest : public InstallerFolderTest {
protected:
    void SetUp() override {
        InstallerFolderTest::SetUp();
        CoInitialize(nullptr);
        strcpy(installState.destinationPath, destination.c_str());
        CreateDirectoryA((destination + "bin").c_str(), nullptr);
        writeWholeFile(destination + "bin\\tide.exe", {'M', 'Z'});
    }
};

TEST_F(ShortcutTest, TheLinkLoadsBackWithItsTargetAndWorkingDirectory) {
    std::string base = scratch + "Product\\bin\\";
    ASSERT_EQ(createShortcut(base.c_str(), "tide.exe", scratch.c_str(), "Tidewater.lnk"), 1);
    // Without a base folder the target stands alone.
    ASSERT_EQ(createShortcut(nullptr, (base + "tide.exe").c_str(), scratch.c_str(), "Plain.lnk"), 1);
    LinkContents link = loadLink(scratch + "Tidewater.lnk"), plain = loadLink(scratch + "Plain.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.path, base + "tide.exe");
    EXPECT_EQ(link.workingDirectory, base);
    ASSERT_TRUE(plain.loaded);
    EXPECT_EQ(plain.path, base + "tide.exe");
    EXPECT_EQ(plain.workingDirectory, "");
}

TEST_F(ShortcutTest, LengthsAreCheckedBeforeAnyWorkAndAMissingLinkFolderIsNotNoticed) {
    std::string base = "C:\\" + std::string(126, 'b') + "\\";
    EXPECT_EQ(base.size(), 130u);
    std::string target130(130, 't'), target131(131, 't');
    EXPECT_EQ(createShortcut(base.c_str(), target130.c_str(), scratch.c_str(), "Exact.lnk"), 1);
    EXPECT_TRUE(fileExists(scratch + "Exact.lnk"));
    EXPECT_EQ(createShortcut(base.c_str(), target131.c_str(), scratch.c_str(), "Over.lnk"), 0);
    EXPECT_FALSE(fileExists(scratch + "Over.lnk"));

    std::string longName = std::string(260 - scratch.size() - 4, 'n') + ".lnk";
    EXPECT_EQ(createShortcut(nullptr, "x.exe", scratch.c_str(), ("a" + longName).c_str()), 0);
    EXPECT_EQ(createShortcut(nullptr, nullptr, scratch.c_str(), "a.lnk"), 0);
    EXPECT_EQ(createShortcut(nullptr, "x.exe", nullptr, "a.lnk"), 0);
    EXPECT_EQ(createShortcut(nullptr, "x.exe", scratch.c_str(), nullptr), 0);

    std::string missing = scratch + "missing\\";
    EXPECT_EQ(createShortcut(nullptr, "x.exe", missing.c_str(), "Lost.lnk"), 1);
    EXPECT_FALSE(fileExists(missing + "Lost.lnk"));
}

ShortcutRecord* shortcutRecord(const char* target, const char* location, const char* name) {
    ShortcutRecord* record = (ShortcutRecord*)calloc(1, sizeof(ShortcutRecord));
    record->target = strdup(target);
    record->location = strdup(location);
    record->name = strdup(name);
    return record;
}

TEST_F(ShortcutTest, DesktopShortcutsSkipOtherLocationsAndOverlongPaths) {
    PayloadLists& lists = installState.lists;
    std::string desktop = specialFolder(CSIDL_DESKTOPDIRECTORY);
    std::string tooLong = "\\bin\\" + std::string(250, 'x') + ".exe";
    for (ShortcutRecord* record : {shortcutRecord("\\bin\\tide.exe", "{desktop}", "Tidewater Test"),
                                   shortcutRecord("\\bin\\tide.exe", "{STARTMENU}", "Elsewhere Test"),
                                   shortcutRecord(tooLong.c_str(), "{DESKTOP}", "Long Test"),
                                   shortcutRecord("\\bin\\tide.exe", "{DESKTOP}", "..\\Escaped Test")}) {
        listAppend(&lists.shortcutsHead, &lists.shortcutsTail, &record->link);
    }
    EXPECT_EQ(createDesktopShortcuts(), 1);
    LinkContents link = loadLink(desktop + "Tidewater Test.lnk");
    DeleteFileA((desktop + "Tidewater Test.lnk").c_str());
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.path, scratch + "Product\\bin\\tide.exe");
    EXPECT_EQ(link.workingDirectory, scratch + "Product\\bin\\");
    EXPECT_FALSE(fileExists(desktop + "Elsewhere Test.lnk"));
    EXPECT_FALSE(fileExists(desktop + "Long Test.lnk"));
    EXPECT_FALSE(fileExists(desktop + "..\\Escaped Test.lnk"));
}

TEST_F(ShortcutTest, TheProgramGroupGetsItsFoldersItemsAndUninstallLink) {
    PayloadLists& lists = installState.lists;
    strcpy(lists.programGroupName, "Tidewater Group Test");
    GroupFolderRecord* root = (GroupFolderRecord*)calloc(1, sizeof(GroupFolderRecord));
    root->folder = strdup("\\");
    GroupItemRecord* item = (GroupItemRecord*)calloc(1, sizeof(GroupItemRecord));
    item->target = strdup("\\bin\\tide.exe");
    item->name = strdup("Tidewater");
    listAppend(&root->firstItem, &root->lastItem, &item->link);
    GroupFolderRecord* extras = (GroupFolderRecord*)calloc(1, sizeof(GroupFolderRecord));
    extras->folder = strdup("\\Extras");
    listAppend(&lists.groupEntriesHead, &lists.groupEntriesTail, &root->link);
    listAppend(&lists.groupEntriesHead, &lists.groupEntriesTail, &extras->link);

    std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "Tidewater Group Test\\";
    EXPECT_EQ(createProgramGroup(), 2);
    LinkContents program = loadLink(group + "Tidewater.lnk");
    LinkContents uninstall = loadLink(group + "Uninstall.lnk");
    bool extrasMade = fileExists(group + "Extras");
    removeTree(group);
    ASSERT_TRUE(program.loaded);
    EXPECT_EQ(program.path, scratch + "Product\\bin\\tide.exe");
    ASSERT_TRUE(uninstall.loaded);
    EXPECT_EQ(uninstall.path, scratch + "Product\\HalvUninstaller.exe");
    EXPECT_EQ(uninstall.workingDirectory, scratch + "Product\\");
    EXPECT_TRUE(extrasMade);
}

TEST_F(ShortcutTest, InstalledPathsAreComposedWithinTheLimit) {
    char path[261];
    ASSERT_EQ(composeInstalledPath("\\bin\\tide.exe", path), 1);
    EXPECT_EQ(std::string(path), scratch + "Product\\bin\\tide.exe");
    size_t room = 260 - (strlen(installState.destinationPath) - 1);
    EXPECT_EQ(composeInstalledPath(("\\" + std::string(room - 1, 'r')).c_str(), path), 1);
    EXPECT_EQ(strlen(path), 260u);
    EXPECT_EQ(composeInstalledPath(("\\" + std::string(room, 'r')).c_str(), path), 0);
}

}  // namespace
