// Paths under the destination folder, built from texts of the package.
//
// Any thread may call these; they keep no state. Paths are plain
// concatenations of at most installPathLimit bytes of text, held in buffers of
// installPathLimit + 1 bytes.
#pragma once

enum InstallPathLimits {
    installPathLimit = 260,
};

// Writes first + second + third (second and third may be null) into path
// (installPathLimit + 1 bytes). Returns 1, or 0 when the text would exceed
// installPathLimit bytes (path then holds an empty string).
int joinInstallPath(char* path, const char* first, const char* second, const char* third);

// 1 when the relative text (a directory entry or a file name of the package)
// stays below the folder it is appended to: no colon anywhere (so no drive
// letter or stream name) and no component, between backslashes or slashes,
// made only of dots and blanks with two dots or more (which the system reads
// as the parent folder). 0 otherwise, or when text is null.
int isContainedPath(const char* text);
