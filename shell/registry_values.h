#pragma once
// The few ways the shell registration writes the registry. Every string is REG_SZ; no call
// names a registry view, so each build writes the view Windows gives its own process.
#include "framework/handles.h"

#include <windows.h>

// Sets a sub-key's default value, creating the sub-key and its missing parents; the length
// given to the call is in characters.
void SetKeyDefault(HKEY root, const wchar_t* subKey, const wchar_t* value);
// A named string value; its length in bytes includes the terminator.
void SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value);
void SetDwordValue(HKEY key, const wchar_t* name, DWORD value);

RegKey OpenKey(HKEY root, const wchar_t* subKey, REGSAM access);
RegKey CreateKey(HKEY root, const wchar_t* subKey);
