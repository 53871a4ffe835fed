#include "shell/app_registration.h"

#include "app/install_folder.h"
#include "app/install_options.h"
#include "framework/text.h"
#include "shell/association_writer.h"
#include "shell/registry_values.h"
#include "shell/shortcuts.h"
#include "variants/variant.h"
#include "variants/version_info.h"
#include "variants/windows_version.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kTextSize = 600;

// The texts the registry rows take their data from.
enum TextId {
    kVerbName, kVerbCommand, kProductWord, kOpenCommand, kFriendlyName, kEmpty, kDisplayName,
    kUninstallString, kPublisher, kFolder, kDisplayVersion, kDisplayIcon, kQuotedExecutable,
    kApplicationDescription, kCapabilitiesPath, kTextCount
};

enum class RowKind {
    kDefaultValue,  // the key's default value; the key and its parents are created
    kNamedString,
    kNamedDword,
    kDeleteKey,
    kCreateKey,     // created and closed, nothing set
};

// How a key that takes named values is reached; a key that cannot be reached skips them.
enum class KeyReach { kNone, kOpenFull, kOpenSetValue, kCreate };

struct RegistryRow {
    HKEY root;
    const wchar_t* key;
    const wchar_t* name;
    RowKind kind;
    KeyReach reach;
    unsigned long data;  // a TextId, or the number of a REG_DWORD row
};

constexpr wchar_t kVerb[] = L"Browse with &Pictarn";
constexpr wchar_t kCapabilitiesKey[] = L"SOFTWARE\\Pictarn\\Capabilities";

using enum RowKind;
using enum KeyReach;

// Numbered from 1 as the registration walks them.
const RegistryRow kRows[] = {
    /* 1 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn", nullptr, kDefaultValue, kNone, kVerbName},
    /* 2 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn\\command", nullptr, kDefaultValue, kNone, kVerbCommand},
    /* 3 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn", nullptr, kDefaultValue, kNone, kVerbName},
    /* 4 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn\\command", nullptr, kDefaultValue, kNone, kVerbCommand},
    /* 5 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn", nullptr, kDefaultValue, kNone, kProductWord},
    /* 6 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command", nullptr, kDefaultValue, kNone, kOpenCommand},
    /* 7 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn\\DefaultIcon", nullptr, kDeleteKey, kNone, 0},
    /* 8 */ {HKEY_CLASSES_ROOT, nullptr, nullptr, kDefaultValue, kNone, kOpenCommand},  // key formed below
    /* 9 */ {HKEY_CLASSES_ROOT, variant::kApplicationKey, L"FriendlyAppName", kNamedString, kOpenFull, kFriendlyName},
    /* 10 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, nullptr, kDefaultValue, kNone, kEmpty},
    /* 11 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayName", kNamedString, kOpenFull, kDisplayName},
    /* 12 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"UninstallString", kNamedString, kOpenFull, kUninstallString},
    /* 13 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"Publisher", kNamedString, kOpenFull, kPublisher},
    /* 14 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation", kNamedString, kOpenFull, kFolder},
    /* 15 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayVersion", kNamedString, kOpenFull, kDisplayVersion},
    /* 16 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayIcon", kNamedString, kOpenFull, kDisplayIcon},
    /* 17 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"VersionMajor", kNamedDword, kOpenFull, variant::kVersionMajor},
    /* 18 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"VersionMinor", kNamedDword, kOpenFull, variant::kVersionMinor},
    /* 19 */ {HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"EstimatedSize", kNamedDword, kOpenFull, variant::kEstimatedSizeKb},
    /* 20 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn", nullptr, kCreateKey, kNone, 0},
    /* 21 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\shell\\open\\command", nullptr, kDefaultValue, kNone, kQuotedExecutable},
    /* 22 */ {HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationDescription", kNamedString, kCreate, kApplicationDescription},
    /* 23 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\Capabilities\\FileAssociations", nullptr, kCreateKey, kNone, 0},
    /* 24 */ {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", L"Pictarn", kNamedString, kOpenSetValue, kCapabilitiesPath},
};

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
    wchar_t applicationCommandKey[kTextSize];
    const wchar_t* byId[kTextCount];
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
    ok &= FormatText(t.applicationCommandKey, kTextSize, L"%ls\\shell\\open\\command", variant::kApplicationKey);

    t.byId[kVerbName] = kVerb;
    t.byId[kVerbCommand] = t.verbCommand;
    t.byId[kProductWord] = variant::kProductFolderName;
    t.byId[kOpenCommand] = t.openCommand;
    t.byId[kFriendlyName] = variant::kFriendlyAppName;
    t.byId[kEmpty] = L"";
    t.byId[kDisplayName] = t.displayName;
    t.byId[kUninstallString] = t.uninstallString;
    t.byId[kPublisher] = L"" PT_COMPANY_NAME;
    t.byId[kFolder] = t.folder;
    t.byId[kDisplayVersion] = t.displayVersion;
    t.byId[kDisplayIcon] = t.displayIcon;
    t.byId[kQuotedExecutable] = t.quotedExecutable;
    t.byId[kApplicationDescription] =
        L"Picture viewer, editor and converter - one of the most popular viewers worldwide";
    t.byId[kCapabilitiesPath] = kCapabilitiesKey;
    return ok;
}

const wchar_t* RowKey(const RegistryRow& row, const RegistrationTexts& t)
{
    return row.key ? row.key : t.applicationCommandKey;
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
        SetDwordValue(key, row.name, row.data);
    else
        SetStringValue(key, row.name, t.byId[row.data]);
}

// Writes rows `first` to `last` (numbered from 1). Named values that follow each other in
// one key are written while the key is open once.
void WriteRows(int first, int last, const RegistrationTexts& t)
{
    for (int number = first; number <= last;) {
        const RegistryRow& row = kRows[number - 1];
        switch (row.kind) {
        case kDefaultValue: SetKeyDefault(row.root, RowKey(row, t), t.byId[row.data]); break;
        case kDeleteKey: RegDeleteKeyW(row.root, row.key); break;
        case kCreateKey: CreateKey(row.root, row.key); break;
        case kNamedString:
        case kNamedDword: {
            RegKey key = ReachKey(row);
            int next = number;
            for (; next <= last && TakesNamedValue(kRows[next - 1]) && wcscmp(kRows[next - 1].key, row.key) == 0;
                 ++next)
                if (key)
                    WriteNamedValue(key.Get(), kRows[next - 1], t);
            number = next;
            continue;
        }
        }
        ++number;
    }
}

}  // namespace

int RegisterWithShell(int confirmed, int associate, const wchar_t* installFolder, int groupShortcuts,
                      int desktopShortcut, int thumbsShortcut, int allUsers, const int* assocSelection,
                      int assocAllUsers)
{
    static_assert(sizeof(kRows) / sizeof(kRows[0]) == 24);
    RegistrationTexts t;
    if (!FormTexts(installFolder, t))
        return 1;
    // Before Vista the 32-bit build leaves out the verbs and the Default Programs entries.
    const bool vistaClass = !variant::kIs32Bit || IsVistaOrLater();

    if (groupShortcuts)
        CreateGroupShortcuts(t.folder, allUsers);
    if (desktopShortcut)
        CreateDesktopShortcut(t.executable, variant::kDesktopShortcut, nullptr,
                              variant::kDesktopShortcutDescription, nullptr, 0, allUsers);
    if (thumbsShortcut) {
        CreateDesktopShortcut(t.executable, variant::kThumbsShortcut, t.executable, L"Pictarn - Thumbnails",
                              L"/thumbs", 7, allUsers);
        if (vistaClass)
            WriteRows(1, 4, t);
    }
    WriteRows(5, 9, t);
    WriteRows(10, 19, t);
    if (vistaClass) {
        WriteRows(20, 21, t);
        WriteRows(22, 23, t);
        WriteRows(24, 24, t);
    }
    // Before Vista, a "No" to the association question ends the registration here; later it
    // leaves every extension's default as it was.
    if (confirmed || vistaClass)
        WriteAssociations(t.openCommand, t.executable, assocSelection, associate, assocAllUsers, confirmed ? 0 : 1);
    return 1;
}
