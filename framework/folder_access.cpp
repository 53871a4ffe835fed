#include "framework/folder_access.h"

#include "framework/handles.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

constexpr char kProgramFolder[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Read, write and create without DELETE or WRITE_DAC; "OW" limits a file's owner to the same.
constexpr char kSettingsFolder[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;BU)(A;OICI;0x1201bf;;;OW)";

}  // namespace

bool RunsAsAdministrator()
{
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)
           && CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool ProtectFolder(const wchar_t* folder, FolderUse use)
{
    KernelHandle handle(CreateFileW(folder, READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.Get(), &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    LocalMemory descriptor;
    PACL access = nullptr;
    PSID owner = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(use == FolderUse::kPrograms ? kProgramFolder : kSettingsFolder, SDDL_REVISION_1, descriptor.Receive(),
                                                              nullptr)
        || !GetSecurityDescriptorDacl(descriptor.Get(), &present, &access, &defaulted)
        || !GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted))
        return false;
    // The owner could otherwise give itself the rights back; an administrator may name the group.
    SetSecurityInfo(handle.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr);
    return SetSecurityInfo(handle.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, access, nullptr) == ERROR_SUCCESS;
}
