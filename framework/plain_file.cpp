#include "framework/plain_file.h"

#include "framework/random_name.h"
#include "framework/text.h"

namespace {

constexpr size_t kFreshNameSize = 1100;

}  // namespace

KernelHandle OpenPlainFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition)
{
    KernelHandle file(CreateFileW(path, access | FILE_READ_ATTRIBUTES, share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file)
        return file;
    if (!GetFileInformationByHandle(file.Get(), &info) || info.nNumberOfLinks != 1
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return KernelHandle();
    }
    return file;
}

bool CreatePlainFile(const wchar_t* path, const void* data, size_t size)
{
    KernelHandle file = OpenPlainFile(path, GENERIC_WRITE, 0, CREATE_NEW);
    if (!file)
        return false;
    DWORD written = 0;
    if (size <= MAXDWORD && WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size
        && FlushFileBuffers(file.Get()))
        return true;
    const DWORD error = written == size ? GetLastError() : ERROR_WRITE_FAULT;
    file.Reset();
    DeleteFileW(path);
    SetLastError(error);
    return false;
}

bool ReplacePlainFile(const wchar_t* path, const void* data, size_t size)
{
    wchar_t random[40], fresh[kFreshNameSize];
    if (!FormatRandomHex(random, 40) || !FormatText(fresh, kFreshNameSize, L"%ls.%ls.tmp", path, random)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (!CreatePlainFile(fresh, data, size))
        return false;
    if (MoveFileExW(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    DeleteFileW(fresh);
    SetLastError(error);
    return false;
}
