// The one rule for path components made only of dots and blanks. The system
// trims trailing dots and blanks from a component, so ". ." or "..." names the
// parent folder as surely as "..", and "." or " " the folder itself: the
// installer refuses a component with two dots or more, the uninstall list any
// such name at all.
//
// Any thread; no state. Portable: no platform headers.
#pragma once

#include <stddef.h>

// The number of dots among the length bytes at text when they are all dots
// and blanks (0 for an empty component); -1 when any other byte is there.
int dotsAndBlanksOnly(const char* text, size_t length);
