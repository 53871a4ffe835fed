#include "model/install_options.h"

#include "model/format_table.h"
#include "model/install_folder.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <cwchar>

namespace {

// The switches other than "/silent" are searched in a 520-character copy of the command line.
constexpr size_t kWorkingCopySize = 520;
// A value is cut after 260 characters counted from the start of its switch.
constexpr size_t kSwitchSpan = 260;

int ReadNumber(const wchar_t* value)
{
    return static_cast<int>(wcstol(value, nullptr, 10));
}

// Reads the switch `name` into `value`; returns 0 when the switch is absent.
int ReadSwitch(const wchar_t* workingCopy, const wchar_t* name, wchar_t* value, size_t valueSize)
{
    const wchar_t* found = FindSwitch(workingCopy, name);
    if (found == nullptr)
        return 0;
    ReadSwitchValue(found, wcslen(name), value, valueSize);
    return 1;
}


// True when the switch's value in the full command line goes on past what the reader took
// (the 260-character span or the end of the working copy) with more than blanks.
bool SwitchValueWasCut(const wchar_t* commandLine, const wchar_t* workingCopy, const wchar_t* name)
{
    const wchar_t* found = FindSwitch(workingCopy, name);
    if (found == nullptr)
        return false;
    const size_t nameLength = wcslen(name);
    wchar_t value[kSwitchSpan + 1];
    ReadSwitchValue(found, nameLength, value, kSwitchSpan + 1);
    const wchar_t* original = commandLine + (found - workingCopy) + nameLength + wcslen(value);
    while (*original == L' ')  // blanks before the next switch are no part of the value
        ++original;
    return *original != L'\0' && *original != L'/';
}

// 1: the image rows; 2: every slot; else none.
void SelectAssociations(InstallOptions& options, int choice)
{
    for (int slot = 0; slot < kAssocSlots; ++slot) {
        const bool image = slot < kFormatRowCount && kFormatTable[slot].isImage;
        options.assocSelection[slot] = choice == 2 || (choice == 1 && image) ? 1 : 0;
    }
    options.associate = choice == 1 || choice == 2 ? 1 : 0;
}

// How a switch's value reaches the options.
enum class SwitchKind {
    kPath,      // a folder, unquoted once; cut off by the reader, it counts as none
    kNumber,    // base 10, with a sign; no digits give 0
    kChoice,    // a number handed to `choose`, 0 when the switch is absent
    kPresence,  // 1 when the name occurs, else 0
};

struct SwitchRow {
    const wchar_t* name;  // with its "=" when it takes a value
    SwitchKind kind;
    wchar_t (InstallOptions::*path)[kFolderBufferSize];
    int InstallOptions::*number;  // null: read, but nothing in this build uses it
    void (*choose)(InstallOptions&, int);
};

// Every switch but "/silent", in the order it is read. A new switch is a line here, and the
// code that uses its field.
constexpr SwitchRow kSwitches[] = {
    {L"/folder=", SwitchKind::kPath, &InstallOptions::installFolder, nullptr, nullptr},
    {L"/desktop=", SwitchKind::kNumber, nullptr, &InstallOptions::desktopShortcut, nullptr},
    {L"/thumbs=", SwitchKind::kNumber, nullptr, &InstallOptions::thumbsShortcut, nullptr},
    {L"/group=", SwitchKind::kNumber, nullptr, &InstallOptions::groupShortcuts, nullptr},
    {L"/allusers=", SwitchKind::kNumber, nullptr, &InstallOptions::allUsers, nullptr},
    {L"/downgrade=", SwitchKind::kNumber, nullptr, &InstallOptions::allowDowngrade, nullptr},
    {L"/assoc=", SwitchKind::kChoice, nullptr, nullptr, SelectAssociations},
    // Only the 32-bit build's association writer has a use for it.
    {L"/assocallusers", SwitchKind::kPresence, nullptr, variant::kIs32Bit ? &InstallOptions::assocAllUsers : nullptr,
     nullptr},
    {L"/ini=", SwitchKind::kPath, &InstallOptions::iniFolder, nullptr, nullptr},
};

void ReadSwitchInto(const wchar_t* commandLine, const wchar_t* work, const SwitchRow& row, InstallOptions& options)
{
    wchar_t value[kSwitchSpan + 1];
    const bool present = ReadSwitch(work, row.name, value, kSwitchSpan + 1) != 0;
    switch (row.kind) {
    case SwitchKind::kPath: {
        wchar_t(&field)[kFolderBufferSize] = options.*row.path;
        if (!present)
            return;
        CopyText(field, value);
        if (field[0] != L'\0')
            UnquoteValue(field);
        // A folder cut off by the reader is not the folder asked for: it counts as none.
        if (SwitchValueWasCut(commandLine, work, row.name))
            field[0] = L'\0';
        return;
    }
    case SwitchKind::kNumber:
        if (present && row.number)
            options.*row.number = ReadNumber(value);
        return;
    case SwitchKind::kChoice: row.choose(options, present ? ReadNumber(value) : 0); return;
    case SwitchKind::kPresence:
        if (row.number)
            options.*row.number = present ? 1 : 0;
        return;
    }
}

void TrimTrailingBlanks(wchar_t* text)
{
    size_t len = wcslen(text);
    while (len > 0 && text[len - 1] == L' ')
        text[--len] = L'\0';
}

}  // namespace

const wchar_t* FindSwitch(const wchar_t* commandLine, const wchar_t* name)
{
    return wcsstr(commandLine, name);
}

void ReadSwitchValue(const wchar_t* found, size_t nameLength, wchar_t* value, size_t valueSize)
{
    size_t span = wcsnlen(found, kSwitchSpan);
    size_t out = 0;
    for (size_t pos = nameLength; pos < span && found[pos] != L'/' && out + 1 < valueSize; ++pos)
        value[out++] = found[pos];
    value[out] = L'\0';
}

void UnquoteValue(wchar_t* value)
{
    TrimTrailingBlanks(value);
    size_t len = wcslen(value);
    if (len > 0 && value[len - 1] == L'"')
        value[--len] = L'\0';
    if (value[0] == L'"')
        wmemmove(value, value + 1, len);  // moves the terminator too
    TrimTrailingBlanks(value);
}

void ReadSwitches(const wchar_t* commandLine, InstallOptions& options)
{
    wchar_t work[kWorkingCopySize];
    CopyTextN(work, kWorkingCopySize, commandLine, kWorkingCopySize - 1);

    for (const SwitchRow& row : kSwitches)
        ReadSwitchInto(commandLine, work, row, options);
}

void BuildSilentOptions(const wchar_t* commandLine, InstallOptions& options)
{
    options = InstallOptions{};
    options.silent = 1;
    options.caption = variant::kSetupTitle;
    if (!FindEarlierInstallation(options.installFolder, kFolderBufferSize)) {
        DefaultInstallFolder(options.installFolder, kFolderBufferSize);
        CopyText(options.iniFolder, variant::kDefaultIniFolder);
    }
    ReadSwitches(commandLine, options);
}
