#include "shell/app_registration.h"

#include "framework/joined_thread.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/stage_clock.h"
#include "model/registry_rows.h"
#include "framework/text.h"
#include "shell/association_writer.h"
#include "shell/registration_texts.h"
#include "shell/replaced_values.h"
#include "shell/shortcuts.h"
#include "variants/variant.h"
#include "variants/version_info.h"
#include "variants/windows_version.h"

#include <windows.h>

#include <cwchar>

namespace {

using enum RowKind;
using enum KeyReach;
using enum RowText;

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
    if (!t.Form(installFolder))
        return 1;
    // Before Vista the 32-bit build leaves out the verbs and the Default Programs entries.
    const bool vistaClass = !variant::kIs32Bit || IsVistaOrLater();

    // The shortcuts wait mostly on the file system and the registry rows on the registry: made
    // side by side, each fills the other's waits.
    auto makeShortcuts = [&] {
        StageScope stage(Stage::kShortcuts);
        CreateShortcuts(t.folder, {groupShortcuts != 0, desktopShortcut != 0, thumbsShortcut != 0}, allUsers);
    };
    auto shortcuts = StartAlongside(makeShortcuts);
    if (thumbsShortcut && vistaClass) {
        ReplacedValuesRecord record;
        for (const OwnedEntry& entry : kOwnedEntries)
            if (entry.group == RowGroup::kThumbnailVerbs)
                record.KeepParentsToMake(entry.root, entry.key, entry.parentLevels);
        WriteRows(RowGroup::kThumbnailVerbs, t);
    }
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
