// Files and folders for tests on every system: whole-file reads and writes,
// tree removal (read-only entries too), and a scratch folder that a test
// owns and that goes again with everything in it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace test_files {

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::string& path);  // empty when it cannot be read
bool writeFile(const std::string& path, const Bytes& bytes);
bool writeFile(const std::string& path, const std::string& text);
bool exists(const std::string& path);
void removeTree(const std::string& path);
// Every entry below folder relative to it, sorted; folders end in the separator.
std::vector<std::string> listTree(const std::string& folder);

// A fresh folder in the temporary folder, named after the running test; its
// path ends in the separator, and "/" in a relative part becomes it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace test_files
