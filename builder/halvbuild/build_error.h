// The one kind of failure halvbuild reports: a single line, exit code 1.
//
// Messages that come from the manifest or from a file it names read
// "FILE:LINE: FIELD: what failed", so the publisher can go straight to the
// value at fault. Any thread may throw one; the command line catches it.
#pragma once

#include <stdint.h>

#include <stdexcept>
#include <string>

struct BuildError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Where a manifest value came from: its key path ("files[2].source") and the
// line of the manifest it stands on (0 when it was not given at all).
struct ManifestSpot {
    std::string field;
    uint32_t line = 0;
};

// "FILE:LINE: FIELD: what"; the line is left out when it is 0, the field when
// it is empty.
inline BuildError locatedError(const std::string& file, const ManifestSpot& spot,
                               const std::string& what) {
    std::string text = file;
    if (spot.line != 0) text += ":" + std::to_string(spot.line);
    if (!spot.field.empty()) text += ": " + spot.field;
    return BuildError(text + ": " + what);
}
