#include "shell/earlier_choices.h"

#include "framework/registry.h"
#include "framework/text.h"
#include "model/format_table.h"
#include "shell/shortcuts.h"
#include "variants/variant.h"

#include <windows.h>

namespace {

bool ReadVersion(EarlierChoices& out)
{
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_QUERY_VALUE);
    DWORD size = sizeof(DWORD);
    return entry
           && RegQueryValueExW(entry.Get(), L"VersionMajor", nullptr, nullptr, reinterpret_cast<BYTE*>(&out.versionMajor), &size) == ERROR_SUCCESS
           && (size = sizeof(DWORD), RegQueryValueExW(entry.Get(), L"VersionMinor", nullptr, nullptr,
                                                      reinterpret_cast<BYTE*>(&out.versionMinor), &size) == ERROR_SUCCESS);
}

// True when `extension`'s machine-wide default is the product's ProgID `suffix`.
bool LeadsToProduct(const FormatMember& member)
{
    wchar_t key[64], progId[64], expected[64];
    return FormatText(key, 64, L"SOFTWARE\\Classes\\.%ls", member.extension)
           && FormatText(expected, 64, L"%ls.%ls", variant::kProductFolderName, member.progIdSuffix)
           && ReadStringValue(HKEY_LOCAL_MACHINE, key, nullptr, sizeof(progId) - sizeof(wchar_t), progId, 64)
           && _wcsicmp(progId, expected) == 0;
}

}  // namespace

bool ReadEarlierChoices(const wchar_t* folder, EarlierChoices& out)
{
    out = EarlierChoices{};
    wchar_t settings[kFolderBufferSize], named[kFolderBufferSize] = L"";
    if (!ReadVersion(out) || !FormatText(settings, kFolderBufferSize, L"%ls%ls", folder, variant::kSettingsFile))
        return false;
    out.shortcuts = FindShortcutChoices(folder);
    GetPrivateProfileStringW(L"Others", L"INI_Folder", L"", named, kFolderBufferSize, settings);
    out.settingsInProductFolder = GetFileAttributesW(settings) != INVALID_FILE_ATTRIBUTES && named[0] == L'\0';
    for (int row = 0; row < kFormatRowCount && row < kAssocSlots; ++row) {
        bool all = kFormatTable[row].memberCount > 0;
        for (int m = 0; m < kFormatTable[row].memberCount && all; ++m)
            all = LeadsToProduct(kFormatTable[row].Member(m));
        out.formats[row] = all;
        out.anyFormat = out.anyFormat || all;
    }
    return true;
}
