#pragma once
// The product's shortcut files: the desktop shortcuts and the Start-menu program group.

// Saves `fileName` in the desktop folder (the common one with `allUsers`). Optional texts may
// be null. 1 = saved, 0 = not.
int CreateDesktopShortcut(const wchar_t* target, const wchar_t* fileName, const wchar_t* iconPath,
                          const wchar_t* description, const wchar_t* arguments, int iconIndex, int allUsers);

// Saves `fileName` in `folder` (ending in a backslash). 1 = saved, 0 = not.
int CreateShortcut(const wchar_t* folder, const wchar_t* fileName, const wchar_t* target,
                   const wchar_t* arguments, const wchar_t* iconPath, int iconIndex);

// Makes the "Pictarn" program group for `installFolder` (ending in a backslash) and removes
// the two previous versions' main shortcuts. Returns the last shortcut's result.
int CreateGroupShortcuts(const wchar_t* installFolder, int allUsers);
