#include "uninstall_list/uninstall_list.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "package/package_format.h"
#include "util/path_component.h"

namespace {

// Reading position in the list; every read checks the end first.
struct Cursor {
    const uint8_t* at;
    const uint8_t* end;
};

// One block for the whole parsed list. Every parsed item costs at most four
// times the bytes that described it (a group folder: 8 bytes of list, a
// 24-byte record, a terminator and the alignment of its item array), so
// 4 * size + 64 always suffices; the bound is checked on every take all the same.
struct Arena {
    uint8_t* base;
    size_t used;
    size_t capacity;
};

void* take(Arena* arena, size_t bytes, size_t alignment) {
    size_t start = (arena->used + alignment - 1) & ~(alignment - 1);
    if (start > arena->capacity || bytes > arena->capacity - start) return nullptr;
    arena->used = start + bytes;
    return arena->base + start;
}

int readWord(Cursor* cursor, uint32_t* value) {
    if (cursor->end - cursor->at < 4) return 0;
    const uint8_t* b = cursor->at;
    *value = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    cursor->at += 4;
    return 1;
}

// A count of entries that need at least entryBytes each must fit the rest.
int readCount(Cursor* cursor, uint32_t entryBytes, uint32_t* count) {
    return readWord(cursor, count) && (uint64_t)*count * entryBytes <= (uint64_t)(cursor->end - cursor->at);
}

const char* readString(Cursor* cursor, Arena* arena) {
    uint32_t length;
    if (!readWord(cursor, &length) || length > kUninstallMaxString) return nullptr;
    if ((uint32_t)(cursor->end - cursor->at) < length) return nullptr;
    char* text = (char*)take(arena, length + 1, 1);
    if (!text) return nullptr;
    memcpy(text, cursor->at, length);
    text[length] = '\0';
    cursor->at += length;
    return strlen(text) == length ? text : nullptr;  // a NUL inside would cut the name short
}

const char* readName(Cursor* cursor, Arena* arena) {
    const char* text = readString(cursor, arena);
    return isUninstallName(text) ? text : nullptr;
}

const char* readFolder(Cursor* cursor, Arena* arena) {
    const char* text = readString(cursor, arena);
    return isUninstallFolder(text) ? text : nullptr;
}

template <typename T>
T* takeArray(Arena* arena, uint32_t count) {
    return (T*)take(arena, (size_t)count * sizeof(T) + 1, alignof(T));
}

int parseDirectories(Cursor* cursor, Arena* arena, UninstallList* list) {
    uint32_t count;
    if (!readCount(cursor, 4, &count) || count == 0 || count > kUninstallMaxDirectories) return 0;
    const char** directories = takeArray<const char*>(arena, count);
    if (!directories) return 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!(directories[i] = readFolder(cursor, arena))) return 0;
    if (strcmp(directories[0], "\\") != 0) return 0;
    list->directoryCount = count;
    list->directories = directories;
    return 1;
}

int parseFiles(Cursor* cursor, Arena* arena, UninstallList* list) {
    uint32_t count;
    if (!readCount(cursor, 8, &count)) return 0;
    UninstallFile* files = takeArray<UninstallFile>(arena, count);
    if (!files) return 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (!readWord(cursor, &files[i].directoryIndex) || files[i].directoryIndex >= list->directoryCount) return 0;
        if (!(files[i].name = readName(cursor, arena))) return 0;
    }
    list->fileCount = count;
    list->files = files;
    return 1;
}

int parseShortcuts(Cursor* cursor, Arena* arena, UninstallList* list) {
    uint32_t count;
    if (!readCount(cursor, 8, &count)) return 0;
    UninstallShortcut* shortcuts = takeArray<UninstallShortcut>(arena, count);
    if (!shortcuts) return 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (!(shortcuts[i].location = readString(cursor, arena))) return 0;
        if (!(shortcuts[i].name = readName(cursor, arena))) return 0;
    }
    list->shortcutCount = count;
    list->shortcuts = shortcuts;
    return 1;
}

int parseGroup(Cursor* cursor, Arena* arena, UninstallList* list) {
    const char* name = readString(cursor, arena);
    uint32_t count;
    if (!name || (name[0] && !isUninstallName(name)) || !readCount(cursor, 8, &count)) return 0;
    if (!name[0] && count != 0) return 0;
    UninstallGroupFolder* folders = takeArray<UninstallGroupFolder>(arena, count);
    if (!folders) return 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t itemCount;
        if (!(folders[i].folder = readFolder(cursor, arena)) || !readCount(cursor, 4, &itemCount)) return 0;
        const char** items = takeArray<const char*>(arena, itemCount);
        if (!items) return 0;
        for (uint32_t j = 0; j < itemCount; ++j)
            if (!(items[j] = readName(cursor, arena))) return 0;
        folders[i].itemCount = itemCount;
        folders[i].items = items;
    }
    list->groupName = name;
    list->groupFolderCount = count;
    list->groupFolders = folders;
    return 1;
}

int parseAll(Cursor* cursor, Arena* arena, UninstallList* list) {
    uint32_t version;
    if (!readWord(cursor, &version) || version != kUninstallFormatVersion) return 0;
    list->productName = readString(cursor, arena);
    list->keyName = readString(cursor, arena);
    if (!list->productName || !list->productName[0] || !isUninstallKeyName(list->keyName)) return 0;
    return parseDirectories(cursor, arena, list) && parseFiles(cursor, arena, list) &&
           parseShortcuts(cursor, arena, list) && parseGroup(cursor, arena, list) && cursor->at == cursor->end;
}

int isForbiddenByte(unsigned char c) {
    return c < 0x20 || c == 0x7F || strchr("\\/:*?\"<>|", c) != nullptr;
}

int isNamePart(const char* text, size_t length) {
    // A name of dots and blanks ("..", ". .", "...") never names a file of ours.
    if (length == 0 || dotsAndBlanksOnly(text, length) >= 0) return 0;
    for (size_t i = 0; i < length; ++i)
        if (isForbiddenByte((unsigned char)text[i])) return 0;
    return 1;
}

uint32_t loadWord(const uint8_t* bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

// Reads the trailer and the list bytes; the list is handed back in a new
// block of *size bytes.
int readContainer(FILE* file, const char* path, uint8_t** listBytes, uint32_t* size, UninstallProblem* problem) {
    *problem = kUninstallCannotOpen;
    if (fseek(file, 0, SEEK_END) != 0) return 0;
    long length = ftell(file);
    uint8_t trailer[kUninstallTrailerBytes];
    if (length < (long)kUninstallTrailerBytes || fseek(file, length - (long)kUninstallTrailerBytes, SEEK_SET) != 0 ||
        fread(trailer, 1, sizeof trailer, file) != sizeof trailer)
        return 0;
    *problem = kUninstallDamaged;
    uint32_t listSize = loadWord(trailer), listOffset = loadWord(trailer + 4);
    if (loadWord(trailer + 8) != kUninstallMagic || listSize > kUninstallMaxListBytes ||
        (uint64_t)listOffset + listSize + kUninstallTrailerBytes != (uint64_t)length)
        return 0;
    if (computeFileChecksum(path, (uint32_t)length - 4, checksumSeed) != loadWord(trailer + 12)) return 0;
    *problem = kUninstallNoMemory;
    if (!(*listBytes = (uint8_t*)malloc(listSize ? listSize : 1))) return 0;
    *problem = kUninstallCannotOpen;
    if (fseek(file, (long)listOffset, SEEK_SET) != 0 || fread(*listBytes, 1, listSize, file) != listSize) {
        free(*listBytes);
        return 0;
    }
    *size = listSize;
    *problem = kUninstallNoProblem;
    return 1;
}

}  // namespace

int isUninstallName(const char* text) {
    if (!text) return 0;
    size_t length = strlen(text);
    return length <= kUninstallMaxString && isNamePart(text, length);
}

int isUninstallKeyName(const char* text) {
    if (!text || !text[0] || strlen(text) > kUninstallMaxString) return 0;
    for (const char* c = text; *c; ++c)
        if ((unsigned char)*c < 0x20 || *c == '\\') return 0;
    return 1;
}

int isUninstallFolder(const char* text) {
    if (!text || text[0] != '\\' || strlen(text) > kUninstallMaxString) return 0;
    const char* part = text + 1;
    while (*part) {
        const char* slash = strchr(part, '\\');
        size_t length = slash ? (size_t)(slash - part) : strlen(part);
        if (!isNamePart(part, length)) return 0;
        part += length + (slash ? 1 : 0);
    }
    return 1;
}

int parseUninstallList(const uint8_t* data, uint32_t size, UninstallList* list) {
    if (!list) return 0;
    memset(list, 0, sizeof *list);
    if (!data || size > kUninstallMaxListBytes) return 0;
    Arena arena = {nullptr, 0, (size_t)size * 4 + 64};
    if (!(arena.base = (uint8_t*)malloc(arena.capacity))) return 0;
    Cursor cursor = {data, data + size};
    list->block = arena.base;
    if (!parseAll(&cursor, &arena, list)) {
        freeUninstallList(list);
        return 0;
    }
    return 1;
}

int readUninstallFile(const char* path, UninstallList* list, UninstallProblem* problem) {
    UninstallProblem ignored;
    if (!problem) problem = &ignored;
    if (list) memset(list, 0, sizeof *list);
    *problem = kUninstallCannotOpen;
    FILE* file = path && list ? fopen(path, "rb") : nullptr;
    if (!file) return 0;
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    int read = readContainer(file, path, &bytes, &size, problem);
    fclose(file);
    if (!read) return 0;
    int parsed = parseUninstallList(bytes, size, list);
    free(bytes);
    if (!parsed) *problem = kUninstallDamaged;
    return parsed;
}

void freeUninstallList(UninstallList* list) {
    if (!list) return;
    free(list->block);
    memset(list, 0, sizeof *list);
}
