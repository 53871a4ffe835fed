#include "app/install_folder.h"

#include "framework/handles.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

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

namespace {
wchar_t g_startDirectory[MAX_PATH] = L"";
}  // namespace

void RememberStartDirectory()
{
    DWORD length = GetCurrentDirectoryW(MAX_PATH, g_startDirectory);
    if (length == 0 || length >= MAX_PATH)
        g_startDirectory[0] = L'\0';
}

const wchar_t* StartDirectory()
{
    if (g_startDirectory[0] == L'\0')
        RememberStartDirectory();
    return g_startDirectory;
}

namespace {

constexpr size_t kLongPath = 520;

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool IsAbsoluteFolder(const wchar_t* folder)
{
    if (folder[0] == L'\\' && folder[1] == L'\\')
        return true;  // a network share or a device path
    return IsDriveLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
}

namespace {

// The folder written out in full against `start`, not yet folded.
int JoinWithStart(const wchar_t* folder, const wchar_t* start, wchar_t* out, size_t size)
{
    const bool startHasDrive = IsDriveLetter(start[0]) && start[1] == L':';
    if (IsDriveLetter(folder[0]) && folder[1] == L':') {
        // Drive-relative: from the start directory on its own drive, else from that drive's root.
        if (startHasDrive && towupper(start[0]) == towupper(folder[0]))
            return CopyText(out, size, start) && AppendBackslash(out, size) && AppendText(out, size, folder + 2);
        return FormatText(out, size, L"%lc:\\%ls", folder[0], folder + 2);
    }
    if (folder[0] == L'\\')  // rooted: on the start directory's drive
        return startHasDrive && FormatText(out, size, L"%lc:%ls", start[0], folder);
    return CopyText(out, size, start) && AppendBackslash(out, size) && AppendText(out, size, folder);
}

}  // namespace

int MakeFolderAbsolute(wchar_t* folder, size_t size)
{
    if (folder[0] == L'\0' || IsAbsoluteFolder(folder))
        return 1;
    const wchar_t* start = StartDirectory();
    wchar_t joined[kLongPath];
    if (start[0] == L'\0' || !JoinWithStart(folder, start, joined, kLongPath))
        return 0;
    wchar_t full[kLongPath];
    DWORD length = GetFullPathNameW(joined, kLongPath, full, nullptr);
    if (length == 0 || length >= kLongPath)
        return 0;
    return CopyText(folder, size, full);
}
