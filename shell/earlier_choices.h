#pragma once
// What an earlier installation was given, read back from what it left: its version, its
// shortcuts, the formats that lead to it and where its settings went. An update starts from it.
#include "model/install_options.h"
#include "shell/shortcut_choices.h"

struct EarlierChoices {
    unsigned long versionMajor = 0;
    unsigned long versionMinor = 0;
    ShortcutChoices shortcuts;
    bool settingsInProductFolder = false;  // no settings folder of the user's was named
    bool formats[kAssocSlots] = {};        // rows whose every extension leads to the product
    bool anyFormat = false;
};

// Reads the choices of this build's installation in `folder` (ending in a backslash); false
// when the folder holds no installation of this build.
bool ReadEarlierChoices(const wchar_t* folder, EarlierChoices& out);
