#pragma once
// How the registration tells its run of a registry write that failed: under the key (and value)
// it was for, with the registry's status.
#include "framework/failure_tally.h"
#include "framework/handles.h"
#include "model/messages.h"

#include <windows.h>

// A write's status; a failure goes to `failures`.
inline void CheckWrite(FailureTally& failures, LONG status, HKEY root, const wchar_t* key, const wchar_t* name = nullptr)
{
    if (status != ERROR_SUCCESS)
        failures.AddKey(IDS_NOT_WRITTEN_KEY, root, key, name, static_cast<DWORD>(status));
}

// The key as opened or made, or an empty one after its failure (the last error) went to `failures`.
inline RegKey CheckedKey(FailureTally& failures, RegKey key, HKEY root, const wchar_t* name)
{
    if (!key)
        failures.AddKey(IDS_NOT_WRITTEN_KEY, root, name, nullptr, GetLastError());
    return key;
}
