#include "controls/visual_styles.h"

#include "controls/system_libraries.h"

#include <string.h>

VisualStyleTable visualStyleTable;
int visualStylesLoaded;

int OsMajorVersionAtLeast5() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return 0;
    return version.dwMajorVersion >= 5 ? 1 : 0;
}

// The cast goes through a plain function pointer type so that the compiler
// accepts FARPROC to a pointer of another signature without a warning.
template <typename Fn>
static void lookUp(HMODULE module, const char* name, Fn* field) {
    *field = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void LoadVisualStyles() {
    memset(&visualStyleTable, 0, sizeof visualStyleTable);
    visualStylesLoaded = OsMajorVersionAtLeast5();
    if (!visualStylesLoaded) return;
    // By full path: a "uxtheme.dll" beside the installer would otherwise be
    // found first, and run with the installer's rights.
    HMODULE module = loadSystemLibrary("uxtheme.dll");
    if (!module) {
        visualStylesLoaded = 0;
        return;
    }
    VisualStyleTable* t = &visualStyleTable;
    t->module = module;
    lookUp(module, "OpenThemeData", &t->OpenThemeData);
    lookUp(module, "CloseThemeData", &t->CloseThemeData);
    lookUp(module, "IsAppThemed", &t->IsAppThemed);
    lookUp(module, "IsThemeActive", &t->IsThemeActive);
    lookUp(module, "DrawThemeBackground", &t->DrawThemeBackground);
    lookUp(module, "DrawThemeBackgroundEx", &t->DrawThemeBackgroundEx);
    lookUp(module, "IsThemeBackgroundPartiallyTransparent",
           &t->IsThemeBackgroundPartiallyTransparent);
    lookUp(module, "DrawThemeParentBackground", &t->DrawThemeParentBackground);
    lookUp(module, "DrawThemeText", &t->DrawThemeText);
    lookUp(module, "GetThemeBackgroundContentRect", &t->GetThemeBackgroundContentRect);
    if (!VisualStyleTableComplete(t)) visualStylesLoaded = 0;
}

int VisualStyleTableComplete(const VisualStyleTable* table) {
    return table && table->IsThemeActive && table->OpenThemeData && table->CloseThemeData &&
           table->DrawThemeBackground && table->DrawThemeParentBackground &&
           table->DrawThemeText;
}

int VisualStylesActive(VisualStyleTable** table) {
    // Checked on every query, not only at load, because the controls call the
    // entry points without testing each one.
    if (!visualStylesLoaded || !VisualStyleTableComplete(&visualStyleTable)) {
        if (table) *table = nullptr;
        return 0;
    }
    if (table) *table = &visualStyleTable;
    return visualStyleTable.IsThemeActive() ? 1 : 0;
}

void ReopenButtonTheme(HWND window, VisualStyleTable** table, HTHEME* theme) {
    if (VisualStylesActive(table)) {
        if (*theme) (*table)->CloseThemeData(*theme);
        *theme = (*table)->OpenThemeData(window, L"BUTTON");
    } else if (*table && *theme) {
        (*table)->CloseThemeData(*theme);
        *theme = nullptr;
    }
}
