#pragma once
// Makes the installed product known to Windows: shortcuts, the folder and drive verb, the
// application's ProgID and "Applications" entry, the uninstall entry, the Default Programs
// capabilities, and last the per-extension associations.

// Always 1. `installFolder` may lack its trailing backslash or carry blanks at its ends.
// `confirmed` (the answer to the association question) and `assocAllUsers` change what the
// 32-bit build does before Vista; the 64-bit build does not depend on them.
int RegisterWithShell(int confirmed, int associate, const wchar_t* installFolder, int groupShortcuts,
                      int desktopShortcut, int thumbsShortcut, int allUsers, const int* assocSelection,
                      int assocAllUsers);
