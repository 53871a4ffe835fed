#pragma once
// Files a run as SYSTEM reads or writes in folders others may write: opened only as a plain
// file of their own, never through a link (a reparse point, or a second name of another file)
// and never a folder; written only as new files, never through one somebody else made.
#include "framework/handles.h"

#include <windows.h>

#include <cstddef>

// CreateFileW without following a reparse point; an empty handle when the call fails or what it
// opened is not a plain file with one name (the last error is then ERROR_CANT_ACCESS_FILE).
KernelHandle OpenPlainFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);

// Writes `size` bytes as a new file at `path`; false (nothing left there) when anything was
// there or not every byte reached the disk.
bool CreatePlainFile(const wchar_t* path, const void* data, size_t size);

// Writes `size` bytes as a new file under a name nobody can guess beside `path`, then moves it
// over `path`: whoever reads `path` finds the old file or the new one, and whatever stood at the
// name (a link among them) is replaced, never written through. False, the last error set and
// nothing left behind, when that fails.
bool ReplacePlainFile(const wchar_t* path, const void* data, size_t size);
