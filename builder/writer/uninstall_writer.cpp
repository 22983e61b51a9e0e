#include "writer/uninstall_writer.h"

#include <stdexcept>

#include "package/package_format.h"
#include "uninstall_list/uninstall_list.h"

namespace {

void putWord(std::vector<uint8_t>* out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back((uint8_t)(value >> shift));
}

void putString(std::vector<uint8_t>* out, const std::string& text, const char* what) {
    if (text.size() > kUninstallMaxString)
        throw std::invalid_argument(std::string(what) + " \"" + text + "\" is longer than 259 bytes");
    putWord(out, (uint32_t)text.size());
    out->insert(out->end(), text.begin(), text.end());
}

void requireName(const std::string& text, const char* what) {
    if (text.find('\0') != std::string::npos || !isUninstallName(text.c_str()))
        throw std::invalid_argument(std::string(what) + " \"" + text + "\" is not a plain file name");
}

void requireFolder(const std::string& text, const char* what) {
    if (text.find('\0') != std::string::npos || !isUninstallFolder(text.c_str()))
        throw std::invalid_argument(std::string(what) + " \"" + text +
                                    "\" is not a folder below its base (a backslash, then plain names)");
}

void requireCount(size_t count, const char* what) {
    if (count > 0xFFFFFFFFu) throw std::invalid_argument(std::string("too many ") + what);
}

void putDirectoriesAndFiles(std::vector<uint8_t>* out, const UninstallData& data) {
    if (data.directories.empty() || data.directories[0] != "\\")
        throw std::invalid_argument("the first directory must be \"\\\", the destination itself");
    if (data.directories.size() > kUninstallMaxDirectories)
        throw std::invalid_argument("more than 255 directories");
    putWord(out, (uint32_t)data.directories.size());
    for (const std::string& directory : data.directories) {
        requireFolder(directory, "directory");
        putString(out, directory, "directory");
    }
    requireCount(data.files.size(), "files");
    putWord(out, (uint32_t)data.files.size());
    for (const UninstallFileEntry& file : data.files) {
        requireName(file.name, "file name");
        if (file.directoryIndex >= data.directories.size())
            throw std::invalid_argument("file \"" + file.name + "\" names a directory that is not listed");
        putWord(out, file.directoryIndex);
        putString(out, file.name, "file name");
    }
}

void putShortcutsAndGroup(std::vector<uint8_t>* out, const UninstallData& data) {
    requireCount(data.shortcuts.size(), "shortcuts");
    putWord(out, (uint32_t)data.shortcuts.size());
    for (const UninstallShortcutEntry& shortcut : data.shortcuts) {
        requireName(shortcut.name, "shortcut name");
        putString(out, shortcut.location, "shortcut location");
        putString(out, shortcut.name, "shortcut name");
    }
    if (!data.groupName.empty()) requireName(data.groupName, "program group name");
    if (data.groupName.empty() && !data.groupFolders.empty())
        throw std::invalid_argument("group folders without a program group name");
    putString(out, data.groupName, "program group name");
    requireCount(data.groupFolders.size(), "group folders");
    putWord(out, (uint32_t)data.groupFolders.size());
    for (const UninstallGroupFolderEntry& folder : data.groupFolders) {
        requireFolder(folder.folder, "group folder");
        putString(out, folder.folder, "group folder");
        requireCount(folder.items.size(), "group items");
        putWord(out, (uint32_t)folder.items.size());
        for (const std::string& item : folder.items) {
            requireName(item, "group item name");
            putString(out, item, "group item name");
        }
    }
}

}  // namespace

std::vector<uint8_t> encodeUninstallList(const UninstallData& data) {
    std::vector<uint8_t> out;
    putWord(&out, kUninstallFormatVersion);
    if (data.productName.empty()) throw std::invalid_argument("the product name is empty");
    if (data.productName.find('\0') != std::string::npos)
        throw std::invalid_argument("the product name holds a NUL byte");
    putString(&out, data.productName, "product name");
    if (data.keyName.find('\0') != std::string::npos || !isUninstallKeyName(data.keyName.c_str()))
        throw std::invalid_argument("the uninstall key name \"" + data.keyName +
                                    "\" is empty or holds a backslash or control character");
    putString(&out, data.keyName, "uninstall key name");
    putDirectoriesAndFiles(&out, data);
    putShortcutsAndGroup(&out, data);
    if (out.size() > kUninstallMaxListBytes) throw std::invalid_argument("the uninstall list is over 8 MiB");
    UninstallList check;
    if (!parseUninstallList(out.data(), (uint32_t)out.size(), &check))
        throw std::invalid_argument("the uninstall list does not read back");
    freeUninstallList(&check);
    return out;
}

std::vector<uint8_t> buildUninstaller(const std::vector<uint8_t>& program, const UninstallData& data) {
    if (program.empty()) throw std::invalid_argument("the uninstaller program is empty");
    const std::vector<uint8_t> list = encodeUninstallList(data);
    if ((uint64_t)program.size() + list.size() + kUninstallTrailerBytes > 0x7FFFFFFFu)
        throw std::invalid_argument("the uninstaller would reach 2 GiB");
    std::vector<uint8_t> out;
    out.reserve(program.size() + list.size() + kUninstallTrailerBytes);
    out.insert(out.end(), program.begin(), program.end());
    out.insert(out.end(), list.begin(), list.end());
    putWord(&out, (uint32_t)list.size());
    putWord(&out, (uint32_t)program.size());
    putWord(&out, kUninstallMagic);
    putWord(&out, checksumUpdate(checksumSeed, 0, out.data(), out.size()));
    return out;
}

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
