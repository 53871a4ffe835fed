#include "framework/ensure_directory.h"

#include "framework/path.h"
#include "framework/text.h"

#include <windows.h>

#include <cwchar>

namespace {

// Appends a backslash when there is room for it within the Windows path limit.
void AppendLevelBackslash(wchar_t* path)
{
    size_t len = wcslen(path);
    if (len <= MAX_PATH - 2 && (len == 0 || path[len - 1] != L'\\')) {
        path[len] = L'\\';
        path[len + 1] = L'\0';
    }
}

// Creates every level of `path`; 0 when it is too long to be rebuilt without cutting it.
int CreateLevels(wchar_t* path)
{
    size_t len = wcslen(path);
    // A longer path would come back cut short, and the install would land in the wrong folder.
    if (len >= MAX_PATH)
        return 0;
    wchar_t rebuilt[MAX_PATH] = L"";
    size_t from = 0;
    if (path[0] == L'\\' && path[1] == L'\\') {
        CopyText(rebuilt, L"\\\\");
        from = 2;
    }
    for (size_t i = from; i < len; ++i) {
        if (path[i] != L'\\') {
            size_t used = wcslen(rebuilt);
            rebuilt[used] = path[i];
            rebuilt[used + 1] = L'\0';
            continue;
        }
        TrimSpaces(rebuilt);
        CreateDirectoryW(rebuilt, nullptr);  // an existing level is no error
        AppendLevelBackslash(rebuilt);
    }
    CopyText(path, MAX_PATH, rebuilt);
    AppendLevelBackslash(path);
    return 1;
}

}  // namespace

int EnsureDirectory(wchar_t* path)
{
    TrimSpaces(path);
    if (path[0] == L'\0')
        return 0;
    AppendLevelBackslash(path);

    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    if (!SetCurrentDirectoryW(path)) {
        if (!CreateLevels(path))
            return 0;
        GetCurrentDirectoryW(MAX_PATH, previous);
        if (!SetCurrentDirectoryW(path))
            return 0;
    }
    SetCurrentDirectoryW(previous);
    return 1;
}

bool TopmostMissingFolder(const wchar_t* path, wchar_t* out, size_t outSize)
{
    if (!CopyText(out, outSize, path))
        return false;
    size_t length = wcslen(out);
    while (length > 0 && out[length - 1] == L'\\')
        out[--length] = L'\0';
    if (length == 0 || GetFileAttributesW(out) != INVALID_FILE_ATTRIBUTES)
        return false;
    // Upwards until the parent exists: a share's or drive's root is never taken for a level.
    for (wchar_t* cut = wcsrchr(out, L'\\'); cut != nullptr; cut = wcsrchr(out, L'\\')) {
        *cut = L'\0';
        const bool parentExists = GetFileAttributesW(out) != INVALID_FILE_ATTRIBUTES;
        *cut = L'\\';
        if (parentExists)
            break;
        *cut = L'\0';
    }
    return true;
}
