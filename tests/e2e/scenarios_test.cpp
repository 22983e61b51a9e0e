// The installer and its uninstaller driven end to end under Wine, as a user
// would: each scenario starts a real installer made by halvbuild, walks the
// wizard, and checks what appears on screen and what lands on disk, in the
// registry and as shortcuts.
#include <shlobj.h>

#include <algorithm>

#include "driver.h"

using namespace e2e;
using test_files::exists;
using test_windows::keyExists;
using test_windows::keyText;

namespace {

const std::string kDesktopLink = test_windows::specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk";
const std::string kGroup = test_windows::specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product\\";

// The uninstaller as the list of installed programs starts it: by the entry's UninstallString.
struct Uninstaller : test_windows::ChildProcess {
    Uninstaller() : ChildProcess(command().substr(1, command().size() - 2), command()) {}
    static std::string command() { return keyText(kUninstallKey[kFull], "UninstallString"); }
    std::string say(int answer, int timeoutMs = 20000) {  // the next message's text, answered
        Dialog box = test_windows::waitForMessageBox(id(), bound(timeoutMs));
        test_windows::answer(box, answer);
        return box.text;
    }
};

TEST_F(Scenario, FullInstallationWithEveryOptionThenTheUninstallerTakesItAllAway) {
    Installer run(installer("full.exe"));
    ASSERT_TRUE(run.waitForWindow());
    EXPECT_EQ(run.text(run.leftButton()) + "|" + run.text(run.rightButton()), "Exit|I Agree");
    run.expectPictures("licence");
    run.click(run.rightButton());
    EXPECT_EQ(run.text(run.control("Edit", 196, 25)), test_windows::specialFolder(CSIDL_PROGRAM_FILES) + "\\E2E Full Product\\");
    EXPECT_EQ(run.text(run.leftButton()), "Back");
    run.screenshot("destination");
    run.typeDestination(dest());
    run.click(run.rightButton());
    run.screenshot("installing");
    ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
    run.screenshot("complete");
    run.click(run.rightButton());
    EXPECT_EQ(run.text(run.rightButton()), "Finish");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(test_windows::sendBounded(run.optionBox(i), BM_GETCHECK, 0, 0), BST_CHECKED) << i;
    run.screenshot("options");
    run.expectPictures("options");
    run.click(run.rightButton());
    EXPECT_EQ(run.waitForExit(), 0);
    // "Run program" and "View help file" start batch files that leave a mark.
    for (const char* mark : {"bin\\ran.txt", "docs\\helped.txt"}) {
        EXPECT_TRUE(test_windows::waitFor([&] { return !test_files::readFile(dest() + mark).empty(); }, bound(10000))) << mark;
        test_windows::waitFor([&] { return DeleteFileA((dest() + mark).c_str()) != 0; }, bound(5000));
    }
    expectInstalled("full");
    const std::string key = kUninstallKey[kFull];
    EXPECT_EQ(keyText(key, "DisplayName"), "Full Product 1.0");
    EXPECT_EQ(keyText(key, "UninstallString"), "\"" + dest() + "HalvUninstaller.exe\"");
    EXPECT_EQ(keyText(key, "DisplayIcon"), dest() + "HalvUninstaller.exe,0");
    EXPECT_EQ(keyText(key, "Publisher") + "|" + keyText(key, "Version") + "|" + keyText(key, "DisplayVersion"), "E2E Tests|1.0|1.0");
    EXPECT_EQ(keyText(key, "InstallLocation"), destination);
    EXPECT_EQ(keyText(key, "URLInfoAbout") + "|" + keyText(key, "HelpLink"), "https://www.halvorsine.org/|https://www.halvorsine.org/");
    EXPECT_TRUE(test_windows::keyNumber(key, "NoModify") == 1 && test_windows::keyNumber(key, "NoRepair") == 1);
    const struct { std::string link, target, folder; } links[] = {
        {kDesktopLink, dest() + "bin\\tool.bat", dest() + "bin\\"},
        {kGroup + "Readme.lnk", dest() + "readme.txt", dest()},
        {kGroup + "Documents\\Guide.lnk", dest() + "docs\\guide\\deep.txt", dest() + "docs\\guide\\"},
        {kGroup + "Uninstall.lnk", dest() + "HalvUninstaller.exe", dest()}};
    for (const auto& l : links) {
        std::string target, folder;
        EXPECT_TRUE(test_windows::readShortcut(l.link, &target, &folder)) << l.link;
        EXPECT_EQ(target + "|" + folder, l.target + "|" + l.folder);
    }
    // The uninstaller's copy runs from a new folder of its own that holds
    // nothing else; the original, held open here, keeps it waiting meanwhile.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::vector<std::string> before = test_files::listTree(temp);  // other scenarios' folders wait for a restart
    auto runFolders = [&] {
        std::vector<std::string> found;
        for (const std::string& e : test_files::listTree(temp))
            if (e.rfind("halv-", 0) == 0 && std::find(before.begin(), before.end(), e) == before.end()) found.push_back(e);
        return found;
    };
    Uninstaller uninstall;
    EXPECT_EQ(uninstall.say(IDYES), "Remove Full Product and all of its components?");
    HANDLE held = CreateFileA((dest() + "HalvUninstaller.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(uninstall.say(IDOK), "Full Product was removed from your computer.");
    EXPECT_EQ(uninstall.waitForExit(bound(30000)), 0);
    std::vector<std::string> copy;
    EXPECT_TRUE(test_windows::waitFor([&] { return (copy = runFolders()).size() == 2; }, bound(10000)));
    EXPECT_EQ(copy.size() == 2 ? copy[1] : "", copy.empty() ? "-" : copy[0] + "HalvCleanup.exe");
    CloseHandle(held);
    // The copy goes when it ends; its folder, named for deletion at the next restart, is all that is left.
    EXPECT_TRUE(test_windows::waitFor([&] { return !exists(destination) && runFolders().size() == 1; }, bound(15000)));
    EXPECT_FALSE(exists(kDesktopLink) || exists(kGroup) || keyExists(key));
    char pending[16384] = "";
    DWORD size = sizeof pending;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    ASSERT_FALSE(copy.empty());
    EXPECT_NE(std::string(pending, size).find(temp + copy[0].substr(0, copy[0].size() - 1)), std::string::npos);
    RemoveDirectoryA((temp + copy[0]).c_str());
}

// Installed without the actions that leave files of their own.
TEST_F(Scenario, TheUninstallerRefusesDamageAsksFirstAndReportsWhatStays) {
    Installer run(installer("full.exe"));
    startInstalling(run);
    ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
    run.click(run.rightButton());
    for (int i = 2; i < 5; ++i) test_windows::sendBounded(run.optionBox(i), BM_CLICK, 0, 0);
    run.click(run.rightButton());
    ASSERT_EQ(run.waitForExit(), 0);
    const std::string uninstaller = dest() + "HalvUninstaller.exe";
    const std::vector<uint8_t> intact = test_files::readFile(uninstaller);
    const std::vector<std::string> installed = test_files::listTree(destination);
    std::vector<uint8_t> damaged = intact;
    damaged[damaged.size() - 40] ^= 0x20;  // inside the uninstall list
    test_files::writeFile(uninstaller, damaged);
    for (auto [answer, text, code] : {std::tuple<int, const char*, int>{IDOK, "The uninstaller is damaged and cannot be used. Nothing was changed.", 2},
                                      {IDNO, "Remove Full Product and all of its components?", 1}}) {
        Uninstaller uninstall;
        EXPECT_EQ(uninstall.say(answer), text);
        EXPECT_EQ(uninstall.waitForExit(bound(30000)), code);
        EXPECT_EQ(test_files::listTree(destination), installed);
        EXPECT_TRUE(exists(kDesktopLink) && exists(kGroup + "Documents\\Guide.lnk") && keyExists(kUninstallKey[kFull]));
        test_files::writeFile(uninstaller, intact);
    }
    test_files::writeFile(dest() + "docs\\guide\\notes.txt", "mine");
    SetFileAttributesA((dest() + "bin\\data.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE locked = CreateFileA((dest() + "readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    {
        Uninstaller uninstall;
        uninstall.say(IDYES);
        const std::string report = uninstall.say(IDOK);
        EXPECT_NE(report.find("could not be removed"), std::string::npos) << report;
        EXPECT_TRUE(report.find(dest() + "bin\\data.bin") != std::string::npos &&
                    report.find(dest() + "readme.txt") != std::string::npos) << report;
        EXPECT_EQ(uninstall.waitForExit(bound(30000)), 3);
    }
    CloseHandle(locked);
    EXPECT_EQ(test_files::listTree(destination),
              (std::vector<std::string>{"HalvUninstaller.exe", "bin\\", "bin\\data.bin", "docs\\", "docs\\guide\\",
                                        "docs\\guide\\notes.txt", "readme.txt"}));
    EXPECT_FALSE(exists(kDesktopLink) || exists(kGroup));
    EXPECT_TRUE(keyExists(kUninstallKey[kFull])) << "the entry stays while files stay";
    SetFileAttributesA((dest() + "bin\\data.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
    Uninstaller again;
    again.say(IDYES);
    EXPECT_EQ(again.say(IDOK), "Full Product was removed from your computer.");
    EXPECT_EQ(again.waitForExit(bound(30000)), 0);
    EXPECT_TRUE(test_windows::waitFor([&] { return !exists(dest() + "HalvUninstaller.exe"); }, bound(15000)));
    EXPECT_EQ(test_files::listTree(destination), (std::vector<std::string>{"docs\\", "docs\\guide\\", "docs\\guide\\notes.txt"}));
    EXPECT_FALSE(keyExists(kUninstallKey[kFull]));
}

TEST_F(Scenario, ExitOnTheFirstStepAndASecondInstanceEndsAtOnce) {
    Installer first(installer("full.exe"));
    ASSERT_TRUE(first.waitForWindow());
    Installer second(installer("plain.exe"));
    EXPECT_EQ(second.waitForExit(10000), 0);
    EXPECT_TRUE(IsWindowVisible(first.window()));
    first.click(first.leftButton());
    EXPECT_EQ(first.waitForExit(), 0);
    // Without a licence the destination step comes first, and Exit ends it too.
    Installer plain(installer("plain.exe"));
    ASSERT_TRUE(plain.waitForWindow());
    EXPECT_EQ(plain.text(plain.leftButton()) + "|" + plain.text(plain.rightButton()), "Exit|Install");
    plain.click(plain.leftButton());
    EXPECT_EQ(plain.waitForExit(), 0);
    EXPECT_FALSE(keyExists(kUninstallKey[kFull]) || keyExists(kUninstallKey[kPlain]));
}

TEST_F(Scenario, AnExistingDestinationIsAskedAboutAndAnsweringNoChangesNothing) {
    CreateDirectoryA(destination.c_str(), nullptr);
    Installer run(installer("plain.exe"));
    startInstalling(run, false);
    Dialog box = run.waitForMessageBox();
    EXPECT_EQ(box.text + "|" + box.caption, "The specified destination folder already exists.\nDo you still want to install "
                                            "to this folder?|Halvorsine Install System");
    run.answer(box, IDNO);
    EXPECT_EQ(run.text(run.rightButton()), "Install");
    EXPECT_TRUE(test_files::listTree(destination).empty());
    EXPECT_FALSE(keyExists(kUninstallKey[kPlain]));
    run.click(run.rightButton());
    run.answer(run.waitForMessageBox(), IDYES);
    finishWithoutOptions(run);
    expectInstalled("plain");
}

TEST_F(Scenario, ADestinationWithoutRoomOrThatCannotBeMadeIsRefused) {
    ULARGE_INTEGER available, total, free;
    const bool smallDrive = GetDiskFreeSpaceExA("S:\\", &available, &total, &free) && total.QuadPart <= (4u << 20);
    test_files::writeFile("C:\\e2e\\blocker", "b");
    const struct { const char* installer; std::string folder; const char* message; } cases[] = {
        {"big.exe", "S:\\space\\", "There is insufficient space to install Big Product on the selected drive.\nPlease "
         "free up some space on the selected drive and press Refresh, or choose another drive."},
        {"plain.exe", "C:\\e2e\\blocker\\inside\\",
         "The specified destination folder could not be created.\nPlease choose a different destination folder."}};
    for (const auto& c : cases) {
        if (c.folder[0] == 'S' && !smallDrive) continue;  // the fixture mounts a 1 MiB drive S: where it may
        Installer run(installer(c.installer));
        ASSERT_TRUE(run.waitForWindow());
        run.typeDestination(c.folder);
        run.click(run.rightButton());
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, c.message);
        run.answer(box, IDOK);
        EXPECT_EQ(run.text(run.rightButton()), "Install");
        if (c.folder[0] == 'S') {
            EXPECT_EQ(run.text(run.control("Static", 196, 166)), "There is insufficient space to install.");
        }
        EXPECT_FALSE(exists("S:\\space") || exists("C:\\e2e\\blocker\\inside")) << "what was made for it is gone";
        run.click(run.leftButton());
        EXPECT_EQ(run.waitForExit(), 0);
    }
    DeleteFileA("C:\\e2e\\blocker");
    EXPECT_FALSE(keyExists(kUninstallKey[kBig]) || keyExists(kUninstallKey[kPlain]));
}

// The question holds the worker: answered No, the extraction goes on; answered
// Yes, the removal takes away what this run made, and a close is ignored meanwhile.
TEST_F(Scenario, CancelDuringExtractionAnsweredNoGoesOnAndYesRemovesWhatItMade) {
    CreateDirectoryA(destination.c_str(), nullptr);
    test_files::writeFile(dest() + "mine.txt", "mine");
    Installer run(installer("big.exe"));
    startInstalling(run, false);
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    run.click(run.leftButton());
    Dialog question = run.waitForMessageBox();
    EXPECT_EQ(question.text, kCancelText);
    const std::string status = run.text(run.control("Static", 196, 93));
    run.answer(question, IDNO);
    EXPECT_TRUE(test_windows::waitFor([&] { return run.text(run.control("Static", 196, 93)) != status; }, bound(30000)));
    run.click(run.leftButton());
    run.answer(run.waitForMessageBox(), IDYES);
    PostMessageA(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Dialog done = run.waitForMessageBox(60000);
    EXPECT_EQ(run.text(run.control("Static", 196, 169)), "Removing Setup Files...");
    EXPECT_EQ(done.text, "Setup files have been removed. Setup will now exit.");
    run.answer(done, IDOK);
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_EQ(test_files::listTree(destination), std::vector<std::string>{"mine.txt"});
    EXPECT_FALSE(keyExists(kUninstallKey[kBig]));
}

// Cancel on the completion step, and the window's close command while the
// files are written, each confirmed: everything this run made goes.
TEST_F(Scenario, CancelOnCompletionAndCloseDuringExtractionRemoveTheInstallation) {
    for (const char* name : {"plain.exe", "big.exe"}) {
        Installer run(installer(name));
        startInstalling(run, false);
        if (name[0] == 'p') {
            ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
            EXPECT_EQ(run.text(run.leftButton()), "Cancel");
            run.click(run.leftButton());
        } else {
            PostMessageA(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        Dialog question = run.waitForMessageBox();
        EXPECT_EQ(question.text, kCancelText);
        run.answer(question, IDYES);
        expectRemoved(run, false);
        EXPECT_FALSE(exists(destination)) << name;
        EXPECT_FALSE(keyExists(kUninstallKey[kPlain]) || keyExists(kUninstallKey[kBig]));
    }
}

// Wine reports another system version to a program of this name only.
TEST_F(Scenario, AnotherSystemIsAskedAboutFirst) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\newer-system.exe", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)"win7", 5);
    RegCloseKey(key);
    for (int answer : {IDNO, IDYES}) {
        Installer run(installer("newer-system.exe"));
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, "This software was intended to run on Windows 2000 or Windows XP. However, you can still "
                            "choose to install the software, but it may not function as intended.\n\nDo you wish to continue?");
        run.answer(box, answer);
        if (answer == IDYES) {
            ASSERT_TRUE(run.waitForWindow());
            run.click(run.leftButton());
        }
        EXPECT_EQ(run.waitForExit(), 0);
    }
}

}  // namespace
