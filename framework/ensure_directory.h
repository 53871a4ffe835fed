#pragma once
// Makes sure a folder exists, creating it level by level.

// 1 = the folder exists (perhaps just created), 0 = empty path or the folder cannot be entered.
// `path` (at least 260 characters) is trimmed of blanks and given a trailing backslash in place;
// the current directory is the same afterwards.
int EnsureDirectory(wchar_t* path);
