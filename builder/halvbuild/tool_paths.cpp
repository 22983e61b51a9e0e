#include "halvbuild/tool_paths.h"

#include <filesystem>
#include <system_error>

#include "halvbuild/build_error.h"

namespace fs = std::filesystem;

namespace {

// Where each program is looked for; BESIDE paths are relative to the folder
// of halvbuild, SOURCE paths to the source folder it was built from.
enum class Base { Beside, Source };

struct ToolPlace {
    Base base;
    const char* path;
};

// A Windows build is a publisher's halvbuild.exe: the source folder it was
// built from is on another machine.
const ToolPlace kInstallerPlaces[] = {
    {Base::Beside, "installer.exe"},
#ifndef _WIN32
    {Base::Source, "build/windows/src/wizard/installer.exe"},
#endif
};

const ToolPlace kUninstallerPlaces[] = {
    {Base::Beside, "HalvUninstaller.exe"},
#ifndef _WIN32
    {Base::Source, "build/windows/uninstaller/HalvUninstaller.exe"},
#endif
};

const char* optionOf(ToolKind kind) {
    return kind == ToolKind::Installer ? "--installer" : "--uninstaller";
}

}  // namespace

std::vector<std::string> toolCandidates(ToolKind kind, const std::string& builderFolder) {
    std::vector<std::string> candidates;
    const auto add = [&](const ToolPlace& place) {
        const fs::path base = fs::u8path(place.base == Base::Beside ? builderFolder : HALVBUILD_SOURCE_DIR);
        candidates.push_back((base / fs::u8path(place.path)).lexically_normal().u8string());
    };
    if (kind == ToolKind::Installer)
        for (const ToolPlace& place : kInstallerPlaces) add(place);
    else
        for (const ToolPlace& place : kUninstallerPlaces) add(place);
    return candidates;
}

std::string findTool(ToolKind kind, const std::string& chosen, const std::string& builderFolder) {
    std::error_code error;
    if (!chosen.empty()) {
        if (!fs::is_regular_file(fs::u8path(chosen), error))
            throw BuildError(std::string(optionOf(kind)) + " " + chosen + ": no such file");
        return chosen;
    }
    std::string looked;
    for (const std::string& candidate : toolCandidates(kind, builderFolder)) {
        if (fs::is_regular_file(fs::u8path(candidate), error)) return candidate;
        looked += (looked.empty() ? "" : ", ") + candidate;
    }
    throw BuildError(std::string("no ") + (kind == ToolKind::Installer ? "installer program" : "uninstaller") +
                     " found (looked at " + looked + "); name one with " + optionOf(kind));
}
