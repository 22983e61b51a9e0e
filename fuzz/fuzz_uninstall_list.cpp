// The uninstaller's own list, as parsed from the bytes its file carries.
// Everything a parse accepts must keep the promises the uninstaller relies
// on: indexes in range, every name and folder safe to append to a path.
#include "fuzz_support.h"
#include "uninstall_list/uninstall_list.h"

static void require(int condition) {
    if (!condition) __builtin_trap();
}

static void checkList(const UninstallList& list) {
    require(list.directoryCount >= 1 && list.directoryCount <= kUninstallMaxDirectories);
    require(isUninstallKeyName(list.keyName));
    for (uint32_t i = 0; i < list.directoryCount; ++i) require(isUninstallFolder(list.directories[i]));
    for (uint32_t i = 0; i < list.fileCount; ++i) {
        require(list.files[i].directoryIndex < list.directoryCount);
        require(isUninstallName(list.files[i].name));
    }
    for (uint32_t i = 0; i < list.shortcutCount; ++i) require(isUninstallName(list.shortcuts[i].name));
    if (list.groupName[0]) require(isUninstallName(list.groupName));
    for (uint32_t i = 0; i < list.groupFolderCount; ++i) {
        const UninstallGroupFolder& folder = list.groupFolders[i];
        require(isUninstallFolder(folder.folder));
        for (uint32_t j = 0; j < folder.itemCount; ++j) require(isUninstallName(folder.items[j]));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kUninstallMaxListBytes) return 0;
    UninstallList list;
    if (parseUninstallList(data, (uint32_t)size, &list)) checkList(list);
    freeUninstallList(&list);
    return 0;
}
