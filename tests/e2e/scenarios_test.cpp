// The installer driven end to end under Wine, as a user would: each scenario
// starts a real installer made by halvbuild, walks the wizard, and checks what
// appears on screen and what lands on disk, in the registry and as shortcuts.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>

#include "scenario.h"

using namespace e2e;

namespace {

TEST_F(Scenario, FullInstallationWithEveryOption) {
    Installer run(installer("full.exe"));
    ASSERT_TRUE(run.waitForWindow());
    EXPECT_EQ(run.text(run.leftButton()), "Exit");
    EXPECT_EQ(run.text(run.rightButton()), "I Agree");
    run.screenshot(shot("licence"));
    run.click(run.rightButton());
    EXPECT_EQ(run.text(run.destinationBox()), specialFolder(CSIDL_PROGRAM_FILES) + "\\E2E Full Product\\");
    EXPECT_EQ(run.text(run.leftButton()), "Back");
    run.screenshot(shot("destination"));
    run.typeDestination(dest());
    run.click(run.rightButton());
    run.screenshot(shot("installing"));
    ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
    run.screenshot(shot("complete"));
    run.click(run.rightButton());
    EXPECT_EQ(run.text(run.rightButton()), "Finish");
    for (int i = 0; i < 5; ++i) {
        HWND box = run.optionBox(i);
        ASSERT_TRUE(box && IsWindowVisible(box)) << i;
        EXPECT_EQ(sendBounded(box, BM_GETCHECK, 0, 0), BST_CHECKED) << i;
    }
    run.screenshot(shot("options"));
    run.click(run.rightButton());
    EXPECT_EQ(run.waitForExit(), 0);

    // "Run program" and "View help file" start batch files that leave a mark.
    for (const char* mark : {"bin\\ran.txt", "docs\\helped.txt"}) {
        for (int i = 0; i < 100 && readFile(dest() + mark).empty(); ++i) pause(100);
        EXPECT_TRUE(fileExists(dest() + mark)) << mark;
        // The batch file may still hold its mark open for a moment.
        for (int i = 0; i < 50 && !DeleteFileA((dest() + mark).c_str()); ++i) pause(100);
    }
    expectSameTree("full");
    EXPECT_TRUE(fileExists(dest() + "HalvUninstaller.exe"));

    EXPECT_EQ(uninstallText(fullKey, "DisplayName"), "Full Product 1.0");
    EXPECT_EQ(uninstallText(fullKey, "UninstallString"), "\"" + dest() + "HalvUninstaller.exe\"");
    EXPECT_EQ(uninstallText(fullKey, "DisplayIcon"), dest() + "HalvUninstaller.exe,0");
    EXPECT_EQ(uninstallText(fullKey, "Publisher"), "E2E Tests");
    EXPECT_EQ(uninstallText(fullKey, "Version"), "1.0");
    EXPECT_EQ(uninstallText(fullKey, "DisplayVersion"), "1.0");
    EXPECT_EQ(uninstallText(fullKey, "InstallLocation"), destination_);
    EXPECT_EQ(uninstallNumber(fullKey, "NoModify"), 1u);
    EXPECT_EQ(uninstallNumber(fullKey, "NoRepair"), 1u);

    std::string target, folder;
    ASSERT_TRUE(readShortcut(specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk", &target, &folder));
    EXPECT_EQ(target, dest() + "bin\\tool.bat");
    EXPECT_EQ(folder, dest() + "bin\\");
    const std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product";
    ASSERT_TRUE(readShortcut(group + "\\Readme.lnk", &target, &folder));
    EXPECT_EQ(target, dest() + "readme.txt");
    ASSERT_TRUE(readShortcut(group + "\\Documents\\Guide.lnk", &target, &folder));
    EXPECT_EQ(target, dest() + "docs\\guide\\deep.txt");
    ASSERT_TRUE(readShortcut(group + "\\Uninstall.lnk", &target, &folder));
    EXPECT_EQ(target, dest() + "HalvUninstaller.exe");
}

TEST_F(Scenario, EveryOptionUncheckedOnlyCloses) {
    Installer run(installer("full.exe"));
    startInstalling(run);
    finishWithoutOptions(run);
    expectSameTree("full");
    EXPECT_FALSE(fileExists(specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk"));
    EXPECT_FALSE(folderExists(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product"));
    EXPECT_FALSE(fileExists(dest() + "bin\\ran.txt"));
}

TEST_F(Scenario, WithoutLicenceOpensOnDestinationAndExits) {
    Installer run(installer("plain.exe"));
    ASSERT_TRUE(run.waitForWindow());
    EXPECT_EQ(run.text(run.leftButton()), "Exit");
    EXPECT_EQ(run.text(run.rightButton()), "Install");
    EXPECT_TRUE(IsWindowVisible(run.destinationBox()));
    run.click(run.leftButton());
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_FALSE(uninstallKeyExists(plainKey));
}

TEST_F(Scenario, ExitOnLicenceStep) {
    Installer run(installer("full.exe"));
    ASSERT_TRUE(run.waitForWindow());
    run.click(run.leftButton());
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_FALSE(uninstallKeyExists(fullKey));
}

TEST_F(Scenario, ExistingDestinationAnsweredNoThenYes) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    Installer run(installer("plain.exe"));
    startInstalling(run, false);
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text, "The specified destination folder already exists.\nDo you still want to install to this folder?");
    EXPECT_EQ(box.caption, "Halvorsine Install System");
    run.answer(box, IDNO);
    EXPECT_EQ(run.text(run.rightButton()), "Install");
    EXPECT_EQ(run.text(run.destinationBox()), dest());
    EXPECT_TRUE(listTree(destination_).empty());
    EXPECT_FALSE(uninstallKeyExists(plainKey));
    run.click(run.rightButton());
    run.answer(run.waitForMessageBox(), IDYES);
    finishWithoutOptions(run);
    expectSameTree("plain");
}

TEST_F(Scenario, InsufficientSpaceNamesTheProduct) {
    // The fixture maps a 1 MiB memory file system as drive S: where it may mount one.
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA("S:\\", &available, &total, &free) || total.QuadPart > (4u << 20))
        GTEST_SKIP() << "no small drive S: on this machine";
    destination_ = "S:\\space";
    removeTree(destination_);
    Installer run(installer("big.exe"));
    startInstalling(run, false);
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text,
              "There is insufficient space to install Big Product on the selected drive.\nPlease free up some space on "
              "the selected drive and press Refresh, or choose another drive.");
    run.answer(box, IDOK);
    EXPECT_EQ(run.text(run.rightButton()), "Install");
    EXPECT_EQ(run.text(run.control("Static", 196, 166)), "There is insufficient space to install.");
    // The folder made for the refused destination is gone again.
    EXPECT_FALSE(folderExists(destination_));
    run.click(run.leftButton());  // Back
    run.click(run.leftButton());  // Exit
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_FALSE(uninstallKeyExists(bigKey));
}

TEST_F(Scenario, DestinationThatCannotBeCreated) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    HANDLE blocker = CreateFileA((destination_ + "\\blocker").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(blocker);
    Installer run(installer("plain.exe"));
    ASSERT_TRUE(run.waitForWindow());
    run.typeDestination(destination_ + "\\blocker\\inside\\");
    run.click(run.rightButton());
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text,
              "The specified destination folder could not be created.\nPlease choose a different destination folder.");
    run.answer(box, IDOK);
    EXPECT_EQ(run.text(run.rightButton()), "Install");
    run.click(run.leftButton());
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_EQ(listTree(destination_), std::vector<std::string>{"blocker"});
}

TEST_F(Scenario, CancelDuringExtractionAnsweredNoCompletes) {
    Installer run(installer("big.exe"));
    startInstalling(run, false);
    run.click(run.leftButton());
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text, "Are you sure you want to cancel setup?");
    run.screenshot(shot("question"));
    run.answer(box, IDNO);
    finishWithoutOptions(run);
    expectSameTree("big");
    EXPECT_TRUE(uninstallKeyExists(bigKey));
}

TEST_F(Scenario, CancelDuringExtractionAnsweredYesRemovesEverything) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    HANDLE mine = CreateFileA((destination_ + "\\mine.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(mine);
    Installer run(installer("big.exe"));
    startInstalling(run, false);
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    run.click(run.leftButton());
    run.answer(run.waitForMessageBox(), IDYES);  // cancel
    // The close command during the removal is ignored: the removal finishes
    // and says so.
    PostMessageA(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Dialog done = run.waitForMessageBox();
    EXPECT_EQ(run.text(run.control("Static", 196, 169)), "Removing Setup Files...");
    run.screenshot(shot("removed"));
    EXPECT_EQ(done.text, removedText);
    run.answer(done, IDOK);
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_EQ(listTree(destination_), std::vector<std::string>{"mine.txt"});
    EXPECT_FALSE(uninstallKeyExists(bigKey));
}

TEST_F(Scenario, CancelOnCompletionStepRemovesTheInstallation) {
    Installer run(installer("plain.exe"));
    startInstalling(run, false);
    ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
    EXPECT_EQ(run.text(run.leftButton()), "Cancel");
    run.click(run.leftButton());
    run.answer(run.waitForMessageBox(), IDYES);
    expectRemovedAndExit(run);
    EXPECT_FALSE(folderExists(destination_));
    EXPECT_FALSE(uninstallKeyExists(plainKey));
}

TEST_F(Scenario, CloseCommandDuringExtractionAsksFirst) {
    Installer run(installer("big.exe"));
    startInstalling(run, false);
    PostMessageA(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text, "Are you sure you want to cancel setup?");
    run.answer(box, IDYES);
    expectRemovedAndExit(run);
    EXPECT_FALSE(folderExists(destination_));
    EXPECT_FALSE(uninstallKeyExists(bigKey));
}

TEST_F(Scenario, CorruptedInstallerShowsTheIntegrityMessageOnly) {
    Installer run(installer("corrupt.exe"));
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text,
              "File integrity check failed. This file has been altered from its original state, and is corrupt.\n"
              "Please visit the Halvorsine website at https://www.halvorsine.org/ to obtain an uncorrupted copy of "
              "this file.");
    EXPECT_EQ(run.waitForWindow(200), nullptr);
    run.answer(box, IDOK);
    EXPECT_EQ(run.waitForExit(), 0);
}

TEST_F(Scenario, SecondInstanceEndsAtOnce) {
    Installer first(installer("full.exe"));
    ASSERT_TRUE(first.waitForWindow());
    Installer second(installer("plain.exe"));
    EXPECT_EQ(second.waitForExit(10000), 0);
    EXPECT_TRUE(IsWindowVisible(first.window()));
    first.click(first.leftButton());
    EXPECT_EQ(first.waitForExit(), 0);
}

TEST_F(Scenario, OtherSystemVersionAsksBeforeStarting) {
    const char question[] =
        "This software was intended to run on Windows 2000 or Windows XP. However, you can still choose to install "
        "the software, but it may not function as intended.\n\nDo you wish to continue?";
    // Wine reports another version to a program of this name only.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\newer-system.exe", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win7"), 5);
    RegCloseKey(key);
    for (int answer : {IDNO, IDYES}) {
        Installer run(installer("newer-system.exe"));
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, question);
        run.answer(box, answer);
        if (answer == IDYES) {
            ASSERT_TRUE(run.waitForWindow());
            run.click(run.leftButton());
        }
        EXPECT_EQ(run.waitForExit(), 0);
    }
}

}  // namespace
