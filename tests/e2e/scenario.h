// The fixture of the scenarios that drive an installer: a fresh destination
// under C:\e2e for each, the uninstall keys, shortcuts and group of the test
// products removed before and after, and the walk through the wizard's steps.
#pragma once

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"

namespace e2e {

inline const char fullKey[] = "E2E Tests Full Product 1.0";
inline const char bigKey[] = "E2E Tests Big Product 2.0";
inline const char plainKey[] = "E2E Tests Plain Product 3.0";
inline const char crowdKey[] = "E2E Tests Crowded Product 1.0";
inline const char fiftyKey[] = "E2E Tests Fifty Files 5.0";

inline std::string installer(const char* name) { return installersFolder() + "\\" + name; }

inline const char fatalText[] =
    "While attempting to install one or more files, a fatal error occured.\nSetup will now remove any installed "
    "files and exit.";
inline const char removedText[] = "Setup files have been removed. Setup will now exit.";

// Every entry below folder with the bytes of each file: what "the folder as it
// was" means.
using TreeSnapshot = std::vector<std::pair<std::string, std::vector<unsigned char>>>;
inline TreeSnapshot snapshotTree(const std::string& folder) {
    TreeSnapshot snapshot;
    for (const std::string& entry : listTree(folder))
        snapshot.emplace_back(entry, entry.back() == '\\' ? std::vector<unsigned char>()
                                                           : readFile(folder + "\\" + entry));
    return snapshot;
}

// The removal's closing message, answered, and a clean exit.
inline void expectRemovedAndExit(Installer& run) {
    Dialog done = run.waitForMessageBox();
    EXPECT_EQ(done.text, removedText);
    run.answer(done, IDOK);
    EXPECT_EQ(run.waitForExit(), 0);
}

// The fatal-error message, then the removal's, each answered; a clean exit.
inline void expectFatalAndRemoved(Installer& run) {
    Dialog fatal = run.waitForMessageBox();
    EXPECT_EQ(fatal.text, fatalText);
    run.answer(fatal, IDOK);
    expectRemovedAndExit(run);
}

// A fresh destination under C:\e2e, removed again when the scenario ends.
class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA("C:\\e2e", nullptr);
        destination_ = std::string("C:\\e2e\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        removeTree(destination_);
        for (const char* key : keys) deleteUninstallKey(key);
    }
    void TearDown() override {
        removeTree(destination_);
        for (const char* key : keys) deleteUninstallKey(key);
        removeTree(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product");
        DeleteFileA((specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk").c_str());
    }
    std::string dest() const { return destination_ + "\\"; }
    std::string shot(const char* step) const {
        return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" + step;
    }

    // From the licence step (or the destination step without a licence) to
    // the installing step with the scenario's destination.
    void startInstalling(Installer& run, bool licence = true) {
        ASSERT_TRUE(run.waitForWindow());
        if (licence) {
            run.click(run.rightButton());
            ASSERT_EQ(run.text(run.rightButton()), "Install");
        }
        run.typeDestination(dest());
        run.click(run.rightButton());
    }

    // Unchecks every option, presses Finish and expects a clean exit.
    void finishWithoutOptions(Installer& run) {
        ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
        run.click(run.rightButton());
        for (int i = 0; i < 5; ++i)
            if (HWND box = run.optionBox(i); box && IsWindowVisible(box)) sendBounded(box, BM_CLICK, 0, 0);
        run.click(run.rightButton());
        EXPECT_EQ(run.waitForExit(), 0);
    }

    void expectSameTree(const std::string& product) {
        const std::string source = productsFolder() + "\\" + product;
        std::vector<std::string> installed = listTree(destination_);
        installed.erase(std::remove(installed.begin(), installed.end(), "HalvUninstaller.exe"), installed.end());
        EXPECT_EQ(installed, listTree(source));
        for (const std::string& file : listTree(source)) {
            if (file.back() == '\\') continue;
            EXPECT_EQ(readFile(destination_ + "\\" + file), readFile(source + "\\" + file)) << file;
        }
    }

    static constexpr const char* keys[] = {fullKey, bigKey, plainKey, crowdKey, fiftyKey};
    std::string destination_;
};

}  // namespace e2e
