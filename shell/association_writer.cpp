#include "shell/association_writer.h"

#include "framework/failure_tally.h"
#include "framework/text.h"
#include "model/format_table.h"
#include "framework/registry.h"
#include "shell/registry_failures.h"
#include "shell/replaced_values.h"
#include "variants/variant.h"
#include "variants/windows_version.h"

#include <shlobj.h>
#include <windows.h>

#include <cwctype>

namespace {

constexpr size_t kNameSize = 300;
constexpr size_t kIconSize = 600;
constexpr int kFormatMemberLimit = 128;
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

// What every extension's registration shares; the keys it writes again and again are opened
// once for the whole table.
struct AssociationRun {
    FailureTally& failures;
    const wchar_t* openCommand;
    AssociationPlatform platform;
    bool assocAllUsers;
    bool confirmed;
    bool userKeys = true;  // HKEY_CURRENT_USER is the user's own
    RegKey capabilities;  // the Default Programs list; null before Vista
    RegKey supportedTypes;  // what "Open with" offers the program for
    wchar_t supportedTypesKey[kNameSize];
    ReplacedValuesRecord record;
    // The ProgIDs written so far: members that share one (.jpg, .jpeg, .jpe) write it once.
    const wchar_t* written[kFormatMemberLimit][2] = {};
    int writtenCount = 0;

    bool WritesProgIdOnce(const wchar_t* suffix, const wchar_t* icon)
    {
        for (int i = 0; i < writtenCount; ++i)
            if (wcscmp(written[i][0], suffix) == 0 && wcscmp(written[i][1], icon) == 0)
                return false;
        if (writtenCount < kFormatMemberLimit) {
            written[writtenCount][0] = suffix;
            written[writtenCount++][1] = icon;
        }
        return true;
    }
};

// The documented way to be offered for a type without taking it: "Open with" and, from
// Windows 10 on, "How do you want to open this?" list the ProgIDs named here.
void OfferInOpenWith(AssociationRun& run, const wchar_t* extension, const wchar_t* progId)
{
    wchar_t type[kNameSize], key[kNameSize];
    FormatText(type, kNameSize, L"SOFTWARE\\Classes\\.%ls", extension);
    FormatText(key, kNameSize, L"%ls\\OpenWithProgids", type);
    bool made = false;
    RegKey offers = CheckedKey(run.failures, CreateKey(HKEY_LOCAL_MACHINE, key, made), HKEY_LOCAL_MACHINE, key);
    if (!offers)
        return;
    // The value is the product's by its name; only the keys made for it need noting. A type key
    // with nothing in it but the offers was made with them.
    if (made)
        run.record.KeepMadeKeys(HKEY_LOCAL_MACHINE, key, progId, HoldsOnlyOneKey(HKEY_LOCAL_MACHINE, type) ? 2 : 1);
    CheckWrite(run.failures, SetStringValue(offers.Get(), progId, L""), HKEY_LOCAL_MACHINE, key, progId);
}

void PointExtensionAtProgId(AssociationRun& run, const wchar_t* extension, const wchar_t* progId)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\.%ls", extension);
    run.record.KeepBeforeReplacing(HKEY_LOCAL_MACHINE, key, nullptr, progId);
    CheckWrite(run.failures, SetKeyDefault(HKEY_LOCAL_MACHINE, key, progId), HKEY_LOCAL_MACHINE, key);
}

// XP keeps the user's choice in the FileExts key itself, under "ProgID".
void WriteXpExplorerChoice(AssociationRun& run, const wchar_t* extension, const wchar_t* progId)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls", extension);
    run.record.KeepBeforeReplacing(HKEY_CURRENT_USER, key, L"ProgID", progId);
    run.record.KeepBeforeReplacing(HKEY_CURRENT_USER, key, nullptr, L"");
    CheckWrite(run.failures, SetKeyDefault(HKEY_CURRENT_USER, key, L""), HKEY_CURRENT_USER, key);
    if (RegKey fileExts = OpenKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS))
        CheckWrite(run.failures, SetStringValue(fileExts.Get(), L"ProgID", progId), HKEY_CURRENT_USER, key, L"ProgID");
    if (run.assocAllUsers)
        PointExtensionAtProgId(run, extension, progId);
}

// The old choice is removed first so that the new one replaces it entirely.
void WriteExplorerChoice(AssociationRun& run, const wchar_t* extension, const wchar_t* progId)
{
    wchar_t key[kNameSize];
    FormatText(key, kNameSize,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls\\UserChoice", extension);
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    // Windows keeps no choice the setup could put back; only the key levels it makes are noted.
    run.record.KeepBeforeReplacing(HKEY_CURRENT_USER, key, L"Progid", progId);
    if (RegKey choice = CheckedKey(run.failures, CreateKey(HKEY_CURRENT_USER, key), HKEY_CURRENT_USER, key))
        CheckWrite(run.failures, SetStringValue(choice.Get(), L"Progid", progId), HKEY_CURRENT_USER, key, L"Progid");
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

void AddCapabilityAssociation(AssociationRun& run, const wchar_t* extension, const wchar_t* progIdSuffix)
{
    wchar_t name[kNameSize];
    FormatText(name, kNameSize, L".%ls", extension);
    wchar_t progId[kNameSize];
    FormatProgId(progId, kNameSize, progIdSuffix);
    CheckWrite(run.failures, SetStringValue(run.capabilities.Get(), name, progId), HKEY_LOCAL_MACHINE, kCapabilityKey, name);
}

// The ProgID's own keys: description, open command and icon.
void WriteProgId(FailureTally& failures, const wchar_t* progId, const wchar_t* progIdSuffix, const wchar_t* openCommand,
                 const wchar_t* icon)
{
    wchar_t upperSuffix[kNameSize];
    CopyText(upperSuffix, progIdSuffix);
    for (wchar_t* c = upperSuffix; *c; ++c)
        *c = static_cast<wchar_t>(towupper(*c));
    wchar_t description[kNameSize];
    FormatText(description, kNameSize, L"%ls %ls File", variant::kProductFolderName, upperSuffix);

    wchar_t key[kNameSize];
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls", progId);
    CheckWrite(failures, SetKeyDefault(HKEY_LOCAL_MACHINE, key, description), HKEY_LOCAL_MACHINE, key);
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls\\shell\\open\\command", progId);
    CheckWrite(failures, SetKeyDefault(HKEY_LOCAL_MACHINE, key, openCommand), HKEY_LOCAL_MACHINE, key);
    FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls\\DefaultIcon", progId);
    CheckWrite(failures, SetKeyDefault(HKEY_LOCAL_MACHINE, key, icon), HKEY_LOCAL_MACHINE, key);
}

void AssociateExtension(AssociationRun& run, const wchar_t* extension, const wchar_t* progIdSuffix,
                        const wchar_t* icon, int selected)
{
    wchar_t progId[kNameSize];
    FormatProgId(progId, kNameSize, progIdSuffix);

    if (run.platform.xpClass)
        WriteXpExplorerChoice(run, extension, progId);
    else if (selected || (IsAlwaysAssociated(extension) && run.confirmed))
        PointExtensionAtProgId(run, extension, progId);
    if (run.WritesProgIdOnce(progIdSuffix, icon))
        WriteProgId(run.failures, progId, progIdSuffix, run.openCommand, icon);
    OfferInOpenWith(run, extension, progId);

    if (!run.platform.vistaClass)
        return;
    if (run.capabilities)
        AddCapabilityAssociation(run, extension, progIdSuffix);
    if (run.supportedTypes) {
        wchar_t name[kNameSize];
        FormatText(name, kNameSize, L".%ls", extension);
        CheckWrite(run.failures, SetStringValue(run.supportedTypes.Get(), name, L""), HKEY_LOCAL_MACHINE,
                   run.supportedTypesKey, name);
    }
    // From Windows 8 on a choice carries a hash only Windows can make: one written here would be
    // taken for tampering and reset, and the user's own choice would be lost.
    if (selected && !run.platform.protectedChoice && run.userKeys)
        WriteExplorerChoice(run, extension, progId);
}

// Keeps five store-app ProgIDs out of the shell's "Open with" lists.
void BlockAppxOpenWith(AssociationRun& run)
{
    for (const wchar_t* id : kStoreAppProgIds) {
        wchar_t key[kNameSize];
        FormatText(key, kNameSize, L"SOFTWARE\\Classes\\%ls", id);
        run.record.KeepBeforeReplacing(HKEY_CURRENT_USER, key, L"NoOpenWith", L"");
        if (RegKey storeApp = CheckedKey(run.failures, CreateKey(HKEY_CURRENT_USER, key), HKEY_CURRENT_USER, key))
            CheckWrite(run.failures, SetStringValue(storeApp.Get(), L"NoOpenWith", L""), HKEY_CURRENT_USER, key,
                  L"NoOpenWith");
    }
}

}  // namespace

AssociationPlatform ClassifyAssociationPlatform()
{
    AssociationPlatform platform;
    platform.protectedChoice = IsWindows8OrLater();
    if constexpr (variant::kIs32Bit) {
        platform.vistaClass = IsVistaOrLater();
        platform.xpClass = IsXpClass();
    }
    return platform;
}

int WriteAssociations(const wchar_t* openCommand, const wchar_t* executable, const int* assocSelection,
                      bool associate, bool assocAllUsers, bool confirmed, bool userKeys, FailureTally& failures)
{
    static const int kNothingSelected[kFormatRowCount] = {};
    if (!confirmed) {
        assocSelection = kNothingSelected;
        associate = false;
    }
    AssociationRun run{failures, openCommand, ClassifyAssociationPlatform(), assocAllUsers, confirmed, true, {}, {}, {}, {}};
    run.platform.xpClass = run.platform.xpClass && userKeys;
    run.userKeys = userKeys;
    if (run.platform.vistaClass)
        run.capabilities = CheckedKey(failures, OpenKey(HKEY_LOCAL_MACHINE, kCapabilityKey, KEY_SET_VALUE),
                                      HKEY_LOCAL_MACHINE, kCapabilityKey);
    // Without it the program is missing from the "Open with" submenu of the types it opens.
    FormatText(run.supportedTypesKey, kNameSize, L"%ls\\SupportedTypes", variant::kApplicationKey);
    if (run.platform.vistaClass)
        run.supportedTypes = CheckedKey(failures, CreateKey(HKEY_LOCAL_MACHINE, run.supportedTypesKey),
                                        HKEY_LOCAL_MACHINE, run.supportedTypesKey);
    wchar_t image[kIconSize], video[kIconSize], audio[kIconSize];
    FormatText(image, kIconSize, L"%ls,0", executable);
    FormatText(video, kIconSize, L"%ls,9", executable);
    FormatText(audio, kIconSize, L"%ls,8", executable);

    for (int r = 0; r < kFormatRowCount; ++r) {
        const FormatRow& row = kFormatTable[r];
        const int selected = assocSelection[r] != 0;
        // Before Vista the 32-bit build registers only what was chosen.
        if (!run.platform.vistaClass && !selected)
            continue;
        const wchar_t* icon = IconForRow(row, image, video, audio);
        for (int m = 0; m < row.memberCount; ++m)
            AssociateExtension(run, row.Member(m).extension, row.Member(m).progIdSuffix, icon, selected);
    }

    if (associate) {
        if (run.platform.protectedChoice && run.userKeys)
            BlockAppxOpenWith(run);
        SystemParametersInfoW(SPI_SETICONS, 0, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    }
    // Every install from Vista on writes ProgIDs, "Open with" offers and capabilities (and the
    // three defaults once confirmed), chosen formats or not: the shell learns of it each time.
    if (associate || run.platform.vistaClass)
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
    return failures.Empty() ? 1 : 0;
}
