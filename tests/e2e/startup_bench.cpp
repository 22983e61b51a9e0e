// Measures the time from starting an installer to its first painted window
// (the integrity check reads the whole file first), and the time of a whole
// installation with every option off, driven like a user would.
//   startup_bench.exe INSTALLER DESTINATION
// Not a test: scripts/bench runs it and reports the figures.
#include <cstdio>
#include <string>

#include "driver.h"

using namespace e2e;

int main(int argumentCount, char** arguments) {
    if (argumentCount != 3) {
        std::fprintf(stderr, "usage: startup_bench INSTALLER DESTINATION\n");
        return 2;
    }
    removeTree(arguments[2]);
    LARGE_INTEGER frequency, start, shown, done;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Installer run(arguments[1]);
    if (!run.waitForWindow(120000)) return 1;
    QueryPerformanceCounter(&shown);
    if (run.text(run.rightButton()) == "I Agree") run.click(run.rightButton());
    run.typeDestination(std::string(arguments[2]) + "\\");
    run.click(run.rightButton());
    if (!run.waitForButton(run.rightButton(), "Next", 600000)) return 1;
    QueryPerformanceCounter(&done);
    run.click(run.rightButton());
    for (int i = 0; i < 5; ++i)
        if (HWND box = run.optionBox(i); box && IsWindowVisible(box)) SendMessageA(box, BM_CLICK, 0, 0);
    run.click(run.rightButton());
    run.waitForExit();
    auto ms = [&](const LARGE_INTEGER& to, const LARGE_INTEGER& from) {
        return 1000.0 * (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
    };
    std::printf("first window: %.0f ms\ninstallation (Install pressed to Next enabled): %.0f ms\n",
                ms(shown, start), ms(done, shown));
    return 0;
}
