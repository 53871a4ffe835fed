#include "framework/path.h"

#include "framework/text.h"
#include "framework/zero_filled.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

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
PT_ZERO_FILLED wchar_t g_startDirectory[MAX_PATH];
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
    if (folder[0] == L'\0')
        return 1;
    // An absolute folder is folded too: C:\Program Files\..\Apps is C:\Apps, whatever its text says.
    const wchar_t* start = StartDirectory();
    wchar_t joined[kLongPath];
    if (IsAbsoluteFolder(folder) ? !CopyText(joined, kLongPath, folder)
                                 : start[0] == L'\0' || !JoinWithStart(folder, start, joined, kLongPath))
        return 0;
    wchar_t full[kLongPath];
    DWORD length = GetFullPathNameW(joined, kLongPath, full, nullptr);
    if (length == 0 || length >= kLongPath)
        return 0;
    return CopyText(folder, size, full);
}

bool IsRemotePath(const wchar_t* path)
{
    if (path[0] == L'\\' && path[1] == L'\\')
        return !((path[2] == L'?' || path[2] == L'.') && path[3] == L'\\');  // not \\?\ or \\.\ names
    if (path[0] == L'\0' || path[1] != L':')
        return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

bool RemoveAtRestart(const wchar_t* path)
{
    return !IsRemotePath(path) && MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
