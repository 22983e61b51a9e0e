// Faults during a real installation under Wine: a file held open by another
// program, a drive that fills up part way, a read-only folder, and cancels
// confirmed at random moments. Each ends with the installer's own messages,
// and the destination holds exactly what it held before, with no uninstall
// entry left behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "scenario.h"

using namespace e2e;

namespace {

// Writes size bytes of zeros (real data: a memory file system keeps no holes).
bool writeFiller(const std::string& path, uint64_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    static const std::vector<char> zeros(65536);
    bool written = true;
    while (written && size > 0) {
        DWORD chunk = (DWORD)std::min<uint64_t>(size, zeros.size()), done = 0;
        written = WriteFile(file, zeros.data(), chunk, &done, nullptr) && done == chunk;
        size -= chunk;
    }
    CloseHandle(file);
    return written;
}

class FileDeleter {
public:
    explicit FileDeleter(std::string path) : path_(std::move(path)) {}
    ~FileDeleter() { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

TEST_F(Scenario, FileHeldOpenByAnotherProgramRollsBack) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    // Held open without sharing, as another program would: even an
    // administrator cannot replace it while it is open.
    const std::string locked = dest() + "readme.txt";
    HANDLE file = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "mine", 4, &written, nullptr);
    Installer run(installer("plain.exe"));
    startInstalling(run, false);
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    expectFatalAndRemoved(run);
    CloseHandle(file);
    EXPECT_EQ(snapshotTree(destination_), (TreeSnapshot{{"readme.txt", {'m', 'i', 'n', 'e'}}}));
    EXPECT_FALSE(uninstallKeyExists(plainKey));
}

TEST_F(Scenario, DriveThatFillsUpPartWayRollsBack) {
    // The fixture maps a 1 MiB memory file system as drive S: where it may mount one.
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA("S:\\", &available, &total, &free) || total.QuadPart > (4u << 20))
        GTEST_SKIP() << "no small drive S: on this machine";
    // The drive keeps the room the package asks for and one page more, so the
    // space check passes; but each of its 150 small files takes a whole page,
    // and the drive is full long before the last.
    const std::vector<unsigned char> text = readFile(installersFolder() + "\\crowd.required");
    const uint64_t required = std::strtoull(std::string(text.begin(), text.end()).c_str(), nullptr, 10);
    ASSERT_GT(required, 150000u);
    ASSERT_GT(available.QuadPart, required + 4096);
    const std::string filler = "S:\\filler.bin";
    FileDeleter removeFiller(filler);
    ASSERT_TRUE(writeFiller(filler, (available.QuadPart - required - 4096) / 4096 * 4096));
    ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &available, &total, &free));
    ASSERT_GE(available.QuadPart, required);

    destination_ = "S:\\crowd";
    removeTree(destination_);
    Installer run(installer("crowd.exe"));
    startInstalling(run, false);
    expectFatalAndRemoved(run);
    EXPECT_EQ(listTree("S:\\"), std::vector<std::string>{"filler.bin"});
    EXPECT_FALSE(uninstallKeyExists(crowdKey));
}

TEST_F(Scenario, ReadOnlyFolderRollsBack) {
    // The fixture maps a read-only memory file system holding Existing as R:.
    if (!folderExists("R:\\Existing")) GTEST_SKIP() << "no read-only drive R: on this machine";
    const TreeSnapshot before = snapshotTree("R:\\");
    Installer run(installer("plain.exe"));
    ASSERT_TRUE(run.waitForWindow());
    run.typeDestination("R:\\Existing\\");
    run.click(run.rightButton());
    run.answer(run.waitForMessageBox(), IDYES);  // install into the existing folder
    expectFatalAndRemoved(run);
    EXPECT_EQ(snapshotTree("R:\\"), before);
    EXPECT_FALSE(uninstallKeyExists(plainKey));
}

// A hundred installations of 50 files into a folder that already holds the
// user's files, a folder of the package's name and an empty folder, each
// cancelled at a random moment between the start and a little past the end
// of the extraction, and confirmed after a random pause. HALV_E2E_SEED
// repeats a run; a failure names its seed and run.
TEST_F(Scenario, CancelAtAHundredRandomMomentsLeavesTheFolderAsItWas) {
    CreateDirectoryA(destination_.c_str(), nullptr);
    CreateDirectoryA((dest() + "data").c_str(), nullptr);
    CreateDirectoryA((dest() + "empty").c_str(), nullptr);
    for (const char* name : {"mine.txt", "data\\notes.txt"}) {
        HANDLE file = CreateFileA((dest() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, name, (DWORD)strlen(name), &written, nullptr);
        CloseHandle(file);
    }
    const TreeSnapshot before = snapshotTree(destination_);
    ASSERT_EQ(before.size(), 4u);

    // One installation to its end measures how long the extraction takes.
    int extraction = 0;
    {
        Installer run(installer("fifty.exe"));
        startInstalling(run, false);
        run.answer(run.waitForMessageBox(), IDYES);
        const DWORD start = GetTickCount();
        ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
        extraction = (int)(GetTickCount() - start);
        run.click(run.leftButton());
        run.answer(run.waitForMessageBox(), IDYES);
        expectRemovedAndExit(run);
        ASSERT_EQ(snapshotTree(destination_), before);
    }
    RecordProperty("extraction_ms", extraction);

    const char* seedText = std::getenv("HALV_E2E_SEED");
    const unsigned seed = seedText ? (unsigned)std::strtoul(seedText, nullptr, 10) : std::random_device()();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> cancelAfter(0, extraction * 5 / 4), confirmAfter(0, 250);
    for (int i = 0; i < 100; ++i) {
        const int cancelMs = cancelAfter(random), confirmMs = confirmAfter(random);
        SCOPED_TRACE("HALV_E2E_SEED=" + std::to_string(seed) + ", run " + std::to_string(i) + ": cancel after " +
                     std::to_string(cancelMs) + " ms of " + std::to_string(extraction) + ", confirm after " +
                     std::to_string(confirmMs) + " ms");
        Installer run(installer("fifty.exe"));
        startInstalling(run, false);
        run.answer(run.waitForMessageBox(), IDYES);
        pause(cancelMs);
        run.click(run.leftButton());
        Dialog question = run.waitForMessageBox();
        ASSERT_EQ(question.text, "Are you sure you want to cancel setup?");
        pause(confirmMs);
        run.answer(question, IDYES);
        expectRemovedAndExit(run);
        ASSERT_EQ(snapshotTree(destination_), before);
        ASSERT_FALSE(uninstallKeyExists(fiftyKey));
        if (HasFailure()) break;
    }
}

}  // namespace
