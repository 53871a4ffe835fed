#include "shell/registry_values.h"

#include <cwchar>

void SetKeyDefault(HKEY root, const wchar_t* subKey, const wchar_t* value)
{
    RegSetValueW(root, subKey, REG_SZ, value, static_cast<DWORD>(wcslen(value)));
}

void SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value)
{
    DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

void SetDwordValue(HKEY key, const wchar_t* name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

RegKey OpenKey(HKEY root, const wchar_t* subKey, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExW(root, subKey, 0, access, key.Receive()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

RegKey CreateKey(HKEY root, const wchar_t* subKey)
{
    RegKey key;
    if (RegCreateKeyW(root, subKey, key.Receive()) != ERROR_SUCCESS)
        key.Release();
    return key;
}
