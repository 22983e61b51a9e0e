// Waits for a visible top-level window of a class, of any process, and says
// where it is and what it shows: window_wait CLASS TIMEOUT_MS prints
//   LEFT TOP WIDTH HEIGHT
//   TITLE
//   the texts of its visible child windows, each followed by '|'
// and exits 0; exits 1 when no such window came in time. scripts/run-sample
// uses it to know when the installer has painted its first page.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static BOOL CALLBACK printChild(HWND child, LPARAM) {
    char text[256] = "";
    if (IsWindowVisible(child) && GetWindowTextA(child, text, sizeof text) > 0) printf("%s|", text);
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: window_wait CLASS TIMEOUT_MS\n", stderr);
        return 2;
    }
    const DWORD timeout = strtoul(argv[2], nullptr, 10), start = GetTickCount();
    HWND window;
    while (!(window = FindWindowA(argv[1], nullptr)) || !IsWindowVisible(window)) {
        if (GetTickCount() - start > timeout) return 1;
        Sleep(100);
    }
    Sleep(500);  // its first paint
    RECT box;
    char title[256] = "";
    GetWindowRect(window, &box);
    GetWindowTextA(window, title, sizeof title);
    printf("%ld %ld %ld %ld\n%s\n", box.left, box.top, box.right - box.left, box.bottom - box.top, title);
    EnumChildWindows(window, printChild, 0);
    printf("\n");
    return 0;
}
