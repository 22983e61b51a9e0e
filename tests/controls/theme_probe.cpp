// Loads the visual-style library the way the installer does and reports in
// its exit code: 2 when the library was loaded, plus 1 when styles are active.
// The test runs it as a child because the library reads the user's setting
// once, when it is loaded into a process.
#include "controls/visual_styles.h"

int main() {
    LoadVisualStyles();
    return visualStylesLoaded * 2 + VisualStylesActive(nullptr);
}
