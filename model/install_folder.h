#pragma once
// Where the product goes before anybody says otherwise: an earlier installation's folder,
// else the program-files folder, else C:\Pictarn\.
#include <cstddef>

// Always 1. Writes e.g. "C:\Program Files\Pictarn" (no trailing backslash) or "C:\Pictarn\".
int DefaultInstallFolder(wchar_t* out, size_t outSize);

// 1 = found and `out` holds the folder of the registered open command with a trailing
// backslash; 0 = none, `out` is empty.
int FindEarlierInstallation(wchar_t* out, size_t outSize);

// True when `folder` (absolute) lies below a program-files folder, whose rights Windows keeps
// to the administrators.
bool IsBelowProgramFiles(const wchar_t* folder);

// True when `folder` (absolute) lies in the profile of the user running the setup, which only
// that user and the administrators may change.
bool IsInUserProfile(const wchar_t* folder);

// The longest installation folder (absolute, without its trailing backslash) the install takes:
// every file it unpacks, under the name it is first written as, stays within MAX_PATH.
size_t MaxInstallFolderLength();

// Bytes the installed files take.
unsigned long long InstallSpaceNeeded();

// True for a character Windows allows in no file or folder name: control characters and < > : " / \ | ? *
// without the separator. A drive's colon is the caller's to skip.
bool IsForbiddenNameCharacter(wchar_t c);
