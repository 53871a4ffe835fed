#include "engine/registered_installation.h"

#include "framework/file_identity.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <windows.h>

namespace {
constexpr size_t kPathSize = 1024;
}  // namespace

bool FindRegisteredFolder(wchar_t* registered, size_t registeredSize)
{
    return ReadStringValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation",
                           static_cast<DWORD>((registeredSize - 1) * sizeof(wchar_t)), registered, registeredSize)
           && IsAbsoluteFolder(registered) && AppendBackslash(registered, registeredSize);
}

bool FindRegisteredInstallation(const wchar_t* ownFolder, wchar_t* registered, size_t registeredSize)
{
    return FindRegisteredFolder(registered, registeredSize) && IsSameFolder(registered, ownFolder);
}

bool InstalledElsewhere(const wchar_t* folder, wchar_t* existing, size_t existingSize)
{
    wchar_t uninstaller[kPathSize];
    return FindRegisteredFolder(existing, existingSize) && !IsSameFolder(existing, folder)
           && FormatText(uninstaller, kPathSize, L"%ls%ls", existing, variant::kUninstallerFile)
           && GetFileAttributesW(uninstaller) != INVALID_FILE_ATTRIBUTES;
}
