#pragma once
#include <cstddef>
#include <span>

// Every shortcut the setup makes, as data: the writer walks it to make them, and whatever
// removes the product walks it to find them again.

// Where a shortcut is saved: the desktop or the "Pictarn" program group, each for the
// current user or all users.
enum class ShortcutPlace { kProgramGroup, kDesktopFolder };

// Which choice of the install makes the shortcut.
enum class ShortcutChoice {
    kGroup,         // the program group
    kGroupNotWin8,  // the program group, on Windows before 8 only
    kDesktop,       // the product on the desktop
    kThumbnails,    // the thumbnails shortcut on the desktop
};

struct ShortcutRow {
    ShortcutPlace place;
    ShortcutChoice choice;
    const wchar_t* fileName;  // a format: "%d.%2d" takes the product version where it stands
    bool bothBuilds;          // both builds make a shortcut of this name, in the one program group
    const wchar_t* target;    // a linked file of the installation folder (variant::kLinkedFiles)
    const wchar_t* arguments;  // may be null
    bool targetIsIcon;        // the icon is the target's own, at `iconIndex`
    int iconIndex;
    const wchar_t* description;  // may be null
};

extern const std::span<const ShortcutRow> kShortcuts;

// The file name of a shortcut row, with the product version where the name asks for it. 0 when
// it does not fit.
int ShortcutFileName(const ShortcutRow& row, wchar_t* out, size_t outSize);

// The other build's file in place of one of this build's linked files (the same name where both
// share it).
const wchar_t* OtherBuildsFile(const wchar_t* file);
// The other build's file for a row's target (variant::kLinkedFiles): the shortcut of a name both
// builds make leads there once this build's installation is gone.
const wchar_t* OtherBuildsTarget(const ShortcutRow& row);

// True when `fileName` is the versioned group shortcut of some version ("Pictarn 64 4.57.lnk"),
// and not of this build's own version.
bool IsOtherVersionsGroupShortcut(const wchar_t* fileName);
