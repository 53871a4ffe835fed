#include "engine/folder_check.h"

#include "framework/path.h"
#include "framework/random_name.h"
#include "framework/text.h"
#include "model/install_folder.h"
#include "model/install_options.h"

#include <windows.h>

#include <cwchar>

namespace {

bool IsDirectory(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Cuts `path` (absolute, no trailing backslash but a root's) back to its deepest level that exists
// as a folder; false when not even its drive's root does.
bool CutToExistingLevel(wchar_t* path)
{
    for (;;) {
        wchar_t level[kFolderBufferSize];
        // A drive's root is only a folder with its backslash.
        if (!CopyText(level, path) || (wcslen(level) == 2 && !AppendBackslash(level)))
            return false;
        if (IsDirectory(level))
            return CopyText(path, kFolderBufferSize, level);
        wchar_t* last = wcsrchr(path, L'\\');
        if (!last)
            return false;
        *last = L'\0';
    }
}

FolderProblem ProblemOf(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED: return FolderProblem::kAccessDenied;
    case ERROR_WRITE_PROTECT: return FolderProblem::kReadOnly;
    default: return FolderProblem::kNotCreatable;
    }
}

// Makes and removes a folder of a random name in `level`: whether this account may create there.
DWORD ProbeCreation(const wchar_t* level)
{
    wchar_t name[40], probe[kFolderBufferSize];
    if (!FormatRandomHex(name, 40) || !CopyText(probe, level) || !AppendBackslash(probe)
        || !AppendText(probe, L"pt_setup_probe.") || !AppendText(probe, name))
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!CreateDirectoryW(probe, nullptr))
        return GetLastError();
    RemoveDirectoryW(probe);
    return ERROR_SUCCESS;
}

}  // namespace

FolderVerdict CheckInstallFolder(const wchar_t* folder)
{
    FolderVerdict verdict;
    verdict.needed = InstallSpaceNeeded();
    wchar_t path[kFolderBufferSize];
    if (folder[0] == L'\0' || folder[1] != L':' || !CopyText(path, folder)
        || !MakeFolderAbsolute(path, kFolderBufferSize)) {
        verdict.problem = FolderProblem::kNoDrive;
        return verdict;
    }
    for (const wchar_t* p = path + 2; *p; ++p)
        if (*p != L'\\' && IsForbiddenNameCharacter(*p)) {
            verdict.problem = FolderProblem::kForbiddenCharacters;
            return verdict;
        }
    size_t length = wcslen(path);
    if (length > 3 && path[length - 1] == L'\\')
        path[--length] = L'\0';
    if (length > MaxInstallFolderLength()) {
        verdict.problem = FolderProblem::kTooLong;
        return verdict;
    }
    if (!CutToExistingLevel(path)) {
        verdict.problem = FolderProblem::kNotCreatable;
        verdict.error = ERROR_PATH_NOT_FOUND;
        return verdict;
    }
    DWORD flags = 0;
    wchar_t root[kFolderBufferSize];
    if (GetVolumePathNameW(path, root, kFolderBufferSize)
        && GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)
        && (flags & FILE_READ_ONLY_VOLUME)) {
        verdict.problem = FolderProblem::kReadOnly;
        return verdict;
    }
    if (const DWORD error = ProbeCreation(path)) {
        verdict.problem = ProblemOf(error);
        verdict.error = error;
        return verdict;
    }
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(path, &available, nullptr, nullptr)) {
        verdict.free = available.QuadPart;
        if (verdict.free < verdict.needed)
            verdict.problem = FolderProblem::kNotEnoughSpace;
    }
    return verdict;
}

void FormatByteSize(unsigned long long bytes, wchar_t* out, size_t outSize)
{
    constexpr const wchar_t* kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
    unsigned long long tenths = (bytes * 10 + 512) / 1024;  // in KB
    int unit = 0;
    while (tenths >= 10240 && unit < 3) {
        tenths = (tenths + 512) / 1024;
        ++unit;
    }
    if (unit == 0)
        FormatText(out, outSize, L"%llu %ls", (tenths + 5) / 10, kUnits[unit]);
    else
        FormatText(out, outSize, L"%llu.%llu %ls", tenths / 10, tenths % 10, kUnits[unit]);
}
