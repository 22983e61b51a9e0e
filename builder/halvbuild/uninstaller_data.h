// The bytes that the uninstaller record carries.
//
// Today that is the uninstaller program as it was built. The record is the
// one place where an installation can leave itself a description of what it
// put where (files with their directories, directories, shortcuts, program
// group, uninstall key), so this function receives the whole layout: when
// the uninstaller learns to read such a list, it is appended here and
// nothing else in halvbuild changes.
//
// Threads: any thread. Memory: the caller owns the returned bytes.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "halvbuild/product_layout.h"

// The uninstaller record's content for layout, built from the program at
// uninstallerPath. Throws BuildError when the program cannot be read or is
// empty.
std::vector<uint8_t> makeUninstallerBytes(const std::string& uninstallerPath, const ProductLayout& layout);
