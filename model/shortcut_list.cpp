#include "model/shortcut_list.h"

#include "framework/text.h"
#include "model/payload_entries.h"
#include "variants/variant.h"

using enum ShortcutPlace;
using enum ShortcutChoice;

// In the order they are made: the group first, then the desktop.
const ShortcutRow kShortcuts[kShortcutCount] = {
    {kProgramGroup, kGroup, variant::kGroupMainShortcutFormat, variant::kMainProgram, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Pictarn - Thumbnails.lnk", variant::kMainProgram, L"/thumbs", true, 7, nullptr},
    {kProgramGroup, kGroupNotWin8, L"Uninstall Pictarn.lnk", kUninstallerFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"About Pictarn.lnk", L"pt_about.txt", nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"What's New.lnk", L"pt_changes.txt", nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Command line Options.lnk", L"pt_options.txt", nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Available PlugIns.lnk", L"pt_plugins.txt", nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Available Languages.lnk", L"pt_languages.txt", nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Pictarn Help.lnk", variant::kHelpFile, nullptr, false, 0, nullptr},
    {kDesktopFolder, kDesktop, variant::kDesktopShortcut, variant::kMainProgram, nullptr, false, 0,
     variant::kDesktopShortcutDescription},
    {kDesktopFolder, kThumbnails, variant::kThumbsShortcut, variant::kMainProgram, L"/thumbs", true, 7,
     L"Pictarn - Thumbnails"},
};

int ShortcutFileName(const ShortcutRow& row, wchar_t* out, size_t outSize)
{
    return FormatText(out, outSize, row.fileName, variant::kVersionMajor, variant::kVersionMinor);
}
