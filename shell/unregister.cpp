#include "shell/unregister.h"

#include "framework/registry.h"
#include "model/messages.h"
#include "framework/text.h"
#include "model/format_table.h"
#include "model/registry_rows.h"
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

void RemoveOwnedEntries(const RegistrationTexts& texts, FailureTally& failures)
{
    for (const OwnedEntry& entry : kOwnedEntries) {
        if (entry.value != nullptr) {  // the value both builds share
            if (const LSTATUS status = ReleaseRegisteredApplication(); status != ERROR_SUCCESS)
                failures.AddKey(IDS_NOT_REMOVED, entry.root, entry.key, entry.value, static_cast<DWORD>(status));
            continue;
        }
        if (OwnsKey(entry, texts))
            DeleteTree(entry.root, entry.key, failures);
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
void RemoveProgIds(const RegistrationTexts& texts, FailureTally& failures)
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
                DeleteTree(HKEY_LOCAL_MACHINE, key, failures);
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
    RemoveShortcuts(texts.folder, failures);
    RemoveProgIds(texts, failures);
    RemoveOwnedEntries(texts, failures);
    RemoveOffers();
    RestoreReplacedValues(HKEY_LOCAL_MACHINE, StillInUse, notes);
    RestoreReplacedValues(HKEY_CURRENT_USER, StillInUse, notes);
    RemoveDanglingChoices(notes);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
    return failures.Empty() ? 1 : 0;
}
