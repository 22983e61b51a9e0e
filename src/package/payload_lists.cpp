#include <string.h>

#include "package/package_format.h"
#include "package/package_io.h"

// A node and copies of its strings share one heap block, so a record read
// halfway leaves nothing behind and freeing the node frees its strings.
// copies[i] receives the address of the copy of texts[i].
static void* newNode(uint32_t nodeSize, const char* const* texts, char** copies, int count) {
    uint32_t size = nodeSize;
    for (int i = 0; i < count; ++i) size += (uint32_t)strlen(texts[i]) + 1;
    void* block = nullptr;
    allocBlock(&block, (int)size, 1, 0);
    if (!block) return nullptr;
    char* cursor = (char*)block + nodeSize;
    for (int i = 0; i < count; ++i) {
        size_t length = strlen(texts[i]) + 1;
        memcpy(cursor, texts[i], length);
        copies[i] = cursor;
        cursor += length;
    }
    return block;
}

static int readShortcut(FILE* file, PayloadLists* lists) {
    char target[kPathCapacity], location[kPathCapacity], name[kPathCapacity];
    if (!readCountedString(target, kPathCapacity, file, nullptr) ||
        !readCountedString(location, kPathCapacity, file, nullptr) ||
        !readCountedString(name, kPathCapacity, file, nullptr))
        return 0;
    const char* texts[] = {target, location, name};
    char* copies[3];
    ShortcutRecord* node = (ShortcutRecord*)newNode(sizeof(ShortcutRecord), texts, copies, 3);
    if (!node) return 0;
    node->target = copies[0];
    node->location = copies[1];
    node->name = copies[2];
    return listAppend(&lists->shortcutsHead, &lists->shortcutsTail, &node->link);
}

static int readGroupItem(FILE* file, GroupFolderRecord* folder) {
    char target[kPathCapacity], name[kPathCapacity];
    if (!readCountedString(target, kPathCapacity, file, nullptr) ||
        !readCountedString(name, kPathCapacity, file, nullptr))
        return 0;
    const char* texts[] = {target, name};
    char* copies[2];
    GroupItemRecord* node = (GroupItemRecord*)newNode(sizeof(GroupItemRecord), texts, copies, 2);
    if (!node) return 0;
    node->target = copies[0];
    node->name = copies[1];
    return listAppend(&folder->firstItem, &folder->lastItem, &node->link);
}

// The folder joins the list before its items are read: the list stays in
// package order, and a failure among the items leaves nothing unowned.
static int readGroupFolder(FILE* file, PayloadLists* lists) {
    char folderText[kPathCapacity];
    uint32_t itemCount;
    if (!readCountedString(folderText, kPathCapacity, file, nullptr) || !readU32(file, &itemCount))
        return 0;
    const char* texts[] = {folderText};
    char* copies[1];
    GroupFolderRecord* folder =
        (GroupFolderRecord*)newNode(sizeof(GroupFolderRecord), texts, copies, 1);
    if (!folder) return 0;
    folder->folder = copies[0];
    listAppend(&lists->groupEntriesHead, &lists->groupEntriesTail, &folder->link);
    for (uint32_t i = 0; i < itemCount; ++i)
        if (!readGroupItem(file, folder)) return 0;
    return 1;
}

// Counts come from the file and are not trusted: every record needs bytes of
// its own, so a false count ends at the end of the file, not in memory.
int readPayloadLists(FILE* file, PayloadLists* lists) {
    if (!file || !lists) return 0;
    uint32_t shortcutCount, folderCount;
    if (!readU32(file, &shortcutCount)) return 0;
    for (uint32_t i = 0; i < shortcutCount; ++i)
        if (!readShortcut(file, lists)) return 0;
    if (!readCountedString(lists->programGroupName, kPathCapacity, file, nullptr) ||
        !readU32(file, &folderCount))
        return 0;
    for (uint32_t i = 0; i < folderCount; ++i)
        if (!readGroupFolder(file, lists)) return 0;
    return readCountedString(lists->websiteUrl, kPathCapacity, file, nullptr) &&
           readCountedString(lists->programToRun, kPathCapacity, file, nullptr) &&
           readCountedString(lists->helpFile, kPathCapacity, file, nullptr) &&
           readCountedString(lists->finishText, kPathCapacity, file, nullptr);
}
