#include "model/shortcut_list.h"

#include "framework/text.h"
#include "variants/variant.h"

#include <algorithm>
#include <string_view>

using enum ShortcutPlace;
using enum ShortcutChoice;

// In the order they are made: the group first, then the desktop.
constexpr ShortcutRow kShortcuts[kShortcutCount] = {
    {kProgramGroup, kGroup, variant::kGroupMainShortcutFormat, variant::kMainProgram, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Pictarn - Thumbnails.lnk", variant::kMainProgram, L"/thumbs", true, 7, nullptr},
    {kProgramGroup, kGroupNotWin8, L"Uninstall Pictarn.lnk", variant::kUninstallerFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"About Pictarn.lnk", variant::kAboutFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"What's New.lnk", variant::kChangesFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Command line Options.lnk", variant::kOptionsFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Available PlugIns.lnk", variant::kPluginsFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Available Languages.lnk", variant::kLanguagesFile, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Pictarn Help.lnk", variant::kHelpFile, nullptr, false, 0, nullptr},
    {kDesktopFolder, kDesktop, variant::kDesktopShortcut, variant::kMainProgram, nullptr, false, 0,
     variant::kDesktopShortcutDescription},
    {kDesktopFolder, kThumbnails, variant::kThumbsShortcut, variant::kMainProgram, L"/thumbs", true, 7,
     L"Pictarn - Thumbnails"},
};

namespace {

// The build refuses a product folder without one of the linked files: so every shortcut leads to one.
constexpr bool IsLinkedFile(const wchar_t* name)
{
    return std::ranges::any_of(variant::kLinkedFiles, [name](const wchar_t* file) {
        return std::wstring_view(file) == name;
    });
}

}  // namespace

static_assert(std::ranges::all_of(kShortcuts, [](const ShortcutRow& row) { return IsLinkedFile(row.target); }),
              "a shortcut leads to a file missing from variants/linked_files.inc");

int ShortcutFileName(const ShortcutRow& row, wchar_t* out, size_t outSize)
{
    return FormatText(out, outSize, row.fileName, variant::kVersionMajor, variant::kVersionMinor);
}
