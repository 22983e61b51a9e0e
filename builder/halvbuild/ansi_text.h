// Text as the installer shows it: 8-bit Windows-1252, lines ending in CR LF.
//
// The manifest and the file system give UTF-8; the installer uses the ANSI
// functions of Windows, so every string that goes into a package passes
// through toAnsi. Any thread may call these; they keep no state and return
// new strings.
#pragma once

#include <string>

// The Windows-1252 bytes of utf8. Throws std::invalid_argument naming the
// problem when utf8 is not valid UTF-8 or holds a character that
// Windows-1252 lacks (or a NUL, which a counted string could carry but the
// installer's terminated copies could not).
std::string toAnsi(const std::string& utf8);

// The licence as the installer's text box wants it: a UTF-8 byte-order mark
// dropped; text that is valid UTF-8 converted with toAnsi (bytes that are not
// UTF-8 are taken to be Windows-1252 already); every line end (LF, CR or
// CR LF) made CR LF. Throws std::invalid_argument as toAnsi does, and when
// the text holds a NUL byte.
std::string licenceToAnsi(const std::string& bytes);

// The UTF-8 form of Windows-1252 text (to find a packed file's source again).
// Bytes that Windows-1252 leaves unused become U+FFFD.
std::string fromAnsi(const std::string& ansi);
