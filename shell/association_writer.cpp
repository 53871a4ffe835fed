#include "shell/association_writer.h"

#include "framework/text.h"
#include "model/format_table.h"
#include "framework/registry.h"
#include "shell/replaced_values.h"
#include "variants/variant.h"
#include "variants/windows_version.h"

#include <shlobj.h>
#include <windows.h>

#include <cwctype>

namespace {

constexpr size_t kNameSize = 300;
constexpr size_t kIconSize = 600;
constexpr wchar_t kCapabilityKey[] = L"SOFTWARE\\Pictarn\\Capabilities\\FileAssociations";

constexpr const wchar_t* kStoreAppProgIds[] = {
    L"AppXvhc4p7vz4b485xfp46hhk3fq3grkdgjg", L"AppXk0g4vb8gvt7b93tg50ybcy892pge6jmt",
    L"AppX43hnxtbyyps62jhe9sqpdzxn1790zetc", L"AppX9rkaq77s0jzh1tyccadx9ghba15r6t3h",
    L"AppX6eg8h5sxqq90pv53845wmnbewywdqq5h",
};

// These three point at the product on every install, selected or not.
bool IsAlwaysAssociated(const wchar_t* extension)
{
    return _wcsicmp(extension, L"JPG") == 0 || _wcsicmp(extension, L"PNG") == 0 ||
           _wcsicmp(extension, L"TIF") == 0;
}

void FormatProgId(wchar_t* out, size_t outSize, const wchar_t* suffix)
{
    FormatText(out, outSize, L"%ls.%ls", variant::kProductFolderName, suffix);
}

void PointExtensionAtProgId(const wchar_t* extension, const wchar_t* progId)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\.%ls", extension);
    RecordBeforeReplacing(HKEY_LOCAL_MACHINE, key, nullptr, progId);
    SetKeyDefault(HKEY_LOCAL_MACHINE, key, progId);
}

// XP keeps the user's choice in the FileExts key itself, under "ProgID".
void WriteXpExplorerChoice(const wchar_t* extension, const wchar_t* progId, int assocAllUsers)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls", extension);
    RecordBeforeReplacing(HKEY_CURRENT_USER, key, L"ProgID", progId);
    RecordBeforeReplacing(HKEY_CURRENT_USER, key, nullptr, L"");
    SetKeyDefault(HKEY_CURRENT_USER, key, L"");
    if (RegKey fileExts = OpenKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS))
        SetStringValue(fileExts.Get(), L"ProgID", progId);
    if (assocAllUsers)
        PointExtensionAtProgId(extension, progId);
}

// The old choice is removed first so that the new one replaces it entirely.
void WriteExplorerChoice(const wchar_t* extension, const wchar_t* progId)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls\\UserChoice", extension);
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    // Windows keeps no choice the setup could put back; only the key levels it makes are noted.
    RecordBeforeReplacing(HKEY_CURRENT_USER, key, L"Progid", progId);
    if (RegKey choice = CreateKey(HKEY_CURRENT_USER, key))
        SetStringValue(choice.Get(), L"Progid", progId);
}

const wchar_t* IconForRow(const FormatRow& row, const wchar_t* image, const wchar_t* video, const wchar_t* audio)
{
    switch (row.icon) {
    case FormatIcon::kFileItself: return L"%1";
    case FormatIcon::kVideo: return video;
    case FormatIcon::kAudio: return audio;
    case FormatIcon::kImage: break;
    }
    return image;
}

}  // namespace

AssociationPlatform ClassifyAssociationPlatform()
{
    AssociationPlatform platform;
    if constexpr (variant::kIs32Bit) {
        platform.vistaClass = IsVistaOrLater();
        platform.xpClass = IsXpClass();
    }
    return platform;
}

void AddCapabilityAssociation(const wchar_t* extension, const wchar_t* progIdSuffix)
{
    RegKey capabilities = OpenKey(HKEY_LOCAL_MACHINE, kCapabilityKey, KEY_SET_VALUE);
    if (!capabilities)
        return;
    wchar_t name[kNameSize];
    FormatText(name, kNameSize, L".%ls", extension);
    wchar_t progId[kNameSize];
    FormatProgId(progId, kNameSize, progIdSuffix);
    SetStringValue(capabilities.Get(), name, progId);
}

void AssociateExtension(const wchar_t* extension, const wchar_t* progIdSuffix, const wchar_t* openCommand,
                        const wchar_t* icon, int selected, const AssociationPlatform& platform, int assocAllUsers,
                        int declined)
{
    wchar_t progId[kNameSize];
    FormatProgId(progId, kNameSize, progIdSuffix);

    if (platform.xpClass)
        WriteXpExplorerChoice(extension, progId, assocAllUsers);
    else if (selected || (IsAlwaysAssociated(extension) && !declined))
        PointExtensionAtProgId(extension, progId);

    wchar_t upperSuffix[kNameSize];
    CopyText(upperSuffix, progIdSuffix);
    for (wchar_t* c = upperSuffix; *c; ++c)
        *c = static_cast<wchar_t>(towupper(*c));
    wchar_t description[kNameSize];
    FormatText(description, kNameSize, L"%ls %ls File", variant::kProductFolderName, upperSuffix);

    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls", progId);
    SetKeyDefault(HKEY_LOCAL_MACHINE, key, description);
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls\\shell\\open\\command", progId);
    SetKeyDefault(HKEY_LOCAL_MACHINE, key, openCommand);
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls\\DefaultIcon", progId);
    SetKeyDefault(HKEY_LOCAL_MACHINE, key, icon);

    if (!platform.vistaClass)
        return;
    AddCapabilityAssociation(extension, progIdSuffix);
    if (selected)
        WriteExplorerChoice(extension, progId);
}

void BlockAppxOpenWith()
{
    for (const wchar_t* id : kStoreAppProgIds) {
        wchar_t key[kNameSize];
        FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls", id);
        RecordBeforeReplacing(HKEY_CURRENT_USER, key, L"NoOpenWith", L"");
        if (RegKey storeApp = CreateKey(HKEY_CURRENT_USER, key))
            SetStringValue(storeApp.Get(), L"NoOpenWith", L"");
    }
}

int WriteAssociations(const wchar_t* openCommand, const wchar_t* executable, const int* assocSelection,
                      int associate, int assocAllUsers, int declined)
{
    static const int kNothingSelected[kFormatRowCount] = {};
    if (declined) {
        assocSelection = kNothingSelected;
        associate = 0;
    }
    const AssociationPlatform platform = ClassifyAssociationPlatform();
    wchar_t image[kIconSize], video[kIconSize], audio[kIconSize];
    FormatText(image, kIconSize, L"%ls,0", executable);
    FormatText(video, kIconSize, L"%ls,9", executable);
    FormatText(audio, kIconSize, L"%ls,8", executable);

    for (int r = 0; r < kFormatRowCount; ++r) {
        const FormatRow& row = kFormatTable[r];
        const int selected = assocSelection[r] != 0;
        // Before Vista the 32-bit build registers only what was chosen.
        if (!platform.vistaClass && !selected)
            continue;
        const wchar_t* icon = IconForRow(row, image, video, audio);
        for (int m = 0; m < row.memberCount; ++m)
            AssociateExtension(row.members[m].extension, row.members[m].progIdSuffix, openCommand, icon, selected,
                               platform, assocAllUsers, declined);
    }

    if (associate) {
        if (IsWindows8OrLater())
            BlockAppxOpenWith();
        SystemParametersInfoW(SPI_SETICONS, 0, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
    }
    return 1;
}
