// The bytes that the uninstaller record carries: the uninstaller program as it
// was built, followed by the list of what this installation puts where (files
// with their directories, directories, shortcuts, program group, uninstall
// key) with its own trailer and checksum (uninstaller/format).
//
// Threads: any thread. Memory: the caller owns the returned bytes.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "halvbuild/product_layout.h"

// The uninstaller record's content for layout, built from the program at
// uninstallerPath. Throws BuildError when the program cannot be read or is
// empty, or the list cannot be made from layout.
std::vector<uint8_t> makeUninstallerBytes(const std::string& uninstallerPath, const ProductLayout& layout);
