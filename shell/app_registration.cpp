#include "shell/app_registration.h"

#include "framework/path.h"
#include "framework/registry.h"
#include "model/registry_rows.h"
#include "framework/text.h"
#include "shell/association_writer.h"
#include "shell/shortcuts.h"
#include "variants/variant.h"
#include "variants/version_info.h"
#include "variants/windows_version.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kTextSize = 600;

using enum RowKind;
using enum KeyReach;
using enum RowText;

struct RegistrationTexts {
    wchar_t folder[kTextSize];
    wchar_t executable[kTextSize];
    wchar_t openCommand[kTextSize];
    wchar_t verbCommand[kTextSize];
    wchar_t displayName[kTextSize];
    wchar_t uninstallString[kTextSize];
    wchar_t displayVersion[kTextSize];
    wchar_t displayIcon[kTextSize];
    wchar_t quotedExecutable[kTextSize];

    // The text a row takes its data from.
    const wchar_t* Text(RowText id) const
    {
        switch (id) {
        case kVerbName: return kVerb;
        case kVerbCommand: return verbCommand;
        case kProductWord: return variant::kProductFolderName;
        case kOpenCommand: return openCommand;
        case kFriendlyName: return variant::kFriendlyAppName;
        case kDisplayName: return displayName;
        case kUninstallString: return uninstallString;
        case kPublisher: return L"" PT_COMPANY_NAME;
        case kFolder: return folder;
        case kDisplayVersion: return displayVersion;
        case kDisplayIcon: return displayIcon;
        case kQuotedExecutable: return quotedExecutable;
        case kApplicationDescription:
            return L"Picture viewer, editor and converter - one of the most popular viewers worldwide";
        case kCapabilitiesPath: return kCapabilitiesKey;
        case kEmpty:
        case kNoText:
        case kTextCount: break;
        }
        return L"";
    }
};

// 0 when the folder is too long for any of the texts: nothing is registered then rather than
// a cut-off path.
int FormTexts(const wchar_t* installFolder, RegistrationTexts& t)
{
    if (!CopyText(t.folder, installFolder))
        return 0;
    TrimSpaces(t.folder);
    int ok = AppendBackslash(t.folder);
    ok &= FormatText(t.executable, kTextSize, L"%ls%ls", t.folder, variant::kMainProgram);
    ok &= FormatText(t.openCommand, kTextSize, L"\"%ls\" \"%%1\"", t.executable);
    ok &= FormatText(t.verbCommand, kTextSize, L"%ls /thumbs", t.openCommand);
    ok &= FormatText(t.displayName, kTextSize, L"Pictarn %d.%d%ls", variant::kVersionMajor, variant::kVersionMinor,
                     variant::kDisplayNameSuffix);
    ok &= FormatText(t.uninstallString, kTextSize, L"\"%lspt_uninstall.exe\"", t.folder);
    ok &= FormatText(t.displayVersion, kTextSize, L"%d.%d", variant::kVersionMajor, variant::kVersionMinor);
    ok &= FormatText(t.displayIcon, kTextSize, L"%ls,0", t.executable);
    ok &= FormatText(t.quotedExecutable, kTextSize, L"\"%ls\"", t.executable);

    return ok;
}

bool TakesNamedValue(const RegistryRow& row)
{
    return row.kind == kNamedString || row.kind == kNamedDword;
}

RegKey ReachKey(const RegistryRow& row)
{
    switch (row.reach) {
    case kOpenFull: return OpenKey(row.root, row.key, KEY_ALL_ACCESS);
    case kOpenSetValue: return OpenKey(row.root, row.key, KEY_SET_VALUE);
    case kCreate: return CreateKey(row.root, row.key);
    case kNone: break;
    }
    return RegKey();
}

void WriteNamedValue(HKEY key, const RegistryRow& row, const RegistrationTexts& t)
{
    if (row.kind == kNamedDword)
        SetDwordValue(key, row.name, row.number);
    else
        SetStringValue(key, row.name, t.Text(row.text));
}

// Writes the rows of `group` in table order. Named values that follow each other in one key
// are written while the key is open once.
void WriteRows(RowGroup group, const RegistrationTexts& t)
{
    for (int index = 0; index < kRegistryRowCount;) {
        const RegistryRow& row = kRegistryRows[index];
        if (row.group != group) {
            ++index;
            continue;
        }
        switch (row.kind) {
        case kDefaultValue: SetKeyDefault(row.root, row.key, t.Text(row.text)); break;
        case kDeleteKey: RegDeleteKeyW(row.root, row.key); break;
        case kCreateKey: CreateKey(row.root, row.key); break;
        case kNamedString:
        case kNamedDword: {
            RegKey key = ReachKey(row);
            int next = index;
            for (; next < kRegistryRowCount && kRegistryRows[next].group == group
                   && TakesNamedValue(kRegistryRows[next]) && wcscmp(kRegistryRows[next].key, row.key) == 0;
                 ++next)
                if (key)
                    WriteNamedValue(key.Get(), kRegistryRows[next], t);
            index = next;
            continue;
        }
        }
        ++index;
    }
}

}  // namespace

int RegisterWithShell(int confirmed, int associate, const wchar_t* installFolder, int groupShortcuts,
                      int desktopShortcut, int thumbsShortcut, int allUsers, const int* assocSelection,
                      int assocAllUsers)
{
    RegistrationTexts t;
    if (!FormTexts(installFolder, t))
        return 1;
    // Before Vista the 32-bit build leaves out the verbs and the Default Programs entries.
    const bool vistaClass = !variant::kIs32Bit || IsVistaOrLater();

    CreateShortcuts(t.folder, {groupShortcuts != 0, desktopShortcut != 0, thumbsShortcut != 0}, allUsers);
    if (thumbsShortcut && vistaClass)
        WriteRows(RowGroup::kThumbnailVerbs, t);
    WriteRows(RowGroup::kApplication, t);
    WriteRows(RowGroup::kUninstallEntry, t);
    if (vistaClass)
        WriteRows(RowGroup::kDefaultPrograms, t);
    // Before Vista, a "No" to the association question ends the registration here; later it
    // leaves every extension's default as it was.
    if (confirmed || vistaClass)
        WriteAssociations(t.openCommand, t.executable, assocSelection, associate, assocAllUsers, confirmed ? 0 : 1);
    return 1;
}
