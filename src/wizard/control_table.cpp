#include "wizard/control_table.h"

#include <stdlib.h>
#include <string.h>

ControlTable controlTable;

// Id 0 has a bucket of its own; the others share bucketCount - 1 buckets, so
// the last bucket stays unused (ids are never negative).
static int bucketOf(int id) { return id == 0 ? 0 : id % (bucketCount - 1); }

static char* duplicateText(const char* text) {
    size_t length = strlen(text);
    char* copy = (char*)malloc(length + 1);
    if (copy) memcpy(copy, text, length + 1);
    return copy;
}

int initControlTable(HINSTANCE instance) {
    memset(&controlTable, 0, sizeof controlTable);
    controlTable.instance = instance;
    return 1;
}

ControlRecord* findControl(int id) {
    if (id < 0) return nullptr;
    for (ControlRecord* record = controlTable.buckets[bucketOf(id)]; record; record = record->next) {
        if (record->id == id) return record;
    }
    return nullptr;
}

HWND getControlWindow(int id) {
    ControlRecord* record = findControl(id);
    return record ? record->window : nullptr;
}

ControlGroup* findGroup(int group) {
    for (ListNode* node = controlTable.firstGroup; node; node = node->next) {
        ControlGroup* entry = (ControlGroup*)node;
        if (entry->group == group) return entry;
    }
    return nullptr;
}

// Everything a registration needs is allocated before anything is linked, so
// a refusal for lack of memory leaves the table as it was.
struct NewControl {
    ControlRecord* record;
    ControlMember* member;
    ControlGroup* group;     // null when the group exists already
};

static void discardNewControl(NewControl* parts) {
    if (parts->record) {
        free(parts->record->className);
        free(parts->record->text);
    }
    free(parts->record);
    free(parts->member);
    free(parts->group);
}

static int allocateNewControl(NewControl* parts, int group, const char* className, const char* text) {
    memset(parts, 0, sizeof *parts);
    parts->record = (ControlRecord*)calloc(1, sizeof(ControlRecord));
    parts->member = (ControlMember*)calloc(1, sizeof(ControlMember));
    if (!findGroup(group)) parts->group = (ControlGroup*)calloc(1, sizeof(ControlGroup));
    int complete = parts->record && parts->member && (parts->group || findGroup(group));
    if (complete) {
        parts->record->className = duplicateText(className);
        if (text && text[0]) parts->record->text = duplicateText(text);
        complete = parts->record->className && (parts->record->text || !text || !text[0]);
    }
    if (!complete) discardNewControl(parts);
    return complete;
}

int addControl(int group, int id, DWORD extendedStyle, DWORD style, const char* className,
               const char* text, int x, int y, int width, int height, HFONT font) {
    if (group < 0 || id < 0 || findControl(id) || !className || !className[0]) return 0;
    NewControl parts;
    if (!allocateNewControl(&parts, group, className, text)) return 0;

    ControlRecord* record = parts.record;
    record->extendedStyle = extendedStyle;
    record->style = style;
    record->x = x;
    record->y = y;
    record->width = width;
    record->height = height;
    record->font = font;
    record->id = id;
    record->group = group;

    ControlGroup* owner = findGroup(group);
    if (!owner) {
        owner = parts.group;
        owner->group = group;
        listAppend(&controlTable.firstGroup, &controlTable.lastGroup, &owner->link);
    }
    parts.member->id = id;
    listAppend(&owner->firstMember, &owner->lastMember, &parts.member->link);

    ControlRecord** slot = &controlTable.buckets[bucketOf(id)];
    ControlRecord* last = nullptr;
    while (*slot) {
        last = *slot;
        slot = &(*slot)->next;
    }
    record->previous = last;
    *slot = record;
    return 1;
}

int addControlFromDescriptor(const ControlDescriptor* descriptor) {
    if (!descriptor) return 0;
    return addControl(descriptor->group, descriptor->id, descriptor->extendedStyle, descriptor->style,
                      descriptor->className, descriptor->text, descriptor->x, descriptor->y,
                      descriptor->width, descriptor->height, descriptor->font);
}

int createGroupWindows(int group, HWND parent) {
    ControlGroup* owner = findGroup(group);
    if (!owner) return 0;
    int allCreated = 1;
    for (ListNode* node = owner->firstMember; node; node = node->next) {
        ControlRecord* record = findControl(((ControlMember*)node)->id);
        record->window = CreateWindowExA(record->extendedStyle, record->className, record->text,
                                         record->style, record->x, record->y, record->width,
                                         record->height, parent, nullptr, controlTable.instance,
                                         nullptr);
        if (!record->window) {
            allCreated = 0;
            continue;
        }
        if (record->font) SendMessageA(record->window, WM_SETFONT, (WPARAM)record->font, TRUE);
    }
    return allCreated;
}

static int showMembers(int group, int command) {
    ControlGroup* owner = findGroup(group);
    if (!owner) return 0;
    for (ListNode* node = owner->firstMember; node; node = node->next) {
        HWND window = getControlWindow(((ControlMember*)node)->id);
        if (window) ShowWindow(window, command);
    }
    return 1;
}

int showGroup(int group) { return showMembers(group, SW_SHOW); }
int hideGroup(int group) { return showMembers(group, SW_HIDE); }
