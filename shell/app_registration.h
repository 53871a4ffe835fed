#pragma once
// Makes the installed product known to Windows: shortcuts, the folder and drive verb, the
// application's ProgID and "Applications" entry, the uninstall entry, the Default Programs
// capabilities, and last the per-extension associations.
#include "framework/failure_tally.h"
#include "shell/shortcut_choices.h"

// What one install registers: its folder and the choices made for it, built once by the run.
struct RegistrationRequest {
    const wchar_t* installFolder = L"";  // may lack its trailing backslash or carry blanks at its ends
    bool confirmed = true;               // false after a "No" to the association question
    bool associate = false;
    ShortcutChoices shortcuts;  // the thumbnails choice brings the folder and drive verb too
    const int* assocSelection = nullptr;  // kAssocSlots entries, 1 for a chosen row
    bool assocAllUsers = false;           // matters only to the 32-bit build before Vista
    // The running account's own shortcuts and keys would reach nobody: they are left out.
    bool userPartsLeftOut = false;
};

// Every shortcut, key or value that cannot be made goes to `failures` and the rest goes on; 1
// when `failures` stayed empty. Not `confirmed`: before Vista (32-bit build) the associations
// are then not written at all, later no extension is pointed at the product.
int RegisterWithShell(const RegistrationRequest& request, FailureTally& failures);

// The values deployment tools read to tell this version is installed (DisplayVersion): written
// when the run made everything (`complete`), else taken away, so that the next scheduled run of
// the same setup tries again. Call it last; what cannot be written goes to `failures`.
void MarkInstalledVersion(bool complete, FailureTally& failures);
