#pragma once
// The product's first settings: language, a toolbar skin that suits the screen, and the
// pointer to a separate settings folder; written in UTF-16 where the product keeps its settings.
#include "framework/failure_tally.h"
#include "framework/held_path.h"

#include <cstddef>

inline constexpr size_t kIniPathSize = 520;

struct ToolbarSkin {
    const wchar_t* skin;
    const wchar_t* size;
};

// The skin for a screen whose full-screen client height is `height` and whose DISPLAY device
// context has `pixelsPerInch` (0 when none could be had: scale 100).
ToolbarSkin ChooseToolbarSkin(int height, int pixelsPerInch);
// The same for the screen this program runs on.
ToolbarSkin ChooseToolbarSkin();

// Replaces every %NAME% by the variable's value; an undefined variable is dropped.
// An expansion that does not fit `outSize` (or a value over 259 characters) gives an empty text.
// 1 when every variable was defined and the expansion fits, else 0.
int ExpandIniFolder(const wchar_t* iniFolder, wchar_t* out, size_t outSize);

// Writes the first settings; returns the effective settings path in `effectiveIni` (520).
// In a silent run into the default folder an empty `iniFolder` (520) becomes "%APPDATA%\Pictarn".
// A settings folder that names no absolute folder once expanded, or cannot be created, is
// emptied: the settings then stay in the installation folder, and the result is 0 (else 1).
// A settings folder any level of which is a link is no usable folder either; one that is used
// stays held in `held` (no level renamed or replaced) for as long as the caller keeps it.
// Each file is read through a handle and replaced by a new file, never written through what
// stands at its name; one that cannot be read or written goes to `failures` once.
// `forAnotherAccount`: a settings folder in the running account's own profile is nobody's; the
// pointer is written for every user, and no settings file is made there.
int WriteInitialSettings(const wchar_t* installFolder, wchar_t* iniFolder, int silent, wchar_t* effectiveIni,
                         FailureTally& failures, HeldPath& held,
                         bool forAnotherAccount = false);

