// The uninstaller end to end under Wine: a real installation made by the
// installer (driven as a user would), then the uninstaller started through
// the uninstall entry's "UninstallString" as the system's list of installed
// programs starts it, its question answered, and the machine compared with
// what it was before.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "driver.h"

using namespace e2e;

namespace {

const char fullKey[] = "E2E Tests Full Product 1.0";
const char question[] = "Remove Full Product and all of its components?";
const char removedText[] = "Full Product was removed from your computer.";
const char damagedText[] = "The uninstaller is damaged and cannot be used. Nothing was changed.";

// The exit codes of HalvUninstaller.exe.
enum { kRemoved = 0, kDeclined = 1, kDamaged = 2, kSomethingStayed = 3 };

struct ProcessSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findMessageBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<ProcessSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && IsWindowVisible(window) && lstrcmpA(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string textOf(HWND window) {
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// One run of a command line, as the system's list of installed programs
// starts the entry's "UninstallString". Ends the process if a test stops early.
class CommandRun {
public:
    explicit CommandRun(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
            CloseHandle(info_.hThread);
        else
            info_.hProcess = nullptr;
    }
    ~CommandRun() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
    }
    bool started() const { return info_.hProcess != nullptr; }
    // The message box's text once one shows, or "" after the timeout.
    std::string waitForMessage(int timeoutMs = 20000) {
        ProcessSearch search{info_.dwProcessId, nullptr};
        for (int waited = 0; !search.found && waited < timeoutMs; waited += 50) {
            pause(50);
            EnumWindows(findMessageBox, reinterpret_cast<LPARAM>(&search));
        }
        box_ = search.found;
        if (box_) pause(50);
        return box_ ? textOf(GetDlgItem(box_, 0xFFFF)) : std::string();
    }
    void answer(int buttonId) {
        if (HWND button = box_ ? GetDlgItem(box_, buttonId) : nullptr) PostMessageA(button, BM_CLICK, 0, 0);
        for (int waited = 0; box_ && IsWindow(box_) && waited < 5000; waited += 20) pause(20);
    }
    int waitForExit(int timeoutMs = 30000) {
        if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return (int)code;
    }

private:
    PROCESS_INFORMATION info_{};
    HWND box_ = nullptr;
};

bool waitUntilGone(const std::string& path, int timeoutMs = 15000) {
    for (int waited = 0; GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; waited += 100) {
        if (waited >= timeoutMs) return false;
        pause(100);
    }
    return true;
}

// The uninstaller's trailer ends with the list's mark and the checksum.
bool carriesUninstallList(const std::string& uninstaller) {
    const std::vector<unsigned char> bytes = readFile(uninstaller);
    return bytes.size() >= 16 && std::string(bytes.end() - 8, bytes.end() - 4) == "HUD1";
}

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA("C:\\e2e", nullptr);
        destination_ = std::string("C:\\e2e\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        cleanUp();
    }
    void TearDown() override { cleanUp(); }
    void cleanUp() {
        removeTree(destination_);
        deleteUninstallKey(fullKey);
        removeTree(group());
        DeleteFileA(desktopLink().c_str());
    }
    std::string dest() const { return destination_ + "\\"; }
    std::string uninstaller() const { return dest() + "HalvUninstaller.exe"; }
    static std::string group() { return specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product"; }
    static std::string desktopLink() { return specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk"; }

    // Installs full.exe with its desktop shortcut and program group, leaving
    // out the actions that would add files of their own (program, help file).
    void install() {
        Installer run(installersFolder() + "\\full.exe");
        ASSERT_TRUE(run.waitForWindow());
        run.click(run.rightButton());
        run.typeDestination(dest());
        run.click(run.rightButton());
        ASSERT_TRUE(run.waitEnabled(run.rightButton()));
        run.click(run.rightButton());
        for (int i = 2; i < 5; ++i)
            if (HWND box = run.optionBox(i); box && sendBounded(box, BM_GETCHECK, 0, 0) == BST_CHECKED)
                sendBounded(box, BM_CLICK, 0, 0);
        run.click(run.rightButton());
        ASSERT_EQ(run.waitForExit(), 0);
        ASSERT_TRUE(fileExists(uninstaller()));
        ASSERT_TRUE(fileExists(desktopLink()));
        ASSERT_TRUE(fileExists(group() + "\\Uninstall.lnk"));
        ASSERT_TRUE(uninstallKeyExists(fullKey));
        if (!carriesUninstallList(uninstaller()))
            GTEST_SKIP() << "the installed uninstaller carries no uninstall list: halvbuild does not hand it over yet";
    }

    bool installed() {
        install();
        return !HasFatalFailure() && !IsSkipped();
    }

    void expectNothingLeft() {
        EXPECT_TRUE(waitUntilGone(destination_)) << "left: " << ::testing::PrintToString(listTree(destination_));
        EXPECT_FALSE(fileExists(desktopLink()));
        EXPECT_FALSE(folderExists(group()));
        EXPECT_FALSE(uninstallKeyExists(fullKey));
    }

    // Runs the uninstaller by commandLine, answers Yes, and expects a complete removal.
    void removeConfirmed(const std::string& commandLine) {
        CommandRun run(commandLine);
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.waitForMessage(), question);
        run.answer(IDYES);
        EXPECT_EQ(run.waitForMessage(), removedText);
        run.answer(IDOK);
        EXPECT_EQ(run.waitForExit(), kRemoved);
        expectNothingLeft();
    }

    std::string destination_;
};

TEST_F(Uninstall, ThroughTheUninstallEntryRemovesEverything) {
    if (!installed()) return;
    removeConfirmed(uninstallText(fullKey, "UninstallString"));
}

TEST_F(Uninstall, ThroughTheGroupShortcutToo) {
    if (!installed()) return;
    std::string target, folder;
    ASSERT_TRUE(readShortcut(group() + "\\Uninstall.lnk", &target, &folder));
    removeConfirmed("\"" + target + "\"");
}

TEST_F(Uninstall, AnsweringNoChangesNothing) {
    if (!installed()) return;
    const std::vector<std::string> before = listTree(destination_);
    CommandRun run(uninstallText(fullKey, "UninstallString"));
    EXPECT_EQ(run.waitForMessage(), question);
    run.answer(IDNO);
    EXPECT_EQ(run.waitForExit(), kDeclined);
    EXPECT_EQ(listTree(destination_), before);
    EXPECT_TRUE(fileExists(desktopLink()));
    EXPECT_TRUE(fileExists(group() + "\\Documents\\Guide.lnk"));
    EXPECT_TRUE(uninstallKeyExists(fullKey));
}

TEST_F(Uninstall, FileTheUserAddedSurvivesWithItsFolders) {
    if (!installed()) return;
    const std::string mine = dest() + "docs\\guide\\notes.txt";
    HANDLE file = CreateFileA(mine.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    CommandRun run(uninstallText(fullKey, "UninstallString"));
    EXPECT_EQ(run.waitForMessage(), question);
    run.answer(IDYES);
    EXPECT_EQ(run.waitForMessage(), removedText);
    run.answer(IDOK);
    EXPECT_EQ(run.waitForExit(), kRemoved);
    EXPECT_TRUE(waitUntilGone(uninstaller()));
    EXPECT_EQ(listTree(destination_), (std::vector<std::string>{"docs\\", "docs\\guide\\", "docs\\guide\\notes.txt"}));
    EXPECT_FALSE(fileExists(desktopLink()));
    EXPECT_FALSE(folderExists(group()));
    EXPECT_FALSE(uninstallKeyExists(fullKey));
}

TEST_F(Uninstall, LockedAndReadOnlyFilesAreReportedTheRestGoesAndARerunFinishes) {
    if (!installed()) return;
    const std::string readOnly = dest() + "bin\\data.bin";
    const std::string locked = dest() + "readme.txt";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE open = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    {
        CommandRun run(uninstallText(fullKey, "UninstallString"));
        EXPECT_EQ(run.waitForMessage(), question);
        run.answer(IDYES);
        const std::string report = run.waitForMessage();
        EXPECT_NE(report.find("could not be removed"), std::string::npos) << report;
        EXPECT_NE(report.find(readOnly), std::string::npos) << report;
        EXPECT_NE(report.find(locked), std::string::npos) << report;
        run.answer(IDOK);
        EXPECT_EQ(run.waitForExit(), kSomethingStayed);
    }
    CloseHandle(open);
    EXPECT_EQ(listTree(destination_),
              (std::vector<std::string>{"HalvUninstaller.exe", "bin\\", "bin\\data.bin", "readme.txt"}));
    EXPECT_FALSE(fileExists(desktopLink()));
    EXPECT_FALSE(folderExists(group()));
    EXPECT_TRUE(uninstallKeyExists(fullKey));

    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    CommandRun again(uninstallText(fullKey, "UninstallString"));
    EXPECT_EQ(again.waitForMessage(), question);
    again.answer(IDYES);
    EXPECT_EQ(again.waitForMessage(), removedText);
    again.answer(IDOK);
    EXPECT_EQ(again.waitForExit(), kRemoved);
    expectNothingLeft();
}

TEST_F(Uninstall, DamagedUninstallerSaysSoAndChangesNothing) {
    if (!installed()) return;
    std::vector<unsigned char> bytes = readFile(uninstaller());
    bytes[bytes.size() - 40] ^= 0x20;  // inside the uninstall list
    HANDLE file = CreateFileA(uninstaller().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    const std::vector<std::string> before = listTree(destination_);
    CommandRun run(uninstallText(fullKey, "UninstallString"));
    EXPECT_EQ(run.waitForMessage(), damagedText);
    run.answer(IDOK);
    EXPECT_EQ(run.waitForExit(), kDamaged);
    EXPECT_EQ(listTree(destination_), before);
    EXPECT_TRUE(fileExists(desktopLink()));
    EXPECT_TRUE(folderExists(group()));
    EXPECT_TRUE(uninstallKeyExists(fullKey));
}

}  // namespace
