#include "shell/unregister.h"

#include "framework/kill_point.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "model/messages.h"
#include "model/format_table.h"
#include "model/registry_rows.h"
#include "model/shortcut_list.h"
#include "shell/registered_application.h"
#include "shell/registration_texts.h"
#include "shell/replaced_values.h"
#include "shell/shortcuts.h"
#include "variants/variant.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kNameSize = 300;
constexpr size_t kValueSize = 1024;
constexpr wchar_t kClasses[] = L"SOFTWARE\\Classes\\";

bool IsFolderText(RowText text)
{
    switch (text) {
    case RowText::kVerbCommand:
    case RowText::kOpenCommand:
    case RowText::kFolder:
    case RowText::kUninstallString:
    case RowText::kQuietUninstallString:
    case RowText::kDisplayIcon:
    case RowText::kQuotedExecutable: return true;
    default: return false;
    }
}

bool StartsWithKey(const wchar_t* key, const wchar_t* owned)
{
    const size_t length = wcslen(owned);
    return _wcsnicmp(key, owned, length) == 0 && (key[length] == L'\0' || key[length] == L'\\');
}

// A key is this installation's when the rows inside it that carry the folder hold this
// installation's texts; one that names another folder is somebody else's.
bool OwnsKey(const OwnedEntry& entry, const RegistrationTexts& texts)
{
    bool matched = false;
    for (const RegistryRow& row : kRegistryRows) {
        if (row.root != entry.root || !IsFolderText(row.text) || !StartsWithKey(row.key, entry.key))
            continue;
        wchar_t value[kValueSize];
        if (!ReadStringValue(row.root, row.key, row.name, kValueSize * sizeof(wchar_t), value, kValueSize))
            continue;
        if (_wcsicmp(value, texts.Text(row.text)) != 0)
            return false;
        matched = true;
    }
    return matched;
}

// A key that could not be deleted goes to `failures` with Windows' reason.
void DeleteTree(HKEY root, const wchar_t* key, FailureTally& failures)
{
    const LSTATUS status = SHDeleteKeyW(root, key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        failures.AddKey(IDS_NOT_REMOVED, root, key, nullptr, static_cast<DWORD>(status));
}

// Where both builds are installed, the values both write name whichever came last: those that
// name this installation's program are made to name the other's, as its own install wrote them.
struct OtherInstallation {
    const wchar_t* ours;  // this installation's program
    wchar_t program[kValueSize];
    bool found;
};

OtherInstallation FindOtherInstallation(const RegistrationTexts& texts)
{
    OtherInstallation other{texts.executable, {}, false};
    wchar_t folder[kValueSize];
    other.found = FindOtherBuildsFolder(folder, kValueSize)
                  && FormatText(other.program, kValueSize, L"%ls%ls", folder, OtherBuildsFile(variant::kMainProgram))
                  && GetFileAttributesW(other.program) != INVALID_FILE_ATTRIBUTES;
    return other;
}

// Every string value in `key` and below that names this installation's program names the other's.
void Repoint(HKEY root, const wchar_t* key, const OtherInstallation& other, int depth = 0)
{
    RegKey opened = OpenKey(root, key, KEY_READ | KEY_SET_VALUE);
    if (!opened || depth > 4)
        return;
    wchar_t name[kNameSize], value[kValueSize], repointed[kValueSize];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = kNameSize, type = 0, bytes = (kValueSize - 1) * sizeof(wchar_t);
        const LSTATUS status = RegEnumValueW(opened.Get(), i, name, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(value), &bytes);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        value[status == ERROR_SUCCESS ? bytes / sizeof(wchar_t) : 0] = L'\0';
        const wchar_t* at = type == REG_SZ ? wcsstr(value, other.ours) : nullptr;
        if (at != nullptr && CopyTextN(repointed, kValueSize, value, static_cast<size_t>(at - value))
            && AppendText(repointed, kValueSize, other.program) && AppendText(repointed, kValueSize, at + wcslen(other.ours)))
            SetStringValue(opened.Get(), name, repointed);
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = kNameSize;
        wchar_t sub[kValueSize];
        if (RegEnumKeyExW(opened.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (FormatText(sub, kValueSize, L"%ls\\%ls", key, name))
            Repoint(root, sub, other, depth + 1);
    }
}

// A key of this installation goes, or, where both builds write it and the other's installation
// remains, follows that one.
void RemoveOrRepoint(HKEY root, const wchar_t* key, bool bothBuilds, const OtherInstallation& other,
                     FailureTally& failures)
{
    if (bothBuilds && other.found)
        Repoint(root, key, other);
    else
        DeleteTree(root, key, failures);
}

void RemoveOwnedEntries(const RegistrationTexts& texts, const OtherInstallation& other, FailureTally& failures)
{
    for (const OwnedEntry& entry : kOwnedEntries) {
        if (entry.group == RowGroup::kUninstallEntry)
            continue;  // the installation's anchor goes last, apart
        if (entry.value != nullptr) {  // the value both builds share
            if (const LSTATUS status = ReleaseRegisteredApplication(); status != ERROR_SUCCESS)
                failures.AddKey(IDS_NOT_REMOVED, entry.root, entry.key, entry.value, static_cast<DWORD>(status));
        } else if (OwnsKey(entry, texts)) {
            RemoveOrRepoint(entry.root, entry.key, entry.bothBuilds, other, failures);
        }
        KillPoint(entry.key);
    }
}

bool ProgIdExists(const wchar_t* progId)
{
    wchar_t key[kNameSize];
    if (!FormatText(key, kNameSize, L"%ls%ls", kClasses, progId))
        return false;
    return static_cast<bool>(OpenKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE));
}

// Replaced values go back once nothing of the product uses what the setup wrote: a ProgID no
// installation owns any more, or (for the store apps' values) no installation at all.
bool StillInUse(const wchar_t* ours)
{
    if (ours[0] != L'\0')
        return ProgIdExists(ours);
    return ProgIdExists(variant::kProductFolderName);
}

// Every member's ProgID that still opens this installation; one the other build's installation
// now owns stays. The extensions and explorer choices that pointed at them follow from the record.
void RemoveProgIds(const RegistrationTexts& texts, const OtherInstallation& other, FailureTally& failures)
{
    for (const FormatRow& row : kFormatTable) {
        for (int m = 0; m < row.memberCount; ++m) {
            const FormatMember member = row.Member(m);
            wchar_t progId[kNameSize], key[kNameSize], command[kValueSize];
            FormatText(progId, kNameSize, L"%ls.%ls", variant::kProductFolderName, member.progIdSuffix);
            FormatText(key, kNameSize, L"%ls%ls\\shell\\open\\command", kClasses, progId);
            if (ReadStringValue(HKEY_LOCAL_MACHINE, key, nullptr, kValueSize * sizeof(wchar_t), command, kValueSize)
                && _wcsicmp(command, texts.openCommand) == 0) {
                FormatText(key, kNameSize, L"%ls%ls", kClasses, progId);
                RemoveOrRepoint(HKEY_LOCAL_MACHINE, key, true, other, failures);
            }
        }
    }
}

// Each extension's offer of a product ProgID that no installation has any more; the offers of
// other programs stay, and the keys the setup made go with the record.
void RemoveOffers()
{
    for (const FormatRow& row : kFormatTable) {
        for (int m = 0; m < row.memberCount; ++m) {
            wchar_t progId[kNameSize], key[kNameSize];
            FormatText(progId, kNameSize, L"%ls.%ls", variant::kProductFolderName, row.Member(m).progIdSuffix);
            FormatText(key, kNameSize, L"%ls.%ls\\OpenWithProgids", kClasses, row.Member(m).extension);
            if (!ProgIdExists(progId))
                if (RegKey offers = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE))
                    RegDeleteValueW(offers.Get(), progId);
        }
    }
}

// Where a type's choice is kept: the machine's default, the user's choice before and from Vista on.
struct ChoiceValue {
    HKEY root;
    const wchar_t* keyFormat;
    const wchar_t* name;
};
const ChoiceValue kChoiceValues[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.%ls", nullptr},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls", L"ProgID"},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%ls\\UserChoice", L"Progid"},
};

// With the record damaged or gone, a type's choice may still name a product ProgID that is gone:
// it would open nothing. Such a value goes, and is told, since what stood before is unknown.
void RemoveDanglingChoices(LeftBehindNotes& notes)
{
    const size_t prefixLength = wcslen(variant::kProductFolderName);
    for (const FormatRow& row : kFormatTable) {
        for (int m = 0; m < row.memberCount; ++m) {
            for (const ChoiceValue& choice : kChoiceValues) {
                wchar_t key[kNameSize], value[kValueSize];
                if (!FormatText(key, kNameSize, choice.keyFormat, row.Member(m).extension)
                    || !ReadStringValue(choice.root, key, choice.name, (kValueSize - 1) * sizeof(wchar_t), value,
                                        kValueSize)
                    || _wcsnicmp(value, variant::kProductFolderName, prefixLength) != 0
                    || value[prefixLength] != L'.' || ProgIdExists(value))
                    continue;
                if (RegKey target = OpenKey(choice.root, key, KEY_SET_VALUE))
                    RegDeleteValueW(target.Get(), choice.name);
                wchar_t what[kNameSize + kValueSize];
                FormatText(what, kNameSize + kValueSize, L"%ls\\%ls (%ls)",
                           choice.root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER", key, value);
                notes.LeftBehind(what);
            }
        }
    }
}

}  // namespace

int UnregisterFromShell(const wchar_t* installFolder, LeftBehindNotes& notes, FailureTally& failures)
{
    RegistrationTexts texts;
    if (!texts.Form(installFolder)) {
        failures.Add(IDS_NOT_REMOVED, installFolder, ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    const OtherInstallation other = FindOtherInstallation(texts);
    RemoveShortcuts(texts.folder, failures);
    KillPoint(L"shortcuts");
    RemoveProgIds(texts, other, failures);
    KillPoint(L"ProgIDs");
    RemoveOwnedEntries(texts, other, failures);
    RemoveOffers();
    KillPoint(L"offers");
    RestoreReplacedValues(HKEY_LOCAL_MACHINE, StillInUse, notes);
    KillPoint(L"machine's values put back");
    RestoreReplacedValues(HKEY_CURRENT_USER, StillInUse, notes);
    RemoveDanglingChoices(notes);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
    return failures.Empty() ? 1 : 0;
}

int RemoveUninstallEntry(const wchar_t* installFolder, FailureTally& failures)
{
    for (const OwnedEntry& entry : kOwnedEntries) {
        // Compared as text: the folder is gone by now, and `installFolder` is spelt as the entry spells it.
        wchar_t location[kValueSize];
        if (entry.group == RowGroup::kUninstallEntry
            && ReadStringValue(entry.root, entry.key, L"InstallLocation", (kValueSize - 1) * sizeof(wchar_t), location,
                               kValueSize)
            && AppendBackslash(location, kValueSize) && _wcsicmp(location, installFolder) == 0)
            DeleteTree(entry.root, entry.key, failures);
    }
    return failures.Empty() ? 1 : 0;
}
