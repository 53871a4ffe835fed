#pragma once
// Takes the product's registration away again, walking the same tables the registration
// walked: shortcuts, the registry rows' keys, every member's ProgID and explorer choice, and
// the values the setup replaced put back. Only what still belongs to this installation goes;
// what the other build's installation now owns stays.

#include "framework/failure_tally.h"
#include "shell/replaced_values.h"

// `installFolder` ends in a backslash. Each shortcut or key of this installation that could not
// be removed goes to `failures` with Windows' reason; 1 when none did. A record entry that cannot
// be read, and a value that still names a removed ProgID because nothing could put back what
// stood before, go to `notes`.
// The uninstall entry, the installation's anchor, is left for RemoveUninstallEntry; a key both
// builds write follows the other build's installation while that one remains.
int UnregisterFromShell(const wchar_t* installFolder, LeftBehindNotes& notes, FailureTally& failures);

// Removes the uninstall entry once everything else of the installation is gone, while it still
// names `installFolder`, whatever else a fleet tool changed or added in it; 1 when nothing failed.
int RemoveUninstallEntry(const wchar_t* installFolder, FailureTally& failures);
