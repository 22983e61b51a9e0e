// Product trees and their manifest, as halvbuild's tests write them.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "support/files.h"

// Writes relative (a folder only, when it ends in '/') below folder, making its folders; UTF-8 names on Windows too.
inline std::string put(const test_files::ScratchFolder& folder, const std::string& relative, const std::string& content = "x") {
    const std::filesystem::path made = std::filesystem::u8path(folder / relative);
    std::filesystem::create_directories(relative.back() == '/' ? made : made.parent_path());
    if (relative.back() != '/') std::ofstream(made, std::ios::binary) << content;
    return folder / relative;
}

inline std::string writeManifest(const test_files::ScratchFolder& folder, const std::string& rest, const std::string& name = "product.toml") {
    return put(folder, name, "title = \"Test Setup\"\npublisher = \"Tester\"\nproduct = \"Testing\"\nversion = \"2.1\"\n" + rest);
}
