// Where halvbuild finds the two programs every installer carries: the
// installer program (installer.exe, which the package is appended to) and
// the uninstaller (HalvUninstaller.exe, packed as the uninstaller record).
//
// An option names them explicitly; otherwise each is looked for in a short
// list of places: beside halvbuild (the installed layout; see
// runningProgramFolder in platform.h), then, for a halvbuild built here for
// this machine (not for Windows), in the Windows build tree of the source
// folder it was built from. The lists are kInstallerPlaces and
// kUninstallerPlaces in tool_paths.cpp.
//
// Threads: any thread. Portable: no platform headers.
#pragma once

#include <string>
#include <vector>

enum class ToolKind { Installer, Uninstaller };

// The places looked at for kind, in order, given the folder that holds the
// running halvbuild.
std::vector<std::string> toolCandidates(ToolKind kind, const std::string& builderFolder);

// The program to use: chosen when not empty (it must exist), else the first
// candidate that exists. Throws BuildError naming the option and every place
// looked at when there is none.
std::string findTool(ToolKind kind, const std::string& chosen, const std::string& builderFolder);
