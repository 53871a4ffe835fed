#pragma once
// Makes sure a folder exists, creating it level by level.
#include <cstddef>

// 1 = the folder exists (perhaps just created), 0 = empty path or the folder cannot be entered
// (GetLastError() then tells why).
// `path` (at least 260 characters) is trimmed of blanks and given a trailing backslash in place.
// The current directory is never touched: threads make folders side by side.
int EnsureDirectory(wchar_t* path);

// True when `path` does not exist yet; `out` then holds the highest of its levels that is
// missing too (no trailing backslash): the folder whose making makes all of `path`.
bool TopmostMissingFolder(const wchar_t* path, wchar_t* out, size_t outSize);
