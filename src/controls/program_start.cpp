// The entry point of the shipped 32-bit programs, in place of the C
// runtime's start-up code: the programs need none of what that code adds
// (arguments split into argv, an environment copy, thread-local storage, a
// handler for floating-point signals, relocations of imported data), and it
// costs every installer several kilobytes. msvcrt.dll initialises itself
// when it is loaded, whoever starts the program.
#include <windows.h>

#include <stdlib.h>

extern "C" __attribute__((used)) void WINAPI programStart() {
    // The x87 unit as the C runtime's start-up leaves it (fninit: 64-bit
    // precision, every exception masked), so that the programs compute as the
    // tests that start through that code do.
    __asm__ __volatile__("fninit");
    // The command line after the program's name, as WinMain receives it: the
    // name ends at the first blank outside quotation marks.
    const unsigned char* line = (const unsigned char*)GetCommandLineA();
    int quoted = 0;
    while (*line > ' ' || (*line && quoted)) {
        if (*line == '"') quoted = !quoted;
        ++line;
    }
    while (*line && *line <= ' ') ++line;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    // exit, not ExitProcess: the C library's streams are flushed first.
    exit(WinMain(GetModuleHandleA(nullptr), nullptr, (LPSTR)line, show));
}
