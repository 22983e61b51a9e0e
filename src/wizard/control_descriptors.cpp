#include "controls/button.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "wizard/control_table.h"
#include "wizard/wizard.h"

namespace {
const DWORD plain = WS_CHILD;
const DWORD licenceStyle = WS_CHILD | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
const DWORD destinationStyle = WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD tabStop = WS_CHILD | WS_TABSTOP;
const DWORD option = WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr const char* button = kButtonBoyClassName;
}  // namespace

const char installingText[] = "Installing...";
const char completeText[] = "Install Complete.";

// Ids and fonts are filled in when the rows are registered (main window creation).
const ControlDescriptor controlDescriptors[CONTROL_COUNT] = {
    {1, 0, 0, plain, "STATIC", nullptr, 196, 6, 288, 13, nullptr},
    {1, 0, 0, plain, "STATIC", "License Agreement:", 196, 21, 288, 13, nullptr},
    {1, 0, WS_EX_CLIENTEDGE, licenceStyle, "EDIT", nullptr, 196, 38, 288, 170, nullptr},
    {2, 0, 0, plain, "STATIC", "Select destination folder:", 196, 6, 288, 13, nullptr},
    {2, 0, WS_EX_CLIENTEDGE, destinationStyle, "EDIT", nullptr, 196, 25, 288, 21, nullptr},
    {2, 0, 0, tabStop, button, "Browse", 196, 52, 80, 27, nullptr},
    {3, 0, 0, plain, "STATIC", "Free space needed:", 196, 93, 150, 13, nullptr},
    {3, 0, 0, plain, "STATIC", nullptr, 382, 93, 100, 13, nullptr},
    {3, 0, 0, plain, "STATIC", "Free space:", 196, 106, 150, 13, nullptr},
    {3, 0, 0, plain, "STATIC", nullptr, 382, 106, 100, 13, nullptr},
    {3, 0, 0, tabStop, button, "Refresh", 196, 125, 80, 27, nullptr},
    {4, 0, 0, plain, "STATIC", nullptr, 196, 93, 288, 13, nullptr},
    {4, 0, 0, plain, "STATIC", nullptr, 196, 106, 288, 39, nullptr},
    {4, 0, WS_EX_CLIENTEDGE, plain, kProgressBoyClassName, nullptr, 196, 151, 288, 13, nullptr},
    {3, 0, 0, plain, "STATIC", nullptr, 196, 166, 288, 13, nullptr},
    {4, 0, 0, plain, "STATIC", installingText, 196, 169, 288, 13, nullptr},
    {5, 0, 0, plain, "STATIC", completeText, 196, 169, 288, 13, nullptr},
    {5, 0, 0, plain, "STATIC", "Press Next to finish setup.", 196, 182, 288, 13, nullptr},
    {6, 0, 0, option, "BUTTON", "Create shortcuts", 216, 6, 288, 27, nullptr},
    {6, 0, 0, option, "BUTTON", "Create Program Group", 216, 33, 288, 27, nullptr},
    {6, 0, 0, option, "BUTTON", "View help file", 216, 60, 288, 27, nullptr},
    {6, 0, 0, option, "BUTTON", "Run program", 216, 87, 288, 27, nullptr},
    {6, 0, 0, option, "BUTTON", "Visit website", 216, 114, 288, 27, nullptr},
    {6, 0, 0, plain, "STATIC", nullptr, 196, 153, 288, 52, nullptr},
    {0, 0, 0, tabStop, kLinkClassName, systemName, 26, 269, 151, 16, nullptr},
    {0, 0, 0, tabStop, button, nullptr, 318, 264, 80, 27, nullptr},
    {0, 0, 0, tabStop, button, nullptr, 404, 264, 80, 27, nullptr},
};
