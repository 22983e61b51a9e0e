#include "util/path_component.h"

int dotsAndBlanksOnly(const char* text, size_t length) {
    int dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '.') {
            ++dots;
        } else if (text[i] != ' ') {
            return -1;
        }
    }
    return dots;
}
