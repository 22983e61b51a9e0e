#include "engine/install_paths.h"

#include <string.h>

#include "util/path_component.h"

int joinInstallPath(char* path, const char* first, const char* second, const char* third) {
    const char* parts[3] = {first, second, third};
    size_t length = 0;
    for (const char* part : parts) {
        if (part) length += strlen(part);
    }
    path[0] = '\0';
    if (length > installPathLimit) return 0;
    for (const char* part : parts) {
        if (part) strcat(path, part);
    }
    return 1;
}

int isContainedPath(const char* text) {
    if (!text || strchr(text, ':')) return 0;
    const char* start = text;
    for (const char* c = text;; ++c) {
        if (*c == '\\' || *c == '/' || *c == '\0') {
            if (dotsAndBlanksOnly(start, (size_t)(c - start)) >= 2) return 0;
            if (*c == '\0') return 1;
            start = c + 1;
        }
    }
}
