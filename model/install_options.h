#pragma once
// The record of one installation's choices, and the reader of the silent run's switches.
#include "model/format_table.h"

#include <cstddef>

inline constexpr size_t kFolderBufferSize = 520;
// One slot per format row, and one more that nothing reads: "/assoc=2" marks them all.
inline constexpr int kAssocSlots = kFormatRowCount + 1;

struct InstallOptions {
    wchar_t installFolder[kFolderBufferSize] = {};
    int groupShortcuts = 0;
    int desktopShortcut = 0;
    int thumbsShortcut = 0;
    int allUsers = 0;
    wchar_t iniFolder[kFolderBufferSize] = {};
    int assocSelection[kAssocSlots] = {};
    // Only the 32-bit build reads it; the 64-bit build leaves it 0.
    int assocAllUsers = 0;
    int associate = 0;
    int allowDowngrade = 0;  // "/downgrade=1": installs over a newer version on purpose
    int silent = 0;
    // The run's account is SYSTEM or not the signed-in user's: its own profile is nobody's to use.
    int forAnotherAccount = 0;
    const wchar_t* caption = L"";
};

// Finds a switch as a case-sensitive substring; the first occurrence counts.
const wchar_t* FindSwitch(const wchar_t* commandLine, const wchar_t* name);

// Cuts the value of the switch found at `found` (name length K including '='):
// it ends before the next '/', at the end of the text, or after 260 - K characters.
void ReadSwitchValue(const wchar_t* found, size_t nameLength, wchar_t* value, size_t valueSize);

// Removes trailing blanks, one closing and one opening double quote, then trailing blanks again.
void UnquoteValue(wchar_t* value);

// Reads every switch except "/silent" into `options`; untouched fields keep their defaults.
void ReadSwitches(const wchar_t* commandLine, InstallOptions& options);

// Fills `options` for a silent run: defaults, the earlier installation, then the switches.
void BuildSilentOptions(const wchar_t* commandLine, InstallOptions& options);
