// What halvbuild asks of the system it runs on: the command line as UTF-8,
// the folder of the running program, files opened by UTF-8 path, whether a
// stream is a console, text output to a console, and an output file that
// nobody sees before it is complete.
//
// Everywhere else halvbuild keeps paths as UTF-8 strings and makes
// std::filesystem paths from them with u8path. On Windows these functions are
// where UTF-8 meets the wide-character API, so no path or argument passes
// through the system's 8-bit code page. platform_posix.cpp and
// platform_windows.cpp implement this header; no other file of halvbuild
// includes a platform header (unistd.h, windows.h).
//
// Threads: the main thread, except PendingOutput, which belongs to the thread
// that writes it. Memory: FILE pointers returned belong to the caller
// (fclose), except PendingOutput::file.
#pragma once

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

// The program's arguments as UTF-8, argv[0] first. On Windows they are read
// again from the system as UTF-16 (argv holds code-page text there);
// elsewhere they are argv as given.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// The folder that holds the running program, from the system
// (GetModuleFileNameW, /proc/self/exe); the folder of argv0 when the system
// cannot say.
std::string runningProgramFolder(const char* argv0);

// fopen for a UTF-8 path. Returns nullptr as fopen does.
FILE* openFile(const std::string& path, const char* mode);

// True when file is an interactive console or terminal; false for a file, a
// pipe or the null device.
bool isConsole(FILE* file);

// printf to out, the text being UTF-8. A Windows console is given it as
// UTF-16 (WriteConsoleW), so it shows right whatever the console's code page;
// files and pipes get the UTF-8 bytes on every system.
void printText(FILE* out, const char* format, ...);

// The file being written in place of path. It lies beside path (same folder,
// so the final move is one rename) and is removed however the program ends
// before commit:
// - Linux: an unnamed file (O_TMPFILE), which the system drops when the
//   process ends in any way, SIGKILL included. Where the file system cannot
//   make one, a hidden named file that handlers of SIGINT, SIGTERM and SIGHUP
//   remove; only SIGKILL can leave that one behind.
// - Windows: a named file marked for deletion while it is open, so that the
//   system removes it when its handle closes: Ctrl+C, Ctrl+Break, closing the
//   console and TerminateProcess included.
// An exception or destruction without commit removes it too.
class PendingOutput {
public:
    // Throws BuildError naming path when the file cannot be made.
    explicit PendingOutput(const std::string& path);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Where to write; owned by this object.
    FILE* file() const;

    // Flushes and closes the file and moves it to path in one step,
    // replacing an older file of that name, which stays as it was when the
    // move fails. Throws BuildError naming path on failure (the pending file
    // is removed).
    void commit();

    struct State;

private:
    std::unique_ptr<State> state_;
};
