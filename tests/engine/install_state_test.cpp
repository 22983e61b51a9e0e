#include "engine/install_state.h"

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <thread>

namespace {

class InstallStateTest : public ::testing::Test {
protected:
    void SetUp() override { resetInstallState(); }
};

TEST_F(InstallStateTest, StepsStayWithinTheWizardAndAnEmptyLicenceIsNull) {
    previousStep();
    EXPECT_EQ(installState.currentStep, 0);
    for (int i = 0; i < 7; ++i) nextStep();
    EXPECT_EQ(installState.currentStep, 5);
    previousStep();
    EXPECT_EQ(installState.currentStep, 4);

    char* text = reinterpret_cast<char*>(1);
    getLicenceText(&text);
    EXPECT_EQ(text, nullptr);
    strcpy(installState.header.licenceText, "Terms\r\n");
    getLicenceText(&text);
    EXPECT_EQ(text, installState.header.licenceText);
}

TEST_F(InstallStateTest, CopyGettersAndPresenceTests) {
    char buffer[260];
    EXPECT_EQ(hasStateText(TEXT_HELP_FILE), 0);
    strcpy(installState.lists.helpFile, "\\docs\\help.txt");
    EXPECT_EQ(hasStateText(TEXT_HELP_FILE), 1);
    ASSERT_EQ(copyStateText(TEXT_HELP_FILE, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "\\docs\\help.txt");
    // A buffer too small gets an empty string, never a cut or overrun copy.
    char small[4];
    EXPECT_EQ(copyStateText(TEXT_HELP_FILE, small, sizeof small), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(hasShortcuts(), 0);
    ShortcutRecord record{};
    listAppend(&installState.lists.shortcutsHead, &installState.lists.shortcutsTail, &record.link);
    EXPECT_EQ(hasShortcuts(), 1);
    EXPECT_EQ(getShortcuts(), &record.link);
}

TEST_F(InstallStateTest, RequestStopClearsTheFlagSeenByOtherThreads) {
    storeKeepExtracting(1);
    std::atomic<bool> sawStop{false};
    std::thread worker([&] {
        while (loadKeepExtracting()) std::this_thread::yield();
        sawStop = true;
    });
    EXPECT_EQ(requestStop(), 1);
    worker.join();
    EXPECT_TRUE(sawStop);
}

TEST_F(InstallStateTest, LockSerialisesTheWorkerFlags) {
    ASSERT_EQ(createStateMutex(), 1);
    const int rounds = 20000;
    auto bump = [&] {
        for (int i = 0; i < rounds; ++i) {
            lockState();
            uint32_t seen = installState.currentFileNumber;
            installState.currentFileNumber = seen + 1;
            unlockState();
        }
    };
    std::thread first(bump), second(bump);
    first.join();
    second.join();
    EXPECT_EQ(installState.currentFileNumber, 2u * rounds);
}

}  // namespace
