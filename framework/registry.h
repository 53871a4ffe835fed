#pragma once
// The few ways the program reads and writes the registry. Every string written is REG_SZ; no
// call names a registry view, so each build uses the view Windows gives its own process.
#include "framework/handles.h"

#include <windows.h>

// The setters answer the registry's status: ERROR_SUCCESS or the Windows error.
// Sets a sub-key's default value, creating the sub-key and its missing parents; the length
// given to the call is in characters.
LONG SetKeyDefault(HKEY root, const wchar_t* subKey, const wchar_t* value);
// A named string value; its length in bytes includes the terminator.
LONG SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value);
LONG SetDwordValue(HKEY key, const wchar_t* name, DWORD value);

// An empty key when the call failed; GetLastError() then holds the registry's status.
RegKey OpenKey(HKEY root, const wchar_t* subKey, REGSAM access);
RegKey CreateKey(HKEY root, const wchar_t* subKey);
// The same, and whether the key itself (not its parents) was made by this call.
RegKey CreateKey(HKEY root, const wchar_t* subKey, bool& made);

// Reads a string value (REG_SZ or REG_EXPAND_SZ) of `subKey` with a data limit of `byteLimit`
// bytes into `out`; `name` null reads the default value. 0 when the key or value is missing,
// of another type, longer than the limit, or `out` is too small.
int ReadStringValue(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD byteLimit, wchar_t* out,
                    size_t outSize);

// True when the key exists and holds neither values nor sub-keys.
bool IsEmptyKey(HKEY root, const wchar_t* subKey);
// True when the key exists and holds one sub-key and no values.
bool HoldsOnlyOneKey(HKEY root, const wchar_t* subKey);
