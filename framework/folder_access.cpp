#include "framework/folder_access.h"

#include "framework/handles.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

constexpr char kProgramFolder[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Read, write and create without DELETE or WRITE_DAC; "OW" limits a file's owner to the same.
constexpr char kSettingsFolder[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;BU)(A;OICI;0x1201bf;;;OW)";

// Rights that change a folder or what is in it, whoever holds them.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD
                                      | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE
                                      | GENERIC_ALL;
// Rights that rename, delete, re-permit or take a folder, or rename or delete what is in it.
constexpr ACCESS_MASK kMoveRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(known);
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// SYSTEM, the Administrators, TrustedInstaller, or the account that runs elevated.
bool IsAdministrative(PSID sid, PSID self)
{
    LocalMemory installer;
    return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid)
           || (self != nullptr && EqualSid(sid, self))
           || (ConvertStringSidToSidA("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                      installer.Receive())
               && EqualSid(sid, installer.Get()));
}

}  // namespace

bool OwnedByAdministrators(PSECURITY_DESCRIPTOR descriptor, PSID self)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr && IsAdministrative(owner, self);
}

namespace {

// True when no entry of `descriptor` that applies to the object itself grants anybody but the
// administrators any of `rights`, and its owner is one of them.
bool OnlyAdministratorsHold(PSECURITY_DESCRIPTOR descriptor, PSID self, ACCESS_MASK rights)
{
    PACL access = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!OwnedByAdministrators(descriptor, self) || !GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted)
        || !present || access == nullptr)
        return false;  // no list at all lets everybody do everything
    for (DWORD i = 0; i < access->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(access, i, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;  // what denies, or applies only to what is made inside, grants nobody the folder
        const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        if ((allowed->Mask & rights) && !IsAdministrative(const_cast<DWORD*>(&allowed->SidStart), self))
            return false;
    }
    return true;
}

const char* OwnDescriptorText(FolderUse use)
{
    return use == FolderUse::kPrograms ? kProgramFolder : kSettingsFolder;
}

}  // namespace

bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, PSID self)
{
    return OnlyAdministratorsHold(descriptor, self, kChangeRights);
}

bool NobodyElseCanMoveWhatItHolds(PSECURITY_DESCRIPTOR descriptor, PSID self)
{
    return OnlyAdministratorsHold(descriptor, self, kMoveRights);
}

bool IsOwnAccessList(PSECURITY_DESCRIPTOR descriptor, FolderUse use)
{
    LocalMemory own;
    PACL found = nullptr, expected = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!OwnedByAdministrators(descriptor, nullptr) || !GetSecurityDescriptorControl(descriptor, &control, &revision)
        || !(control & SE_DACL_PROTECTED) || !GetSecurityDescriptorDacl(descriptor, &present, &found, &defaulted)
        || !present || found == nullptr
        || !ConvertStringSecurityDescriptorToSecurityDescriptorA(OwnDescriptorText(use), SDDL_REVISION_1, own.Receive(),
                                                                 nullptr)
        || !GetSecurityDescriptorDacl(own.Get(), &present, &expected, &defaulted) || found->AceCount != expected->AceCount)
        return false;
    for (DWORD i = 0; i < found->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* is = nullptr;
        ACCESS_ALLOWED_ACE* shouldBe = nullptr;
        if (!GetAce(found, i, reinterpret_cast<void**>(&is)) || !GetAce(expected, i, reinterpret_cast<void**>(&shouldBe))
            || is->Header.AceType != shouldBe->Header.AceType
            || (is->Header.AceFlags & ~INHERITED_ACE) != shouldBe->Header.AceFlags || is->Mask != shouldBe->Mask
            || is->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !EqualSid(&is->SidStart, &shouldBe->SidStart))
            return false;
    }
    return true;
}

namespace {

// The account a process runs as; the SID lives in `buffer`.
struct AccountOf {
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    PSID sid = nullptr;

    explicit AccountOf(HANDLE process)
    {
        KernelHandle token;
        DWORD size = 0;
        if (OpenProcessToken(process, TOKEN_QUERY, token.Receive())
            && GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size))
            sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    }
};

// The object's owner and list, and the user this process runs as, for one decision about it.
template <typename Decide>
bool DecideByHandle(HANDLE handle, Decide decide)
{
    LocalMemory descriptor;
    PSID owner = nullptr;
    PACL access = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &access, nullptr, descriptor.Receive()) != ERROR_SUCCESS)
        return false;
    const AccountOf self(GetCurrentProcess());
    return decide(descriptor.Get(), self.sid);
}

}  // namespace

bool OwnedByAdministrators(HANDLE handle)
{
    return DecideByHandle(handle, [](PSECURITY_DESCRIPTOR d, PSID self) { return OwnedByAdministrators(d, self); });
}

bool OnlyAdministratorsCanChange(HANDLE handle)
{
    return DecideByHandle(handle, [](PSECURITY_DESCRIPTOR d, PSID self) { return OnlyAdministratorsCanChange(d, self); });
}

bool NobodyElseCanMoveWhatItHolds(HANDLE handle)
{
    return DecideByHandle(handle, [](PSECURITY_DESCRIPTOR d, PSID self) { return NobodyElseCanMoveWhatItHolds(d, self); });
}

bool HasOwnAccessList(HANDLE handle, FolderUse use)
{
    return DecideByHandle(handle, [use](PSECURITY_DESCRIPTOR d, PSID) { return IsOwnAccessList(d, use); });
}

bool RunsAsAdministrator()
{
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)
           && CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool RunsForAnotherAccount()
{
    const AccountOf self(GetCurrentProcess());
    if (!self.sid)
        return false;
    if (IsWellKnownSid(self.sid, WinLocalSystemSid))
        return true;
    DWORD shellProcess = 0;
    const HWND shell = GetShellWindow();
    if (!shell || !GetWindowThreadProcessId(shell, &shellProcess))
        return false;  // no desktop here: the account's own profile is the one in use
    // XP knows only the wider right.
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcess));
    if (!process)
        process.Reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shellProcess));
    const AccountOf desktop(process.Get());
    return process && desktop.sid && !EqualSid(self.sid, desktop.sid);
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
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(OwnDescriptorText(use), SDDL_REVISION_1, descriptor.Receive(),
                                                              nullptr)
        || !GetSecurityDescriptorDacl(descriptor.Get(), &present, &access, &defaulted)
        || !GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted))
        return false;
    // The owner could otherwise give itself the rights back; an administrator may name the group.
    SetSecurityInfo(handle.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr);
    return SetSecurityInfo(handle.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, access, nullptr) == ERROR_SUCCESS;
}
