#include "app/install_folder.h"

#include "framework/handles.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <windows.h>

#include <cwchar>

namespace {

// Values are read with a 260-byte limit: at most 129 characters and the terminator.
constexpr DWORD kValueByteLimit = 260;
constexpr size_t kValueChars = kValueByteLimit / sizeof(wchar_t) + 1;

// Reads a string value of an HKEY_LOCAL_MACHINE key; 0 when the key or value is missing or too long.
int ReadMachineString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t (&value)[kValueChars])
{
    wmemset(value, L'\0', kValueChars);
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = kValueByteLimit;
    LONG status = RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        value[0] = L'\0';
        return 0;
    }
    return 1;
}

}  // namespace

int DefaultInstallFolder(wchar_t* out, size_t outSize)
{
    CopyText(out, outSize, variant::kFallbackInstallFolder);
    wchar_t programFiles[kValueChars];
    if (!ReadMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", programFiles)
        || programFiles[0] == L'\0')
        return 1;
    wchar_t folder[MAX_PATH];
    CopyText(folder, programFiles);
    AppendBackslash(folder);
    AppendText(folder, variant::kProductFolderName);
    CopyText(out, outSize, folder);
    return 1;
}

int FindEarlierInstallation(wchar_t* out, size_t outSize)
{
    out[0] = L'\0';
    wchar_t command[kValueChars];
    if (!ReadMachineString(L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command", nullptr, command)
        || command[0] == L'\0')
        return 0;
    if (wcsstr(command, variant::kMainProgram) == nullptr)
        return 0;

    // The command starts with a double quote; the executable path runs to the next one.
    wchar_t program[kValueChars];
    const wchar_t* start = command + 1;
    const wchar_t* quote = wcschr(start, L'"');
    CopyTextN(program, kValueChars, start, quote ? static_cast<size_t>(quote - start) : wcslen(start));

    wchar_t folder[MAX_PATH];
    FolderOfPath(program, folder, MAX_PATH);
    if (!EndsWith(folder, L'\\'))
        AppendText(folder, L"\\");
    CopyText(out, outSize, folder);
    return 1;
}

void FolderOfPath(const wchar_t* path, wchar_t* out, size_t outSize)
{
    size_t end = 0;
    if (path[0] != L'\0' && path[1] == L':')
        end = 2;
    for (size_t i = 0; path[i] != L'\0'; ++i) {
        if (path[i] == L'\\' || path[i] == L'/')
            end = i + 1;
    }
    CopyTextN(out, outSize, path, end);
}

void TrimSpaces(wchar_t* path)
{
    size_t len = wcslen(path);
    while (len > 0 && path[len - 1] == L' ')
        path[--len] = L'\0';
    if (path[0] == L' ' && len < MAX_PATH) {
        size_t lead = 0;
        while (path[lead] == L' ')
            ++lead;
        wmemmove(path, path + lead, len - lead + 1);
    }
}
