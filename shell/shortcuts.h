#pragma once
// The product's shortcut files, made from the shortcut list: the desktop shortcuts and the
// Start-menu program group.
#include "framework/failure_tally.h"
#include "model/shortcut_list.h"
#include "shell/shortcut_choices.h"

#include <cstddef>

// Makes every listed shortcut whose choice was made, for `installFolder` (ending in a
// backslash), and removes the two previous versions' main group shortcuts. Each shortcut (or a
// program group) that cannot be made goes to `failures`; 1 when `failures` stayed empty.
int CreateShortcuts(const wchar_t* installFolder, const ShortcutChoices& made, FailureTally& failures);

// The choices an install into `installFolder` (ending in a backslash) made, read from the listed
// shortcuts that lead into it; all users when any of them is in the common folders.
ShortcutChoices FindShortcutChoices(const wchar_t* installFolder);

// Removes every listed shortcut, for the current user and all users, that leads into
// `installFolder` (ending in a backslash) or to a file no longer there, and the program group
// once it is empty. Each shortcut of this installation that could not be deleted goes to `failures`.
void RemoveShortcuts(const wchar_t* installFolder, FailureTally& failures);
