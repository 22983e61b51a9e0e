// HalvUninstaller.exe: removes the installation whose list it carries, from
// the folder it runs in. The system's list of installed programs and the
// group's "Uninstall.lnk" start it without arguments; "/cleanup" is the run of
// its temporary copy (self_removal.h).
//
// Exit codes: 0 everything removed; 1 the user answered No; 2 the uninstaller
// is damaged or unreadable (nothing changed); 3 something stayed (reported);
// 4 another uninstaller of this product runs, the program does not run as
// HalvUninstaller.exe, or no window could be made.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "controls/progress_bar.h"
#include "controls/system_libraries.h"
#include "package/package_format.h"
#include "uninstall_list/uninstall_list.h"
#include "uninstaller/removal.h"
#include "uninstaller/self_removal.h"
#include "util/blocks.h"

namespace {

const char kCaption[] = "Halvorsine Uninstall";
const char kWindowClass[] = "Halvorsine_Uninstall_Wnd";

enum ExitCode { kRemoved = 0, kDeclined = 1, kDamaged = 2, kSomethingStayed = 3, kCannotRun = 4 };
enum UninstallMessage { WM_UNINSTALL_DONE = WM_APP + 1 };
enum Layout { kClientWidth = 380, kClientHeight = 96, kMargin = 14, kLineHeight = 18, kBarHeight = 18 };

// What the worker needs, and the windows it reports to. Lives in WinMain's frame.
struct Job {
    const UninstallList* list;
    RemovalPlaces places;
    RemovalReport report;
    HWND window;
    HWND itemLine;
    HWND bar;
    int lastPercent;
};

void onProgress(void* context, uint32_t done, uint32_t total, const char* path) {
    Job* job = (Job*)context;
    int percent = total ? (int)((uint64_t)done * 100 / total) : 100;
    if (percent != job->lastPercent) {
        PostMessageA(job->bar, PBB_SETPOS, (WPARAM)percent, 0);
        job->lastPercent = percent;
    }
    SendMessageA(job->itemLine, WM_SETTEXT, 0, (LPARAM)path);
}

DWORD WINAPI removalWorker(LPVOID parameter) {
    Job* job = (Job*)parameter;
    removeInstallation(job->list, &job->places, onProgress, job, &job->report);
    PostMessageA(job->window, WM_UNINSTALL_DONE, 0, 0);
    return 0;
}

LRESULT CALLBACK uninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: return 0;  // a removal half done is worse than one finished
        case WM_UNINSTALL_DONE: DestroyWindow(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createChild(HWND parent, const char* className, const char* text, int y, int height) {
    HWND child = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, kMargin, y,
                                 kClientWidth - 2 * kMargin, height, parent, nullptr, GetModuleHandleA(nullptr),
                                 nullptr);
    if (child) SendMessageA(child, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
    return child;
}

int createProgressWindow(HINSTANCE instance, Job* job) {
    WNDCLASSEXA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = uninstallWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass) || !RegisterProgressBoyClass(instance)) return 0;
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    job->window = CreateWindowExA(0, kWindowClass, kCaption, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                  instance, nullptr);
    if (!job->window) return 0;
    char heading[removalPathLimit + 32];
    _snprintf(heading, sizeof heading, "Removing %s...", job->list->productName);
    heading[sizeof heading - 1] = '\0';
    createChild(job->window, "Static", heading, kMargin, kLineHeight);
    job->itemLine = createChild(job->window, "Static", "", kMargin + kLineHeight + 4, kLineHeight);
    job->bar = createChild(job->window, kProgressBoyClassName, "", kClientHeight - kMargin - kBarHeight, kBarHeight);
    if (!job->itemLine || !job->bar) return 0;
    SendMessageA(job->bar, PBB_SETRANGE, 0, 100);
    SendMessageA(job->bar, PBB_SETBORDER, 1, 0);
    ShowWindow(job->window, SW_SHOW);
    UpdateWindow(job->window);
    return 1;
}

// Runs the removal on a worker while this thread keeps the window alive.
int runRemoval(HINSTANCE instance, Job* job) {
    if (!createProgressWindow(instance, job)) return 0;
    HANDLE worker = CreateThread(nullptr, 0, removalWorker, job, 0, nullptr);
    // Without a worker the loop below only takes the quit message away, which
    // would otherwise close the next message box at once.
    if (!worker) DestroyWindow(job->window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!worker) return 0;
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    return 1;
}

int reportOutcome(const UninstallList* list, const RemovalReport* report) {
    char text[removalReportBytes + 2 * removalPathLimit + 256];
    if (report->filesLeft == 0 && report->shortcutsLeft == 0 && report->keyRemoved) {
        _snprintf(text, sizeof text, "%s was removed from your computer.", list->productName);
        text[sizeof text - 1] = '\0';
        MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
        return kRemoved;
    }
    char more[64] = "";
    if (report->leftNotShown) _snprintf(more, sizeof more, "and %lu more\n", (unsigned long)report->leftNotShown);
    more[sizeof more - 1] = '\0';
    _snprintf(text, sizeof text,
              "%s was removed, except for these items, which could not be removed:\n\n%s%s\n%s", list->productName,
              report->left, more,
              report->filesLeft ? "Close the programs that use them, or make them writable, and run the uninstaller "
                                  "again."
              : report->keyRemoved ? ""
                                   : "Its entry in the list of installed programs could not be removed.");
    text[sizeof text - 1] = '\0';
    MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return kSomethingStayed;
}

int refuseDamaged(UninstallProblem problem) {
    MessageBoxA(nullptr,
                problem == kUninstallDamaged ? "The uninstaller is damaged and cannot be used. Nothing was changed."
                                             : "The uninstaller could not read its own file. Nothing was changed.",
                kCaption, MB_OK | MB_ICONERROR);
    return kDamaged;
}

// One uninstaller per product at a time; the mutex ends with the process.
int isOnlyInstance(const char* keyName) {
    char name[removalPathLimit + 32] = "HalvUninstaller ";
    appendText(name, sizeof name, keyName);
    return CreateMutexA(nullptr, FALSE, name) && GetLastError() != ERROR_ALREADY_EXISTS;
}

int askToRemove(const char* productName) {
    char question[removalPathLimit + 64];
    _snprintf(question, sizeof question, "Remove %s and all of its components?", productName);
    question[sizeof question - 1] = '\0';
    return MessageBoxA(nullptr, question, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) ==
           IDYES;
}

int uninstall(HINSTANCE instance, const char* ownPath) {
    UninstallList list;
    UninstallProblem problem;
    if (!readUninstallFile(ownPath, &list, &problem)) return refuseDamaged(problem);
    static Job job;
    memset(&job, 0, sizeof job);
    job.list = &list;
    job.lastPercent = -1;
    if (!findRemovalPlaces(ownPath, &job.places) || !isOnlyInstance(list.keyName)) return kCannotRun;
    if (!askToRemove(list.productName)) return kDeclined;
    if (!runRemoval(instance, &job)) {
        MessageBoxA(nullptr, "The uninstaller could not open its window. Nothing was changed.", kCaption,
                    MB_OK | MB_ICONERROR);
        return kCannotRun;
    }
    int outcome = reportOutcome(&list, &job.report);
    // The uninstaller stays while its entry stays, so that the entry still works.
    if (job.report.keyRemoved && job.report.filesLeft == 0) startSelfRemoval(ownPath);
    return outcome;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // The temporary copy runs from a folder under the temporary folder.
    restrictLibrarySearch();
    if (isCleanupRequest(commandLine)) {
        int removed = removeOriginal(commandLine);
        removeOwnCopy();
        return removed ? 0 : 1;
    }
    char ownPath[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    if (length == 0 || length > removalPathLimit) return refuseDamaged(kUninstallCannotOpen);
    // Its folder is taken for the destination: under any other name (the
    // temporary copy, say) the list would be applied to a stranger's folder.
    if (!isUninstallerPath(ownPath)) {
        MessageBoxA(nullptr, "This uninstaller runs only as \"" UNINSTALLER_FILE_NAME "\" in the folder of the product "
                    "it removes. Nothing was changed.", kCaption, MB_OK | MB_ICONERROR);
        return kCannotRun;
    }
    return uninstall(instance, ownPath);
}
