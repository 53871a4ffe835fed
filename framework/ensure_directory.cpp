#include "framework/ensure_directory.h"

#include "framework/handles.h"
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

// True when `path` is a folder this process may enter: the test SetCurrentDirectory makes, without
// changing the current directory, which belongs to the whole process and its other threads.
bool CanEnterFolder(const wchar_t* path)
{
    KernelHandle folder(CreateFileW(path, FILE_TRAVERSE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !GetFileInformationByHandle(folder.Get(), &info))
        return false;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return true;
    SetLastError(ERROR_DIRECTORY);  // a file holds the folder's name
    return false;
}

}  // namespace

int EnsureDirectory(wchar_t* path)
{
    TrimSpaces(path);
    if (path[0] == L'\0')
        return 0;
    AppendLevelBackslash(path);
    if (CanEnterFolder(path))
        return 1;
    return CreateLevels(path) && CanEnterFolder(path);
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
