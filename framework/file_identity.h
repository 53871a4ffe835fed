#pragma once
// Whether two paths name one folder, decided by what the file system says it is (its volume and
// number), not by how the paths are spelt: another drive letter, case or a trailing backslash.

// True when both name one existing folder; a link (reparse point) never counts as the folder
// it leads to.
bool IsSameFolder(const wchar_t* first, const wchar_t* second);
