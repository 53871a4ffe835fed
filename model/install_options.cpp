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

void ReadPathSwitch(const wchar_t* workingCopy, const wchar_t* name, wchar_t (&field)[kFolderBufferSize])
{
    if (ReadSwitch(workingCopy, name, field, kFolderBufferSize) && field[0] != L'\0')
        UnquoteValue(field);
}

void ReadNumberSwitch(const wchar_t* workingCopy, const wchar_t* name, int& field)
{
    wchar_t value[kSwitchSpan + 1];
    if (ReadSwitch(workingCopy, name, value, kSwitchSpan + 1))
        field = ReadNumber(value);
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

    ReadPathSwitch(work, L"/folder=", options.installFolder);
    // A folder cut off by the reader is not the folder asked for: it counts as no folder.
    if (SwitchValueWasCut(commandLine, work, L"/folder="))
        options.installFolder[0] = L'\0';
    ReadNumberSwitch(work, L"/desktop=", options.desktopShortcut);
    ReadNumberSwitch(work, L"/thumbs=", options.thumbsShortcut);
    ReadNumberSwitch(work, L"/group=", options.groupShortcuts);
    ReadNumberSwitch(work, L"/allusers=", options.allUsers);
    ReadNumberSwitch(work, L"/downgrade=", options.allowDowngrade);

    int assocChoice = 0;
    ReadNumberSwitch(work, L"/assoc=", assocChoice);
    SelectAssociations(options, assocChoice);

    // The 64-bit build looks for the switch too, but its association writer has no use for it.
    bool assocAllUsers = FindSwitch(work, L"/assocallusers") != nullptr;
    if constexpr (variant::kIs32Bit)
        options.assocAllUsers = assocAllUsers ? 1 : 0;

    ReadPathSwitch(work, L"/ini=", options.iniFolder);
    // Likewise a cut settings folder: the settings would go where nobody asked for them.
    if (SwitchValueWasCut(commandLine, work, L"/ini="))
        options.iniFolder[0] = L'\0';
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
