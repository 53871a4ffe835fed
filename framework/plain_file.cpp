#include "framework/plain_file.h"

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
