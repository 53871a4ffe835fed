#include "shell/app_registration.h"

#include "framework/failure_tally.h"
#include "framework/joined_thread.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/stage_clock.h"
#include "model/messages.h"
#include "model/registry_rows.h"
#include "framework/text.h"
#include "shell/association_writer.h"
#include "shell/registration_texts.h"
#include "shell/registry_failures.h"
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

void WriteNamedValue(HKEY key, const RegistryRow& row, const RegistrationTexts& t, FailureTally& failures)
{
    CheckWrite(failures, row.kind == kNamedDword ? SetDwordValue(key, row.name, row.number)
                                                 : SetStringValue(key, row.name, t.Text(row.text)),
               row.root, row.key, row.name);
}

// Writes the rows of `group` in table order. Named values that follow each other in one key
// are written while the key is open once; a key that cannot be reached is one failure for all.
void WriteRows(RowGroup group, const RegistrationTexts& t, FailureTally& failures)
{
    const int rowCount = static_cast<int>(kRegistryRows.size());
    for (int index = 0; index < rowCount;) {
        const RegistryRow& row = kRegistryRows[index];
        if (row.group != group) {
            ++index;
            continue;
        }
        switch (row.kind) {
        case kDefaultValue: CheckWrite(failures, SetKeyDefault(row.root, row.key, t.Text(row.text)), row.root, row.key); break;
        case kDeleteKey: RegDeleteKeyW(row.root, row.key); break;  // a leftover of old versions, if any
        case kCreateKey: CheckedKey(failures, CreateKey(row.root, row.key), row.root, row.key); break;
        case kNamedString:
        case kNamedDword: {
            RegKey key = CheckedKey(failures, ReachKey(row), row.root, row.key);
            int next = index;
            for (; next < rowCount && kRegistryRows[next].group == group
                   && TakesNamedValue(kRegistryRows[next]) && wcscmp(kRegistryRows[next].key, row.key) == 0;
                 ++next)
                if (key)
                    WriteNamedValue(key.Get(), kRegistryRows[next], t, failures);
            index = next;
            continue;
        }
        }
        ++index;
    }
}

// When each part of the rows is written. Before Vista the 32-bit build leaves out the verbs and
// the Default Programs entries; the installed version is written apart, once the run is complete.
struct GroupCondition {
    RowGroup group;
    bool (*written)(const RegistrationRequest& request, bool vistaClass);
};
constexpr GroupCondition kGroupConditions[] = {
    {RowGroup::kThumbnailVerbs, [](const RegistrationRequest& r, bool vista) { return r.shortcuts.thumbnails && vista; }},
    {RowGroup::kApplication, [](const RegistrationRequest&, bool) { return true; }},
    {RowGroup::kUninstallEntry, [](const RegistrationRequest&, bool) { return true; }},
    {RowGroup::kDefaultPrograms, [](const RegistrationRequest&, bool vista) { return vista; }},
};

}  // namespace

int RegisterWithShell(const RegistrationRequest& request, FailureTally& failures)
{
    RegistrationTexts t;
    if (!t.Form(request.installFolder)) {
        failures.Add(IDS_NOT_REGISTERED, request.installFolder, ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    const bool vistaClass = !variant::kIs32Bit || IsVistaOrLater();

    // The shortcuts wait mostly on the file system and the registry rows on the registry: made
    // side by side, each fills the other's waits.
    auto makeShortcuts = [&] {
        StageScope stage(Stage::kShortcuts);
        if (!request.userPartsLeftOut || request.shortcuts.allUsers)
            CreateShortcuts(t.folder, request.shortcuts, failures);
    };
    auto shortcuts = StartAlongside(makeShortcuts);
    for (const GroupCondition& part : kGroupConditions) {
        if (!part.written(request, vistaClass))
            continue;
        // Parents the part may make are noted first, so that the removal takes away those it made.
        ReplacedValuesRecord record;
        for (const OwnedEntry& entry : kOwnedEntries)
            if (entry.group == part.group && entry.parentLevels > 0)
                record.KeepParentsToMake(entry.root, entry.key, entry.parentLevels);
        WriteRows(part.group, t, failures);
    }
    // Before Vista, a "No" to the association question ends the registration here; later it
    // leaves every extension's default as it was.
    if (request.confirmed || vistaClass)
        WriteAssociations(t.openCommand, t.executable, request.assocSelection, request.associate,
                          request.assocAllUsers, request.confirmed, !request.userPartsLeftOut, failures);
    shortcuts.Join();
    return failures.Empty() ? 1 : 0;
}

void MarkInstalledVersion(bool complete, FailureTally& failures)
{
    RegistrationTexts t;
    if (complete) {
        if (t.Form(L"\\"))  // the version's texts name no folder
            WriteRows(RowGroup::kInstalledVersion, t, failures);
        return;
    }
    for (const RegistryRow& row : kRegistryRows)
        if (row.group == RowGroup::kInstalledVersion)
            if (RegKey key = OpenKey(row.root, row.key, KEY_SET_VALUE))
                RegDeleteValueW(key.Get(), row.name);
}
