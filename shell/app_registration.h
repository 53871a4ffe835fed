#pragma once
// Makes the installed product known to Windows: shortcuts, the folder and drive verb, the
// application's ProgID and "Applications" entry, the uninstall entry, the Default Programs
// capabilities, and last the per-extension associations.

// Always 1. `installFolder` may lack its trailing backslash or carry blanks at its ends.
// `confirmed` is 0 after a "No" to the association question: before Vista (32-bit build) the
// associations are then not written at all, later no extension is pointed at the product.
// `assocAllUsers` matters only to the 32-bit build before Vista.
int RegisterWithShell(int confirmed, int associate, const wchar_t* installFolder, int groupShortcuts,
                      int desktopShortcut, int thumbsShortcut, int allUsers, const int* assocSelection,
                      int assocAllUsers);
