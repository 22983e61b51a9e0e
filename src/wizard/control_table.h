// The table through which every child control of the main window is
// registered, created, shown, hidden and found by a small integer id.
//
// Threads: the main thread fills the table and creates the windows before any
// background thread starts; afterwards the table is only read, and
// getControlWindow may then be called from any thread (the extraction worker
// addresses its status lines and progress bar through it). No lock is taken.
// Memory: records, copies of the texts and groups belong to the table and are
// never freed; the windows belong to their parent.
#pragma once

#include <windows.h>

#include "util/blocks.h"

enum ControlTableLimits {
    bucketCount = 50,
};

// The ids of the wizard's 27 controls, by which every part addresses them.
enum ControlId {
    CONTROL_LICENCE_HEADING = 0,
    CONTROL_LICENCE_LABEL = 1,
    CONTROL_LICENCE_TEXT = 2,
    CONTROL_DESTINATION_LABEL = 3,
    CONTROL_DESTINATION_TEXT = 4,
    CONTROL_BROWSE = 5,
    CONTROL_SPACE_NEEDED_LABEL = 6,
    CONTROL_SPACE_NEEDED = 7,
    CONTROL_FREE_SPACE_LABEL = 8,
    CONTROL_FREE_SPACE = 9,
    CONTROL_REFRESH = 10,
    CONTROL_STATUS_UPPER = 11,
    CONTROL_STATUS_LOWER = 12,
    CONTROL_PROGRESS = 13,
    CONTROL_SPACE_VERDICT = 14,
    CONTROL_INSTALLING = 15,
    CONTROL_COMPLETE = 16,
    CONTROL_PRESS_NEXT = 17,
    CONTROL_OPTION_SHORTCUTS = 18,
    CONTROL_OPTION_GROUP = 19,
    CONTROL_OPTION_HELP = 20,
    CONTROL_OPTION_RUN = 21,
    CONTROL_OPTION_WEBSITE = 22,
    CONTROL_FINISH_TEXT = 23,
    CONTROL_HYPERLINK = 24,
    CONTROL_LEFT_BUTTON = 25,
    CONTROL_RIGHT_BUTTON = 26,
    CONTROL_COUNT = 27,
};

// The eleven values from which one control is registered, in this order.
struct ControlDescriptor {
    int group;
    int id;
    DWORD extendedStyle;
    DWORD style;
    const char* className;
    const char* text;        // null or empty: the window gets no text
    int x;
    int y;
    int width;
    int height;
    HFONT font;              // null: no WM_SETFONT
};

struct ControlRecord {
    ControlRecord* previous;     // chain of the same bucket
    ControlRecord* next;
    HWND window;                 // null until created, or when creation failed
    DWORD extendedStyle;
    DWORD style;
    int x;
    int y;
    int width;
    int height;
    HFONT font;
    char* className;             // private copy
    char* text;                  // private copy, or null for no text
    int id;
    int group;
};

struct ControlMember {
    ListNode link;
    int id;
};

struct ControlGroup {
    ListNode link;               // group list, in order of first registration
    int group;
    ListNode* firstMember;       // ControlMember nodes, in order of registration
    ListNode* lastMember;
};

struct ControlTable {
    ControlRecord* buckets[bucketCount];
    ListNode* firstGroup;
    ListNode* lastGroup;
    HINSTANCE instance;
};

// The process-wide table.
extern ControlTable controlTable;

// Empties the table (the records of an earlier use are dropped, not freed)
// and keeps instance for every window it creates. Returns 1.
int initControlTable(HINSTANCE instance);

// Registers a control. Returns 1, or 0 with the table unchanged when group or
// id is negative, the id is already registered, className is null or empty,
// or memory runs out.
int addControl(int group, int id, DWORD extendedStyle, DWORD style, const char* className,
               const char* text, int x, int y, int width, int height, HFONT font);

// addControl with the descriptor's values; 0 when descriptor is null.
int addControlFromDescriptor(const ControlDescriptor* descriptor);

// The record registered under id, or null.
ControlRecord* findControl(int id);

// The window of control id, or null when the id is unknown or has no window.
HWND getControlWindow(int id);

// The group numbered group, or null.
ControlGroup* findGroup(int group);

// Creates the window of every member of group as a child of parent, in
// member order, and gives it the record's font (WM_SETFONT, redraw).
// Returns 1 when every member got a window; 0 when the group is unknown or a
// creation failed (the other members are still created).
int createGroupWindows(int group, HWND parent);

// ShowWindow (SW_SHOW / SW_HIDE) for every member's window, in member order.
// Return 1, or 0 when the group is unknown.
int showGroup(int group);
int hideGroup(int group);
