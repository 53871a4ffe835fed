#include "framework/file_identity.h"

#include "framework/handles.h"

#include <windows.h>

namespace {

// Volume serial and file number of a plain folder; false for anything else.
bool FolderIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info)
{
    KernelHandle folder(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    return folder && GetFileInformationByHandle(folder.Get(), &info)
           && (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                  == FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

bool IsSameFolder(const wchar_t* first, const wchar_t* second)
{
    BY_HANDLE_FILE_INFORMATION a, b;
    return FolderIdentity(first, a) && FolderIdentity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
           && a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
