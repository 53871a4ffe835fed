#pragma once
// The texts the registration writes for one installation folder: what the registry rows take
// their data from, and what removing the product compares with to find its own entries.
#include "model/registry_rows.h"

#include <cstddef>

inline constexpr size_t kRegistrationTextSize = 600;

struct RegistrationTexts {
    wchar_t folder[kRegistrationTextSize];
    wchar_t executable[kRegistrationTextSize];
    wchar_t openCommand[kRegistrationTextSize];
    wchar_t verbCommand[kRegistrationTextSize];
    wchar_t displayName[kRegistrationTextSize];
    wchar_t uninstallString[kRegistrationTextSize];
    wchar_t quietUninstallString[kRegistrationTextSize];
    wchar_t displayVersion[kRegistrationTextSize];
    wchar_t displayIcon[kRegistrationTextSize];
    wchar_t quotedExecutable[kRegistrationTextSize];

    // 0 when the folder is too long for any of the texts: nothing is registered then rather
    // than a cut-off path.
    int Form(const wchar_t* installFolder);
    // The text a row takes its data from.
    const wchar_t* Text(RowText id) const;
};
