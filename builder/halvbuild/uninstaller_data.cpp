#include "halvbuild/uninstaller_data.h"

#include <stdio.h>

#include <memory>
#include <stdexcept>

#include "halvbuild/build_error.h"
#include "halvbuild/platform.h"
#include "writer/uninstall_writer.h"

std::vector<uint8_t> makeUninstallerBytes(const std::string& uninstallerPath, const ProductLayout& layout) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(openFile(uninstallerPath, "rb"), fclose);
    if (!file) throw BuildError(uninstallerPath + ": cannot open the uninstaller");
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    for (size_t got; (got = fread(block, 1, sizeof block, file.get())) > 0;) bytes.insert(bytes.end(), block, block + got);
    if (ferror(file.get())) throw BuildError(uninstallerPath + ": cannot read the uninstaller");
    if (bytes.empty()) throw BuildError(uninstallerPath + ": the uninstaller is empty");
    // The uninstaller carries the list of what this installation puts where.
    std::vector<UninstallFileEntry> files;
    for (const PlannedFile& planned : layout.files) files.push_back({planned.directoryIndex, planned.name});
    try {
        return buildUninstaller(bytes, uninstallDataFor(layout.header, files, layout.trailing));
    } catch (const std::invalid_argument& problem) {
        throw BuildError(uninstallerPath + ": " + problem.what());
    }
}
