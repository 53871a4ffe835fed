#pragma once
// Takes the product's registration away again, walking the same tables the registration
// walked: shortcuts, the registry rows' keys, every member's ProgID and explorer choice, and
// the values the setup replaced put back. Only what still belongs to this installation goes;
// what the other build's installation now owns stays.

#include "shell/replaced_values.h"

// `installFolder` ends in a backslash. 1 when everything of this installation went, 0 when a
// shortcut or key could not be removed. A record entry that cannot be read, and a value that
// still names a removed ProgID because nothing could put back what stood before, go to `notes`.
int UnregisterFromShell(const wchar_t* installFolder, LeftBehindNotes& notes);
