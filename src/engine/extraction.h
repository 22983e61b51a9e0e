// The extraction worker: installs the package's files into the destination,
// then loads the shortcut list, program group and closing strings.
//
// Threads: startExtraction, pauseWorker and resumeWorker run on the main
// thread; extractionWorker runs on the thread that startExtraction creates;
// reportProgress runs on the worker or the rollback thread. Only one worker
// runs per process. The worker reports to the main window only by posting the
// messages of setup_messages.h, and sets the texts of controls 11 and 12 and
// the position of control 13 through the control table. Nothing allocated
// here is freed before the process ends.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <windows.h>

// Creates the package's directories under destinationPath and starts
// extractionWorker; workerRunning is 1 from before the thread exists until
// the worker ends. Returns 1 when the worker was started; 0 when the
// installer file cannot be opened or the thread cannot be made, after posting
// WM_SETUP_FAILED (wParam 1) so that the main window reports it and removes
// what was written.
int startExtraction();

// The worker's thread routine (parameter unused). Posts exactly one of
// WM_SETUP_EXTRACTED (all done, not cancelled), WM_SETUP_FAILED wParam 0 (a
// cancel was noticed) or WM_SETUP_FAILED wParam 1 (the installer file, a
// record, a path or a stream could not be used, or a file could not be
// written) before it ends. Returns 0.
DWORD WINAPI extractionWorker(LPVOID unused);

// The progress callback of the expansion and the rollback: moves control 13
// to done / total percent (truncated, at most 100) when the percentage
// changed. While the worker is paused it waits here. Returns 1 to go on, 0
// once requestStop was called.
int reportProgress(int32_t done, int32_t total);

// Holds the worker at its next progress report or file boundary until
// resumeWorker, so that the main thread can ask its cancel question without
// stopping the worker inside a system or library lock. The main thread calls
// the pair around the question while it holds lockState. Return 1.
int pauseWorker();
int resumeWorker();

// Opens the installer file (modulePath) for reading at the first file record,
// reading through buffer (size bytes) when one is given. Returns the file, or
// null when it cannot be opened or positioned. The caller closes it.
FILE* openFileTable(char* buffer, size_t size);
