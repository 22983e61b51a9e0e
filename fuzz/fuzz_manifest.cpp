// halvbuild's manifest loading: any bytes must end in a manifest or in a
// BuildError, never in another exception, a crash or a hang.
#include "fuzz_support.h"
#include "halvbuild/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = writeScratchFile(data, size);
    try {
        loadManifest(path);
    } catch (const BuildError&) {
    }
    return 0;
}
