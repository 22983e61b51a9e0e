// The private messages that the extraction worker and the rollback post to
// the main window. Their numbers overlap the custom controls' own messages;
// only a message to the main window has these meanings.
#pragma once

enum SetupMessage {
    WM_SETUP_EXTRACTED = 1025,  // wParam 0: every file was installed
    WM_SETUP_FAILED = 1026,     // wParam 1: show the fatal-error message first; 0: silent
    WM_SETUP_REMOVED = 1027,    // the rollback has finished; wParam 1 when it stopped early
};
