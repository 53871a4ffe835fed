#pragma once
// The product's entry in Windows' list of registered applications, which Default apps reads. On
// 64-bit Windows both builds share that one key, while each keeps its capabilities in its own
// registry view: the entry names whichever build's capabilities are there.
#include <cstddef>

// The capabilities key of this build as the entry names it (a path of the 64-bit view).
const wchar_t* CapabilitiesPathOfThisBuild();

// Once this build's capabilities are gone: the entry stays while it names capabilities that are
// still there, names the other build's when only those remain, and goes otherwise. The registry's
// status: ERROR_SUCCESS when done.
long ReleaseRegisteredApplication();

// The folder the other build's uninstall entry names (in its own view), ending in a backslash;
// false where there is none.
bool FindOtherBuildsFolder(wchar_t* folder, size_t folderSize);
