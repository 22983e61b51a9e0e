#include "halvbuild/product_layout.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "halvbuild/ansi_text.h"
#include "package/package_format.h"

namespace fs = std::filesystem;

namespace {

// A file found on disk, before its names are converted for the package.
struct FoundFile {
    fs::path source;
    std::string shown;                    // the path as the manifest wrote it, then "/" and names
    std::vector<std::string> directory;   // package names of the folders below the destination
    std::string name;                     // package name
    uint64_t size = 0;
    ManifestSpot spot;
};

struct FoundFolder {
    std::vector<std::string> directory;
    ManifestSpot spot;
};

struct Found {
    std::vector<FoundFile> files;
    std::vector<FoundFolder> folders;   // every folder of a tree, empty ones too
};

struct Planner {
    const Manifest& manifest;
    ProductLayout layout;
    std::map<std::string, std::string> directoryByKey;   // folded entry -> entry
    std::map<std::string, std::string> fileByKey;        // folded installed path -> installed path
    std::vector<std::string> fileEntries;                // the directory entry of each planned file

    [[noreturn]] void fail(const ManifestSpot& spot, const std::string& what) const {
        throw locatedError(manifest.path, spot, what);
    }
};

// Letter case as Windows ignores it for Windows-1252 names.
std::string foldCase(const std::string& ansi) {
    std::string folded = ansi;
    for (char& c : folded) {
        const unsigned char byte = (unsigned char)c;
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) c = (char)(byte + 0x20);
        else if (byte == 0x8A || byte == 0x8C || byte == 0x8E) c = (char)(byte + 0x10);
        else if (byte == 0x9F) c = (char)0xFF;
    }
    return folded;
}

std::vector<std::string> splitParts(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + "/") {
        if (c == '/' || c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

// '*' matches any run and '?' one character, neither a leading dot.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (!name.empty() && name[0] == '.' && !pattern.empty() && pattern[0] != '.') return false;
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++, starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1, n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool hasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// The file or folder that a source path of the manifest names here: "/" and
// "\" both separate parts, so that one manifest serves Linux and Windows; a
// relative path starts from the manifest's folder. A drive letter or a network
// share ("C:\...", "\\server\share\...") names a place on Windows only.
fs::path sourcePath(const Planner& planner, const ManifestText& written) {
    std::string text = written.value;
    std::replace(text.begin(), text.end(), '\\', '/');
#ifndef _WIN32
    const bool drive = text.size() >= 2 && text[1] == ':' && std::isalpha((unsigned char)text[0]);
    if (drive || text.rfind("//", 0) == 0)
        planner.fail(written.spot, inQuotes(written.value) + ": a drive letter or a network share names a place on Windows only");
#endif
    const fs::path path = fs::u8path(text);
    return path.is_absolute() ? path : fs::u8path(planner.manifest.folder) / path;
}

std::string below(const std::string& shown, const fs::path& name) {
    return shown.empty() ? name.u8string() : shown + "/" + name.u8string();
}

std::vector<fs::directory_entry> sortedEntries(const Planner& planner, const fs::path& folder, const std::string& shown,
                                               const ManifestSpot& spot) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    if (error) planner.fail(spot, inQuotes(shown) + ": cannot list the folder: " + error.message());
    // In UTF-8 byte order on every system (Windows would compare UTF-16), so
    // that both meet the same name first.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename().u8string() < b.path().filename().u8string();
    });
    return entries;
}

// The package form of a name found on disk or written in the manifest.
std::string packageName(const Planner& planner, const ManifestSpot& spot, const std::string& utf8,
                        const std::string& shownPath) {
    std::string ansi;
    try {
        ansi = toAnsi(utf8);
    } catch (const std::invalid_argument& error) {
        planner.fail(spot, inQuotes(shownPath) + ": " + error.what());
    }
    const std::string problem = nameProblem(ansi);
    if (!problem.empty()) planner.fail(spot, inQuotes(shownPath) + ": " + inQuotes(ansi) + " " + problem);
    return ansi;
}

void addEntry(const Planner& planner, const fs::path& path, const std::string& shown,
              const std::vector<std::string>& directory, const ManifestSpot& spot, Found* found);

void addTree(const Planner& planner, const fs::path& folder, const std::string& shown,
             const std::vector<std::string>& directory, const ManifestSpot& spot, Found* found) {
    size_t depthBytes = 0;
    for (const std::string& part : directory) depthBytes += part.size() + 1;
    // A link that loops back would otherwise recurse without end.
    if (depthBytes > kMaxInstalledPath)
        planner.fail(spot, inQuotes(shown) + ": the folder lies too deep for a 260-byte path");
    found->folders.push_back({directory, spot});
    for (const fs::directory_entry& entry : sortedEntries(planner, folder, shown, spot))
        addEntry(planner, entry.path(), below(shown, entry.path().filename()), directory, spot, found);
}

void addEntry(const Planner& planner, const fs::path& path, const std::string& shown,
              const std::vector<std::string>& directory, const ManifestSpot& spot, Found* found) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const std::string name = packageName(planner, spot, path.filename().u8string(), shown);
    if (fs::is_directory(status)) {
        std::vector<std::string> inner = directory;
        inner.push_back(name);
        addTree(planner, path, shown, inner, spot, found);
    } else if (fs::is_regular_file(status)) {
        const uint64_t size = fs::file_size(path, error);
        if (error) planner.fail(spot, inQuotes(shown) + ": " + error.message());
        found->files.push_back({path, shown, directory, name, size, spot});
    } else if (!fs::exists(status)) {
        planner.fail(spot, inQuotes(shown) + ": no such file or folder");
    } else {
        planner.fail(spot, inQuotes(shown) + ": neither a file nor a folder");
    }
}

void expandSource(const Planner& planner, const ManifestFiles& entry, Found* found) {
    const std::vector<std::string> directory = splitParts(entry.directory.value);
    for (const std::string& part : directory)
        if (!nameProblem(part).empty()) planner.fail(entry.directory.spot, inQuotes(part) + " " + nameProblem(part));
    const std::string& written = entry.source.value;
    const fs::path source = sourcePath(planner, entry.source);
    const std::string last = source.filename().u8string();
    if (hasWildcard(source.parent_path().u8string()))
        planner.fail(entry.source.spot, "* and ? may stand only in the last part of the path");
    if (!hasWildcard(last)) {
        const bool folder = fs::is_directory(source);
        folder ? addTree(planner, source, written, directory, entry.source.spot, found)
               : addEntry(planner, source, written, directory, entry.source.spot, found);
        return;
    }
    const size_t cut = written.find_last_of("/\\");
    const std::string parent = cut == std::string::npos ? std::string() : written.substr(0, cut);
    if (!fs::is_directory(source.parent_path()))
        planner.fail(entry.source.spot, inQuotes(parent) + ": no such folder");
    bool matched = false;
    for (const fs::directory_entry& item : sortedEntries(planner, source.parent_path(), parent, entry.source.spot)) {
        if (!wildcardMatch(last, item.path().filename().u8string())) continue;
        addEntry(planner, item.path(), below(parent, item.path().filename()), directory, entry.source.spot, found);
        matched = true;
    }
    if (!matched) planner.fail(entry.source.spot, "nothing matches " + inQuotes(entry.source.value));
}

// "\" for no parts, else "\a\b\".
std::string directoryEntry(const std::vector<std::string>& parts) {
    std::string entry = "\\";
    for (const std::string& part : parts) entry += part + "\\";
    return entry;
}

void addDirectory(Planner* planner, const ManifestSpot& spot, const std::string& entry) {
    if (planner->layout.defaultDestination.size() + 1 + entry.size() > kMaxCreatedDirectory)
        planner->fail(spot, inQuotes(entry) + ": under " + inQuotes(planner->layout.defaultDestination) +
                                " the folder's path would pass the 247 characters Windows can create");
    for (size_t end = entry.find('\\', 1); end != std::string::npos; end = entry.find('\\', end + 1)) {
        const std::string parent = entry.substr(0, end + 1);
        const auto placed = planner->directoryByKey.emplace(foldCase(parent), parent);
        if (placed.first->second != parent)
            planner->fail(spot, inQuotes(parent) + " and " + inQuotes(placed.first->second) +
                                    " differ only in letter case, which Windows ignores");
    }
}

void addFile(Planner* planner, const FoundFile& file) {
    const std::string& shown = file.shown;
    const std::string entry = directoryEntry(file.directory);
    const std::string& name = file.name;
    addDirectory(planner, file.spot, entry);
    const std::string installed = entry + name;
    const std::string& destination = planner->layout.defaultDestination;
    if (destination.size() + installed.size() > kMaxInstalledPath)
        planner->fail(file.spot, inQuotes(shown) + ": " + inQuotes(destination + installed.substr(1)) + " is " +
                                     std::to_string(destination.size() + installed.size()) +
                                     " bytes as the installer builds it; the limit is 260");
    if (file.size > kMaxInstallerFileSize)
        planner->fail(file.spot, inQuotes(shown) + ": the installer takes files of at most 2147483647 bytes");
    if (foldCase(installed) == foldCase(std::string("\\") + kUninstallerName))
        planner->fail(file.spot, inQuotes(shown) + ": the uninstaller is installed as " + inQuotes(installed));
    const auto placed = planner->fileByKey.emplace(foldCase(installed), installed);
    if (!placed.second)
        planner->fail(file.spot, inQuotes(shown) + ": a second file would be installed as " + inQuotes(installed));
    planner->layout.files.push_back({file.source.u8string(), shown, 0, name, file.size, file.spot});
    planner->layout.productBytes += file.size;
    planner->fileEntries.push_back(entry);
}

// Orders the directories and the files and gives each file its index.
void placeFiles(Planner* planner) {
    const std::vector<std::string>& fileEntries = planner->fileEntries;
    std::vector<std::string> directories;
    for (const auto& [key, entry] : planner->directoryByKey) directories.push_back(entry);
    directories.push_back("\\");
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    if (directories.size() > kMaxDirectories)
        planner->fail({"files", 0}, "the product has " + std::to_string(directories.size()) +
                                        " directories; the installer takes at most 255");
    std::vector<PlannedFile>& files = planner->layout.files;
    for (size_t i = 0; i < files.size(); ++i)
        files[i].directoryIndex =
            (uint32_t)(std::lower_bound(directories.begin(), directories.end(), fileEntries[i]) - directories.begin());
    std::stable_sort(files.begin(), files.end(), [](const PlannedFile& a, const PlannedFile& b) {
        return a.directoryIndex != b.directoryIndex ? a.directoryIndex < b.directoryIndex : a.name < b.name;
    });
    for (const std::string& entry : directories)
        if (planner->fileByKey.count(foldCase(entry.substr(0, entry.size() - 1))))
            planner->fail({"files", 0}, inQuotes(entry) + " would be both a file and a directory");
    planner->layout.header.directories = directories;
}

std::string readLicence(const Planner& planner) {
    const ManifestText& licence = planner.manifest.licence;
    const fs::path path = sourcePath(planner, licence);
    const std::string shown = inQuotes(licence.value);
    std::ifstream input(path, std::ios::binary);
    if (!input) planner.fail(licence.spot, shown + ": cannot open the licence");
    std::ostringstream bytes;
    bytes << input.rdbuf();
    std::string text;
    try {
        text = licenceToAnsi(bytes.str());
    } catch (const std::invalid_argument& error) {
        planner.fail(licence.spot, shown + ": " + error.what());
    }
    if (text.empty()) planner.fail(licence.spot, shown + ": the licence is empty");
    if (text.size() > kMaxLicenceLength)
        planner.fail(licence.spot, shown + ": the licence is " + std::to_string(text.size()) +
                                       " bytes with CR LF line ends; the limit is 16384");
    return text;
}

void planHeader(Planner* planner) {
    const Manifest& manifest = planner->manifest;
    const std::string base = manifest.baseFolder.value;
    const bool absolute = base.size() >= 2 && base[1] == ':' && std::isalpha((unsigned char)base[0]) &&
                          (base.size() == 2 || base[2] == '\\');
    if (foldCase(base) != foldCase(kProgramFilesToken) && !absolute)
        planner->fail(manifest.baseFolder.spot, std::string("must be \"") + kProgramFilesToken +
                                                    "\" or a folder such as \"C:\\Apps\"");
    for (const std::string& part : splitParts(manifest.folderName.value))
        if (!nameProblem(part).empty())
            planner->fail(manifest.folderName.spot, inQuotes(part) + " " + nameProblem(part));
    ProductLayout& layout = planner->layout;
    layout.defaultDestination = assumedDestination(base, manifest.folderName.value);
    if (layout.defaultDestination.size() + strlen(kUninstallerName) > kMaxInstalledPath)
        planner->fail(manifest.folderName.spot, "the default destination " + inQuotes(layout.defaultDestination) +
                                                    " leaves no room for the uninstaller's 260-byte path");
    PackageHeaderFields& header = layout.header;
    header.installerTitle = manifest.title.value;
    header.publisher = manifest.publisher.value;
    header.productName = manifest.product.value;
    header.productVersion = manifest.version.value;
    header.baseFolderToken = base;
    header.defaultFolderName = manifest.folderName.value;
    if (!manifest.licence.value.empty()) header.licenceText = readLicence(*planner);
}

// The installed file that text names, as "\dir\name" spelled as packed.
std::string installedTarget(const Planner& planner, const ManifestText& text) {
    std::string target;
    for (const std::string& part : splitParts(text.value)) target += "\\" + part;
    if (foldCase(target) == foldCase(std::string("\\") + kUninstallerName)) return std::string("\\") + kUninstallerName;
    const auto found = planner.fileByKey.find(foldCase(target));
    if (found == planner.fileByKey.end())
        planner.fail(text.spot, inQuotes(text.value) + " is not a file of the product");
    return found->second;
}

std::string linkName(const Planner& planner, const ManifestText& name) {
    const std::string problem = nameProblem(name.value);
    if (!problem.empty()) planner.fail(name.spot, inQuotes(name.value) + " " + problem);
    return name.value;
}

void planShortcuts(Planner* planner) {
    std::set<std::string> names;
    for (const ManifestShortcut& shortcut : planner->manifest.shortcuts) {
        if (!names.insert(foldCase(shortcut.name.value)).second)
            planner->fail(shortcut.name.spot, "a second shortcut of that name would replace the first");
        planner->layout.trailing.shortcuts.push_back(
            {installedTarget(*planner, shortcut.target), shortcut.location.value, linkName(*planner, shortcut.name)});
    }
}

// The group's folder record for folder, parents checked; "\" is the group itself.
GroupFolderEntry& groupFolder(Planner* planner, const ManifestText& folder) {
    std::vector<GroupFolderEntry>& folders = planner->layout.trailing.groupFolders;
    std::string entry = "\\";
    for (const std::string& part : splitParts(folder.value)) {
        if (!nameProblem(part).empty()) planner->fail(folder.spot, inQuotes(part) + " " + nameProblem(part));
        const bool parentListed = std::any_of(folders.begin(), folders.end(),
                                              [&](const GroupFolderEntry& f) { return f.folder == entry; });
        if (!parentListed)
            planner->fail(folder.spot, "its parent " + inQuotes(entry) + " must be listed before it");
        entry += part + "\\";
    }
    for (GroupFolderEntry& listed : folders)
        if (foldCase(listed.folder) == foldCase(entry) && entry != "\\")
            planner->fail(folder.spot, inQuotes(entry) + " is listed twice");
    if (entry == "\\") return folders.front();
    folders.push_back({entry, {}});
    return folders.back();
}

void planGroup(Planner* planner) {
    const Manifest& manifest = planner->manifest;
    if (manifest.groupName.value.empty()) return;
    const std::string group = linkName(*planner, manifest.groupName);
    planner->layout.trailing.programGroupName = group;
    // The installer creates each folder with one call, so the group folder
    // itself must come first even when it holds no shortcut.
    planner->layout.trailing.groupFolders.push_back({"\\", {}});
    std::set<std::string> links;
    for (const ManifestGroupFolder& folder : manifest.groupFolders) {
        GroupFolderEntry& entry = groupFolder(planner, folder.folder);
        for (const ManifestGroupItem& item : folder.items) {
            const std::string name = linkName(*planner, item.name);
            const std::string link = std::string(kAssumedCommonPrograms) + group + entry.folder + name + ".lnk";
            if (link.size() > kMaxInstalledPath)
                planner->fail(item.name.spot, inQuotes(link) + " passes the 260-byte path limit");
            if (!links.insert(foldCase(link)).second)
                planner->fail(item.name.spot, "a second shortcut of that name would replace the first");
            entry.items.push_back({installedTarget(*planner, item.target), name});
        }
    }
}

void planClosing(Planner* planner) {
    const Manifest& manifest = planner->manifest;
    TrailingData& trailing = planner->layout.trailing;
    trailing.websiteUrl = manifest.website.value;
    if (!manifest.program.value.empty()) trailing.programToRun = installedTarget(*planner, manifest.program);
    if (!manifest.helpFile.value.empty()) trailing.helpFile = installedTarget(*planner, manifest.helpFile);
    trailing.finishText = manifest.finishText.value;
}

}  // namespace

std::string nameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name == "." || name == "..") return "leads out of its folder";
    for (char c : name) {
        if ((unsigned char)c < 0x20) return "holds a control character";
        if (std::string("\\/:*?\"<>|").find(c) != std::string::npos)
            return std::string("holds ") + inQuotes(std::string(1, c)) + ", which Windows does not allow in names";
    }
    if (name.back() == ' ' || name.back() == '.') return "ends in a blank or a dot, which Windows drops";
    std::string stem = foldCase(name.substr(0, name.find('.')));
    static const std::set<std::string> kDevices = {"con", "prn", "aux", "nul"};
    const bool numbered = stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
                          stem[3] >= '1' && stem[3] <= '9';
    if (kDevices.count(stem) || numbered) return "is a reserved device name";
    return std::string();
}

std::string assumedDestination(const std::string& baseFolder, const std::string& folderName) {
    std::string destination = foldCase(baseFolder) == foldCase(kProgramFilesToken) ? kAssumedProgramFiles : baseFolder;
    if (destination.empty() || destination.back() != '\\') destination += '\\';
    destination += folderName;
    if (destination.back() != '\\') destination += '\\';
    return destination;
}

ProductLayout planProduct(const Manifest& manifest) {
    Planner planner{manifest, {}, {}, {}, {}};
    planHeader(&planner);
    Found found;
    for (const ManifestFiles& entry : manifest.files) expandSource(planner, entry, &found);
    for (const FoundFolder& folder : found.folders) addDirectory(&planner, folder.spot, directoryEntry(folder.directory));
    for (const FoundFile& file : found.files) addFile(&planner, file);
    placeFiles(&planner);
    planner.layout.header.fileCount = (uint32_t)planner.layout.files.size();
    planShortcuts(&planner);
    planGroup(&planner);
    planClosing(&planner);
    return planner.layout;
}

void setRequiredSpace(ProductLayout* layout, uint64_t uninstallerSize) {
    const uint64_t required = layout->productBytes + uninstallerSize;
    if (required > UINT32_MAX)
        throw BuildError("the product needs " + std::to_string(required) +
                         " bytes; the installer's required-space field holds at most 4294967295");
    layout->header.requiredSpace = (uint32_t)required;
}
