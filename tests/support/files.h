// Files and folders for tests, on every system: whole-file reads and writes,
// tree removal (read-only entries included), and a scratch folder that a test
// owns and that goes again with everything in it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace test_files {

using Bytes = std::vector<uint8_t>;

// The bytes of the file at path; empty when it cannot be read.
Bytes readFile(const std::string& path);
// Creates or replaces the file; false when it cannot be written.
bool writeFile(const std::string& path, const Bytes& bytes);
bool writeFile(const std::string& path, const std::string& text);
bool exists(const std::string& path);
// Deletes path and everything below it; read-only entries too.
void removeTree(const std::string& path);
// Every entry below folder as a path relative to it, sorted; folders end in
// the separator. Empty when folder does not exist.
std::vector<std::string> listTree(const std::string& folder);

// A fresh folder under the system's temporary folder, named after the
// running test, whose path ends in the separator.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + relative, the relative part's slashes turned into the system's separator.
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace test_files
