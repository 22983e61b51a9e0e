// Where libraries come from, beside a planted "uxtheme.dll" that Wine is told
// to prefer, as Windows searches the program's folder first. CTest runs each
// test in a process of its own: the restriction is process-wide.
#include <gtest/gtest.h>

#include <string>

#include "controls/system_libraries.h"
#include "controls/visual_styles.h"

namespace {

std::string folderOf(HMODULE module) {  // "" for no module
    char path[MAX_PATH] = "";
    if (module) GetModuleFileNameA(module, path, sizeof path);
    return std::string(path).substr(0, std::string(path).find_last_of('\\') + 1);
}

const std::string kSystem = folderOf(GetModuleHandleA("kernel32.dll")), kOwn = folderOf(GetModuleHandleA(nullptr));

// The folder of what the bare name finds, freed again so that the next load searches anew.
std::string bareNameFolder() {
    HMODULE module = LoadLibraryA("uxtheme.dll");
    std::string folder = folderOf(module);
    if (module) FreeLibrary(module);
    return folder;
}

TEST(LibrarySearch, VisualStylesComeFromTheSystemFolderNotTheProgramsOwn) {
    ASSERT_EQ(bareNameFolder(), kOwn);
    LoadVisualStyles();
    EXPECT_EQ(folderOf(visualStyleTable.module), kSystem);
}

TEST(LibrarySearch, AfterTheRestrictionTheProgramsFolderIsNotSearched) {
    ASSERT_EQ(bareNameFolder(), kOwn);
    EXPECT_EQ(restrictLibrarySearch(), 1);
    EXPECT_EQ(bareNameFolder(), kSystem);
    EXPECT_EQ(loadSystemLibrary("..\\uxtheme.dll"), nullptr);
}

}  // namespace
