// Keyboard focus navigation between child controls of an ordinary (non-dialog)
// window. Owns the process-wide list of focus groups and their members. An
// enrolled control's window procedure is replaced by FocusKeyProc, which turns
// Tab and the arrow keys into a move of the focus to the next or previous
// enrolled control that is visible and enabled, then hands every message on to
// the control's own procedure.
//
// Threads: main thread only (window creation, destruction and procedures).
// Memory: groups and members are heap blocks owned by the list; only
// removeFocusGroups frees them.
#pragma once

#include <windows.h>

#include "util/blocks.h"

struct FocusMember;

struct FocusGroup {
    ListNode link;          // previous and next group
    int key;                // caller-chosen name of the group
    FocusMember* firstMember;
    FocusMember* lastMember;
};

struct FocusMember {
    ListNode link;          // previous and next member of its group
    FocusGroup* group;
    HWND window;
    WNDPROC previousProc;   // the control's procedure before enrolment
};

// Process-wide state: the groups in order of creation, and the key of the
// group most recently created, into which enrolFocus enrols.
extern FocusGroup* firstFocusGroup;
extern FocusGroup* lastFocusGroup;
extern int currentFocusGroup;

// Class names FocusKeyProc treats specially (compared ignoring case), and the
// message it sends a "ListBoy_Wnd" control before it moves on Up or Down: an
// answer of 0 lets the key move the focus, anything else leaves it to the list.
enum { LBM_KEEPARROWS = 1071 };

// Appends a new empty group named key and makes key the current group.
// Returns 1, or 0 when a group of that key exists or memory ran out (the lists
// are unchanged then).
int addFocusGroup(int key);

// Enrols window in the current group: addFocusMember(currentFocusGroup, window).
int enrolFocus(HWND window);

// Appends window to the group named key and replaces its window procedure by
// FocusKeyProc, keeping the old one. Returns 1, or 0 when window is null, no
// group has that key or memory ran out (the control then keeps its own
// procedure and stays out of the focus order).
int addFocusMember(int key, HWND window);

// Frees every member and every group. The controls' procedures are not put
// back: FocusKeyProc forwards for windows it no longer knows. Returns 1.
int removeFocusGroups();

// The first member of window, searching groups and members in order, or null.
FocusMember* findFocusMember(HWND window);

// The window that should get the focus after window when moving forward
// (forward 1) or backward (0): the nearest member, wrapping across groups,
// that is visible and whose whole parent chain is enabled. Null when window is
// not enrolled or no other member qualifies.
HWND nextFocusTarget(HWND window, int forward);

// 1 when window and each of its ancestors are enabled, else 0.
int isEnabledChain(HWND window);

// The replacement window procedure of every enrolled control. A control that
// is destroyed leaves its group (at WM_NCDESTROY).
LRESULT CALLBACK FocusKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
