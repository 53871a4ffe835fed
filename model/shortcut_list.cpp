#include "model/shortcut_list.h"

#include "framework/text.h"
#include "variants/variant.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string_view>

using enum ShortcutPlace;
using enum ShortcutChoice;

// In the order they are made: the group first, then the desktop.
namespace {

constexpr ShortcutRow kRows[] = {
    {kProgramGroup, kGroup, variant::kGroupMainShortcutFormat, false, variant::kMainProgram, nullptr, false, 0, nullptr},
    {kProgramGroup, kGroup, L"Pictarn - Thumbnails.lnk", true, variant::kMainProgram, L"/thumbs", true, 7, nullptr},
    {kProgramGroup, kGroupNotWin8, L"Uninstall Pictarn.lnk", true, variant::kUninstallerFile, nullptr, false, 0, nullptr},
#define DOCUMENT_SHORTCUT(file, target) {kProgramGroup, kGroup, file, true, variant::target, nullptr, false, 0, nullptr},
#include "model/document_shortcuts.inc"
#undef DOCUMENT_SHORTCUT
    {kDesktopFolder, kDesktop, variant::kDesktopShortcut, false, variant::kMainProgram, nullptr, false, 0,
     variant::kDesktopShortcutDescription},
    {kDesktopFolder, kThumbnails, variant::kThumbsShortcut, false, variant::kMainProgram, L"/thumbs", true, 7,
     L"Pictarn - Thumbnails"},
};

// The build refuses a product folder without one of the linked files: so every shortcut leads to one.
constexpr bool IsLinkedFile(const wchar_t* name)
{
    return std::ranges::any_of(variant::kLinkedFiles, [name](const wchar_t* file) {
        return std::wstring_view(file) == name;
    });
}

static_assert(std::ranges::all_of(kRows, [](const ShortcutRow& row) { return IsLinkedFile(row.target); }),
              "a shortcut leads to a file missing from variants/linked_files.inc");

}  // namespace

const std::span<const ShortcutRow> kShortcuts{kRows};

int ShortcutFileName(const ShortcutRow& row, wchar_t* out, size_t outSize)
{
    return FormatText(out, outSize, row.fileName, variant::kVersionMajor, variant::kVersionMinor);
}

const wchar_t* OtherBuildsFile(const wchar_t* file)
{
    for (size_t i = 0; i < std::size(variant::kLinkedFiles); ++i)
        if (std::wstring_view(variant::kLinkedFiles[i]) == file)
            return variant::kOtherBuildsLinkedFiles[i];
    return file;
}

const wchar_t* OtherBuildsTarget(const ShortcutRow& row)
{
    return OtherBuildsFile(row.target);
}

bool IsOtherVersionsGroupShortcut(const wchar_t* fileName)
{
    // The name's text before the version, then "<major>.<minor>.lnk" and nothing else.
    const std::wstring_view format(variant::kGroupMainShortcutFormat);
    const std::wstring_view prefix = format.substr(0, format.find(L'%'));
    const std::wstring_view name(fileName);
    if (name.size() <= prefix.size() || _wcsnicmp(fileName, prefix.data(), prefix.size()) != 0)
        return false;
    wchar_t* end = nullptr;
    const long major = wcstol(fileName + prefix.size(), &end, 10);
    if (end == fileName + prefix.size() || *end != L'.' || end[1] < L'0' || end[1] > L'9')
        return false;
    const long minor = wcstol(end + 1, &end, 10);
    return _wcsicmp(end, L".lnk") == 0 && (major != variant::kVersionMajor || minor != variant::kVersionMinor);
}
