#include "framework/registry.h"

#include "framework/text.h"

#include <cwchar>

LONG SetKeyDefault(HKEY root, const wchar_t* subKey, const wchar_t* value)
{
    return RegSetValueW(root, subKey, REG_SZ, value, static_cast<DWORD>(wcslen(value)));
}

LONG SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value)
{
    DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

LONG SetDwordValue(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

namespace {

// The registry calls answer a status and leave the thread's last error alone.
bool Succeeded(LONG status)
{
    if (status == ERROR_SUCCESS)
        return true;
    SetLastError(static_cast<DWORD>(status));
    return false;
}

}  // namespace

RegKey OpenKey(HKEY root, const wchar_t* subKey, REGSAM access)
{
    RegKey key;
    if (!Succeeded(RegOpenKeyExW(root, subKey, 0, access, key.Receive())))
        key.Release();
    return key;
}

RegKey CreateKey(HKEY root, const wchar_t* subKey)
{
    RegKey key;
    if (!Succeeded(RegCreateKeyW(root, subKey, key.Receive())))
        key.Release();
    return key;
}

RegKey CreateKey(HKEY root, const wchar_t* subKey, bool& made)
{
    RegKey key;
    DWORD disposition = 0;
    if (!Succeeded(RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), &disposition)))
        key.Release();
    made = key && disposition == REG_CREATED_NEW_KEY;
    return key;
}

int ReadStringValue(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD byteLimit, wchar_t* out,
                    size_t outSize)
{
    out[0] = L'\0';
    RegKey key = OpenKey(root, subKey, KEY_QUERY_VALUE);
    if (!key)
        return 0;
    // One character more than the limit allows, so a value stored without terminator still ends.
    constexpr DWORD kMaxBytes = 1024;
    wchar_t value[kMaxBytes / sizeof(wchar_t) + 1] = {};
    DWORD bytes = byteLimit < kMaxBytes ? byteLimit : kMaxBytes;
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return 0;
    return CopyText(out, outSize, value);
}


namespace {

// How many sub-keys and values the key holds; false when it cannot be read.
bool CountContents(HKEY root, const wchar_t* subKey, DWORD& subKeys, DWORD& values)
{
    RegKey key = OpenKey(root, subKey, KEY_QUERY_VALUE);
    return key && RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                   nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

bool IsEmptyKey(HKEY root, const wchar_t* subKey)
{
    DWORD subKeys = 0, values = 0;
    return CountContents(root, subKey, subKeys, values) && subKeys == 0 && values == 0;
}

bool HoldsOnlyOneKey(HKEY root, const wchar_t* subKey)
{
    DWORD subKeys = 0, values = 0;
    return CountContents(root, subKey, subKeys, values) && subKeys == 1 && values == 0;
}
