// Faults during a real installation under Wine: a file held open by another
// program behind thousands of files, a drive that fills up part way, a read-only folder, and cancels
// confirmed at random moments. Each ends with the installer's own messages,
// and the destination holds exactly what it held before, with no uninstall
// entry left behind.
#include <cstdlib>
#include <random>

#include "driver.h"

using namespace e2e;
using test_files::listTree;

namespace {

// Every entry below folder with the bytes of each file.
std::vector<std::pair<std::string, std::vector<uint8_t>>> snapshot(const std::string& folder) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    for (const std::string& entry : listTree(folder)) entries.push_back({entry, test_files::readFile(folder + "\\" + entry)});
    return entries;
}

// A file held open without sharing, as another program would (not even an
// administrator can replace it), behind 3000 others: all of them go again,
// and while they do, neither button may ask the cancel question (a second
// Yes would start a second removal beside the first).
TEST_F(Scenario, AFileHeldOpenByAnotherProgramRollsBackAndTheRemovalCannotBeCancelled) {
    CreateDirectoryA(destination.c_str(), nullptr);
    HANDLE file = CreateFileA((dest() + "last.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "mine", 4, &written, nullptr);
    Installer run(installer("thousands.exe"));
    startInstalling(run, false);
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    expectRemoved(run, true, [&] { EXPECT_FALSE(IsWindowEnabled(run.leftButton()) || IsWindowEnabled(run.rightButton())); });
    CloseHandle(file);
    EXPECT_EQ(snapshot(destination), (decltype(snapshot("")){{"last.dat", {'m', 'i', 'n', 'e'}}}));
    EXPECT_FALSE(test_windows::keyExists(kUninstallKey[kThousands]));
}

// The drive keeps the room the package asks for and one page more, so the
// space check passes; but each of its 150 small files takes a whole page.
TEST_F(Scenario, ADriveThatFillsUpPartWayRollsBack) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA("S:\\", &available, &total, &free) || total.QuadPart > (4u << 20))
        GTEST_SKIP() << "no small drive S: on this machine";
    const std::vector<uint8_t> text = test_files::readFile(installer("crowd.required"));
    const uint64_t required = std::strtoull(std::string(text.begin(), text.end()).c_str(), nullptr, 10);
    ASSERT_GT(available.QuadPart, required + 4096);
    test_files::writeFile("S:\\filler.bin", std::vector<uint8_t>((available.QuadPart - required - 4096) / 4096 * 4096));
    destination = "S:\\crowd";
    Installer run(installer("crowd.exe"));
    startInstalling(run, false);
    expectRemoved(run, true);
    EXPECT_EQ(listTree("S:\\"), std::vector<std::string>{"filler.bin"});
    DeleteFileA("S:\\filler.bin");
    EXPECT_FALSE(test_windows::keyExists(kUninstallKey[kCrowd]));
}

TEST_F(Scenario, AReadOnlyFolderRollsBack) {
    if (!test_files::exists("R:\\Existing")) GTEST_SKIP() << "no read-only drive R: on this machine";
    const auto before = snapshot("R:\\");
    Installer run(installer("plain.exe"));
    ASSERT_TRUE(run.waitForWindow());
    run.typeDestination("R:\\Existing\\");
    run.click(run.rightButton());
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    expectRemoved(run, true);
    EXPECT_EQ(snapshot("R:\\"), before);
    EXPECT_FALSE(test_windows::keyExists(kUninstallKey[kPlain]));
}

// A hundred installations of 50 files into a folder that holds the user's
// files, a folder of the package's name and an empty folder, each cancelled
// at a random moment up to a little past the end of the extraction and
// confirmed after a random pause. HALV_E2E_SEED repeats a run.
TEST_F(Scenario, CancelAtAHundredRandomMomentsLeavesTheFolderAsItWas) {
    for (const char* folder : {"", "\\data", "\\empty"}) CreateDirectoryA((destination + folder).c_str(), nullptr);
    for (const char* name : {"mine.txt", "data\\notes.txt"}) test_files::writeFile(dest() + name, name);
    const auto before = snapshot(destination);
    auto cancelAfter = [&](int cancelMs, int confirmMs) {
        Installer run(installer("fifty.exe"));
        startInstalling(run, false);
        run.answer(run.waitForMessageBox(), IDYES);
        const DWORD start = GetTickCount();
        if (cancelMs < 0) {
            EXPECT_TRUE(run.waitForButton(run.rightButton(), "Next"));
        }
        test_windows::pause(std::max(cancelMs, 0));
        const int elapsed = (int)(GetTickCount() - start);
        run.click(run.leftButton());
        Dialog question = run.waitForMessageBox();
        EXPECT_EQ(question.text, kCancelText);
        test_windows::pause(confirmMs);
        run.answer(question, IDYES);
        expectRemoved(run, false);
        EXPECT_EQ(snapshot(destination), before);
        EXPECT_FALSE(test_windows::keyExists(kUninstallKey[kFifty]));
        return elapsed;
    };
    const int extraction = cancelAfter(-1, 0);  // one run to the end measures the extraction
    const char* seedText = std::getenv("HALV_E2E_SEED");
    const unsigned seed = seedText ? (unsigned)std::strtoul(seedText, nullptr, 10) : std::random_device()();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> cancelMs(0, extraction * 5 / 4), confirmMs(0, 250);
    for (int i = 0; i < 100 && !HasFailure(); ++i) {
        const int cancel = cancelMs(random), confirm = confirmMs(random);
        SCOPED_TRACE("HALV_E2E_SEED=" + std::to_string(seed) + ", run " + std::to_string(i) + ": cancel after " +
                     std::to_string(cancel) + " ms of " + std::to_string(extraction) + ", confirm after " +
                     std::to_string(confirm) + " ms");
        cancelAfter(cancel, confirm);
    }
}

}  // namespace
