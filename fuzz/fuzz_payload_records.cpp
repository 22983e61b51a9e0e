// The file table as the installer walks it: records, each followed by its
// stream, then the shortcut list, the program group and the closing strings.
// Input: u32 record count (taken modulo 64), then the file table's bytes.
#include <string.h>

#include "fuzz_support.h"
#include "package/package_format.h"

static void requireText(const char* text) {
    if (!text || strlen(text) >= kPathCapacity) __builtin_trap();
}

static void releaseLists(PayloadLists* lists) {
    for (ListNode* node = lists->shortcutsHead; node;) {
        ListNode* next = node->next;
        ShortcutRecord* shortcut = (ShortcutRecord*)node;
        requireText(shortcut->target);
        requireText(shortcut->location);
        requireText(shortcut->name);
        void* block = node;
        freeBlock(&block);
        node = next;
    }
    for (ListNode* node = lists->groupEntriesHead; node;) {
        ListNode* next = node->next;
        GroupFolderRecord* folder = (GroupFolderRecord*)node;
        requireText(folder->folder);
        for (ListNode* item = folder->firstItem; item;) {
            ListNode* nextItem = item->next;
            requireText(((GroupItemRecord*)item)->name);
            void* block = item;
            freeBlock(&block);
            item = nextItem;
        }
        void* block = node;
        freeBlock(&block);
        node = next;
    }
}

// Reads the records and steps over their streams; 0 when the table ends early.
static int walkRecords(FILE* file, uint32_t count, size_t size) {
    for (uint32_t i = 0; i < count; ++i) {
        FileRecordHead record;
        if (!readFileRecordHead(file, &record)) return 0;
        if (record.nameLength >= kPathCapacity || strlen(record.name) > record.nameLength)
            __builtin_trap();
        long position = ftell(file);
        if (position < 0 || record.compressedSize > size - (size_t)position) return 0;
        if (fseek(file, (long)record.compressedSize, SEEK_CUR) != 0) return 0;
    }
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t count = takeU32(&data, &size) % 64;
    FILE* file = openMemoryFile(data, size);
    if (walkRecords(file, count, size)) {
        PayloadLists lists;
        memset(&lists, 0, sizeof lists);
        readPayloadLists(file, &lists);
        requireText(lists.programGroupName);
        requireText(lists.websiteUrl);
        requireText(lists.finishText);
        releaseLists(&lists);
    }
    fclose(file);
    return 0;
}
