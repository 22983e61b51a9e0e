// The uninstall list of a package as the package writer describes it: what
// halvbuild hands to buildUninstaller for the installer it packs.
//
// Threads: any thread; no state. Memory: the result belongs to the caller.
#pragma once

#include <vector>

#include "uninstaller/format/uninstall_writer.h"
#include "writer/package_writer.h"

// productName from the header; the key name publisher + " " + product + " " +
// version, as the installer names its uninstall key; the header's directories;
// files as given (the package's file table: directory index and name, in
// package order); the trailing data's shortcuts, program group name and group
// folders with their item names. Nothing is checked here: buildUninstaller
// checks the result.
UninstallData uninstallDataFor(const PackageHeaderFields& header, const std::vector<UninstallFileEntry>& files,
                               const TrailingData& trailing);
