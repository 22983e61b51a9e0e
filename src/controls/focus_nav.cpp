#include "controls/focus_nav.h"

#include <stdlib.h>

FocusGroup* firstFocusGroup;
FocusGroup* lastFocusGroup;
int currentFocusGroup;

static FocusGroup* findGroup(int key) {
    for (FocusGroup* g = firstFocusGroup; g; g = (FocusGroup*)g->link.next)
        if (g->key == key) return g;
    return nullptr;
}

int addFocusGroup(int key) {
    if (findGroup(key)) return 0;
    FocusGroup* group = (FocusGroup*)calloc(1, sizeof(FocusGroup));
    if (!group) return 0;
    group->key = key;
    listAppend((ListNode**)&firstFocusGroup, (ListNode**)&lastFocusGroup, &group->link);
    currentFocusGroup = key;
    return 1;
}

int enrolFocus(HWND window) {
    return addFocusMember(currentFocusGroup, window);
}

int addFocusMember(int key, HWND window) {
    FocusGroup* group = findGroup(key);
    if (!group || !window) return 0;
    FocusMember* member = (FocusMember*)calloc(1, sizeof(FocusMember));
    if (!member) return 0;
    member->group = group;
    member->window = window;
    member->previousProc =
        (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)FocusKeyProc);
    if (!member->previousProc) {
        free(member);
        return 0;
    }
    listAppend((ListNode**)&group->firstMember, (ListNode**)&group->lastMember, &member->link);
    return 1;
}

int removeFocusGroups() {
    while (firstFocusGroup) {
        FocusGroup* group = firstFocusGroup;
        while (group->firstMember)
            listRemove((ListNode**)&group->firstMember, (ListNode**)&group->lastMember,
                       &group->firstMember->link);
        listRemove((ListNode**)&firstFocusGroup, (ListNode**)&lastFocusGroup, &group->link);
    }
    return 1;
}

FocusMember* findFocusMember(HWND window) {
    for (FocusGroup* g = firstFocusGroup; g; g = (FocusGroup*)g->link.next)
        for (FocusMember* m = g->firstMember; m; m = (FocusMember*)m->link.next)
            if (m->window == window) return m;
    return nullptr;
}

int isEnabledChain(HWND window) {
    for (HWND w = window; w; w = GetParent(w))
        if (!IsWindowEnabled(w)) return 0;
    return 1;
}

HWND nextFocusTarget(HWND window, int forward) {
    FocusMember* start = findFocusMember(window);
    if (!start) return nullptr;
    FocusGroup* group = start->group;
    FocusMember* candidate = (FocusMember*)(forward ? start->link.next : start->link.previous);
    // Terminates: the walk is a cycle through every member, start included.
    for (;;) {
        if (!candidate) {
            group = (FocusGroup*)(forward ? group->link.next : group->link.previous);
            if (!group) group = forward ? firstFocusGroup : lastFocusGroup;
            candidate = forward ? group->firstMember : group->lastMember;
            continue;
        }
        if (candidate->window == window) return nullptr;
        if (IsWindowVisible(candidate->window) && isEnabledChain(candidate->window))
            return candidate->window;
        candidate = (FocusMember*)(forward ? candidate->link.next : candidate->link.previous);
    }
}

static void moveFocus(HWND window, int forward) {
    HWND target = nextFocusTarget(window, forward);
    if (target) SetFocus(target);
}

// Whether the arrow key leaves the focus alone because the control uses it.
static int keepsHorizontalArrows(const char* className) {
    return !lstrcmpiA(className, "edit") || !lstrcmpiA(className, "SysTabControl32") ||
           !lstrcmpiA(className, "combobox");
}

static void onKeyDown(HWND window, WPARAM key, const char* className) {
    switch (key) {
    case VK_TAB:
        moveFocus(window, 1);
        break;
    case VK_RIGHT:
    case VK_LEFT:
        if (!keepsHorizontalArrows(className)) moveFocus(window, key == VK_RIGHT);
        break;
    case VK_DOWN:
    case VK_UP:
        if (!lstrcmpiA(className, "ListBoy_Wnd")) {
            if (SendMessageA(window, LBM_KEEPARROWS, 0, 0) == 0) moveFocus(window, key == VK_DOWN);
        } else if (lstrcmpiA(className, "combobox")) {
            moveFocus(window, key == VK_DOWN);
        }
        break;
    }
}

// For a window whose member is gone: the procedure of its class, looked up as
// a system class first, then as one of this program's classes.
static WNDPROC classProcedure(const char* className) {
    WNDCLASSEXA info;
    info.cbSize = sizeof info;
    if (GetClassInfoExA(nullptr, className, &info) ||
        GetClassInfoExA(GetModuleHandleA(nullptr), className, &info))
        return info.lpfnWndProc;
    return nullptr;
}

LRESULT CALLBACK FocusKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char className[256];
    if (!GetClassNameA(window, className, sizeof className)) className[0] = '\0';
    if (message == WM_CHAR && wParam == '\t') return 0;
    if (message == WM_KEYDOWN) onKeyDown(window, wParam, className);
    // Looked up after the move: the key may have run code that changed the lists.
    FocusMember* member = findFocusMember(window);
    WNDPROC proc = member ? member->previousProc : classProcedure(className);
    if (!proc || proc == FocusKeyProc) return 0;
    LRESULT result = CallWindowProcA(proc, window, message, wParam, lParam);
    // A destroyed control leaves the focus order: its handle may be given to
    // a new window later, which must not inherit the old procedure.
    if (message == WM_NCDESTROY && member) {
        FocusGroup* group = member->group;
        listRemove((ListNode**)&group->firstMember, (ListNode**)&group->lastMember, &member->link);
    }
    return result;
}
