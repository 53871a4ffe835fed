#pragma once
// The Welcome page's Browse button: the shell's folder browser, and the rule that puts the
// product into a folder of its own.
#include <cstddef>

class PropertyPage;

// Reads the page's folder field, lets the user pick a folder and writes the result back.
void BrowseInstallFolder(PropertyPage& page);

// 1 = a file-system folder was picked and `path` (260 characters, in and out) holds it with
// a trailing backslash; 0 = cancelled, `path` unchanged.
int BrowseForFolder(void* owner, wchar_t* path);

// Appends "Pictarn\" unless the last folder of `path` (ending in a backslash) is already
// named so, ignoring case; a drive root always gets it.
void ApplyProductFolderRule(wchar_t* path, size_t pathSize);
