// The product's entry in the machine-wide list of installed programs
// (HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall).
//
// Threads: registerUninstallEntry runs on the main thread before the
// extraction starts, and again after it when the package gave a web address;
// removeCreatedUninstallEntry on the rollback thread after the worker has
// ended. They share one remembered key name and never overlap.
#pragma once

// The list that receives the entry.
#define UNINSTALL_LIST_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

// Creates or opens the key "<publisher> <product name> <version>" and writes
// DisplayName, DisplayIcon, UninstallString (the uninstaller's path in
// quotation marks), Publisher, Version, URLInfoAbout and HelpLink (only with a
// web address), DisplayVersion, InstallLocation, EstimatedSize (KiB, rounded
// up from requiredSpace), NoModify and NoRepair (both 1). Remembers the key
// when this call created it. Returns 1 when every value was written; 0 when
// publisher, product name, version or destination is empty, the key name
// holds a backslash or is too long, the key cannot be created, or a value
// cannot be written (values written before stay).
int registerUninstallEntry();

// Deletes the key that registerUninstallEntry created in this run; a key that
// existed before stays. Returns 1 when a key was deleted, else 0.
int removeCreatedUninstallEntry();
