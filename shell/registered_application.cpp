#include "shell/registered_application.h"

#include "framework/path.h"
#include "framework/registry.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "model/registry_rows.h"
#include "variants/variant.h"

#include <windows.h>

namespace {

constexpr size_t kPathSize = 300;

// A 32-bit process on 64-bit Windows; Windows before XP SP2 lacks the question and has no WOW64.
bool RunsUnderWow64()
{
    using IsWow64 = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 = ProcAddress<IsWow64>(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

// The other build's capabilities as the entry would name them; null where there is no other
// build (32-bit Windows).
const wchar_t* CapabilitiesPathOfOtherBuild()
{
    if constexpr (variant::kIs32Bit)
        return RunsUnderWow64() ? kCapabilitiesKey : nullptr;
    return kCapabilitiesOf32BitView;
}

bool CapabilitiesExist(const wchar_t* path)
{
    return static_cast<bool>(OpenKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE | KEY_WOW64_64KEY));
}

}  // namespace

const wchar_t* CapabilitiesPathOfThisBuild()
{
    if constexpr (variant::kIs32Bit)
        return RunsUnderWow64() ? kCapabilitiesOf32BitView : kCapabilitiesKey;
    return kCapabilitiesKey;
}

long ReleaseRegisteredApplication()
{
    RegKey list = OpenKey(HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY);
    if (!list)
        return ERROR_SUCCESS;
    wchar_t named[kPathSize];
    if (!ReadStringValue(list.Get(), nullptr, kRegisteredName, (kPathSize - 1) * sizeof(wchar_t), named, kPathSize))
        return ERROR_SUCCESS;  // no entry, or one of another form: nothing of this build's to take back
    if (CapabilitiesExist(named))
        return ERROR_SUCCESS;  // the other build's, or an installation's of this build elsewhere
    const wchar_t* other = CapabilitiesPathOfOtherBuild();
    if (other && CapabilitiesExist(other))
        return SetStringValue(list.Get(), kRegisteredName, other);
    const LSTATUS status = RegDeleteValueW(list.Get(), kRegisteredName);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool FindOtherBuildsFolder(wchar_t* folder, size_t folderSize)
{
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kOtherUninstallKey, KEY_QUERY_VALUE | variant::kOtherView);
    return entry
           && ReadStringValue(entry.Get(), L"", L"InstallLocation", static_cast<DWORD>((folderSize - 1) * sizeof(wchar_t)),
                              folder, folderSize)
           && IsAbsoluteFolder(folder) && AppendBackslash(folder, folderSize);
}
