#pragma once
// Files a run as SYSTEM reads or writes in folders others may write: opened only as a plain
// file of their own, never through a link (a reparse point, or a second name of another file)
// and never a folder.
#include "framework/handles.h"

#include <windows.h>

// CreateFileW without following a reparse point; an empty handle when the call fails or what it
// opened is not a plain file with one name (the last error is then ERROR_CANT_ACCESS_FILE).
KernelHandle OpenPlainFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);
