#include "uninstaller/format/package_uninstall_data.h"

UninstallData uninstallDataFor(const PackageHeaderFields& header, const std::vector<UninstallFileEntry>& files,
                               const TrailingData& trailing) {
    UninstallData data;
    data.productName = header.productName;
    data.keyName = header.publisher + " " + header.productName + " " + header.productVersion;
    data.directories = header.directories;
    data.files = files;
    for (const ShortcutEntry& shortcut : trailing.shortcuts)
        data.shortcuts.push_back({shortcut.location, shortcut.name});
    data.groupName = trailing.programGroupName;
    for (const GroupFolderEntry& folder : trailing.groupFolders) {
        UninstallGroupFolderEntry entry;
        entry.folder = folder.folder;
        for (const GroupItemEntry& item : folder.items) entry.items.push_back(item.name);
        data.groupFolders.push_back(entry);
    }
    return data;
}
