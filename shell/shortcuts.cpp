#include "shell/shortcuts.h"

#include "engine/ensure_directory.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "variants/windows_version.h"

#include <windows.h>
#include <shlobj.h>

namespace {

constexpr size_t kPathSize = 520;

struct ShortcutParts {
    const wchar_t* target;
    const wchar_t* arguments;
    const wchar_t* iconPath;
    int iconIndex;
    const wchar_t* description;
};

// Every shortcut has its own COM lifetime, so nothing of COM outlives it.
int SaveShortcut(const wchar_t* fullPath, const ShortcutParts& parts)
{
    ComApartment apartment;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive()))))
        return 0;
    ComPtr<IPersistFile> file;
    if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))))
        return 0;
    if (parts.iconPath)
        link.Get()->SetIconLocation(parts.iconPath, parts.iconIndex);
    link.Get()->SetPath(parts.target);
    if (parts.arguments)
        link.Get()->SetArguments(parts.arguments);
    if (parts.description)
        link.Get()->SetDescription(parts.description);
    return SUCCEEDED(file.Get()->Save(fullPath, TRUE)) ? 1 : 0;
}

// The special folder's path, or the Windows folder when the shell cannot name it.
void SpecialFolderOrWindows(int csidl, wchar_t* out, size_t outSize)
{
    out[0] = L'\0';
    CoTaskMemory<ITEMIDLIST> items;
    if (SUCCEEDED(SHGetSpecialFolderLocation(GetActiveWindow(), csidl, items.Receive())) && items) {
        wchar_t path[MAX_PATH];
        if (SHGetPathFromIDListW(items.Get(), path))
            CopyText(out, outSize, path);
    }
    if (out[0] == L'\0') {
        wchar_t windows[MAX_PATH] = {};
        GetWindowsDirectoryW(windows, MAX_PATH);
        CopyText(out, outSize, windows);
    }
    AppendBackslash(out, outSize);
}

void InstalledFile(wchar_t* out, size_t outSize, const wchar_t* installFolder, const wchar_t* name)
{
    FormatText(out, outSize, L"%ls%ls", installFolder, name);
}

void DeleteOldGroupShortcut(const wchar_t* group, const wchar_t* version)
{
    wchar_t path[kPathSize];
    if (FormatText(path, kPathSize, variant::kOldGroupShortcutFormat, group, version))
        DeleteFileW(path);
}

struct DocumentShortcut {
    const wchar_t* fileName;
    const wchar_t* target;
};

constexpr DocumentShortcut kDocumentShortcuts[] = {
    {L"About Pictarn.lnk", L"pt_about.txt"},
    {L"What's New.lnk", L"pt_changes.txt"},
    {L"Command line Options.lnk", L"pt_options.txt"},
    {L"Available PlugIns.lnk", L"pt_plugins.txt"},
    {L"Available Languages.lnk", L"pt_languages.txt"},
    {L"Pictarn Help.lnk", variant::kHelpFile},
};

}  // namespace

int CreateDesktopShortcut(const wchar_t* target, const wchar_t* fileName, const wchar_t* iconPath,
                          const wchar_t* description, const wchar_t* arguments, int iconIndex, int allUsers)
{
    wchar_t fullPath[kPathSize];
    SpecialFolderOrWindows(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOP, fullPath, kPathSize);
    if (!AppendText(fullPath, fileName))
        return 0;
    return SaveShortcut(fullPath, {target, arguments, iconPath, iconIndex, description});
}

int CreateShortcut(const wchar_t* folder, const wchar_t* fileName, const wchar_t* target,
                   const wchar_t* arguments, const wchar_t* iconPath, int iconIndex)
{
    wchar_t fullPath[kPathSize];
    if (!FormatText(fullPath, kPathSize, L"%ls%ls", folder, fileName))
        return 0;
    return SaveShortcut(fullPath, {target, arguments, iconPath, iconIndex, nullptr});
}

int CreateGroupShortcuts(const wchar_t* installFolder, int allUsers)
{
    wchar_t group[kPathSize];
    SpecialFolderOrWindows(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, group, kPathSize);
    AppendText(group, variant::kProductFolderName);
    EnsureDirectory(group);  // a group that cannot be made only makes the saves below fail

    wchar_t executable[kPathSize];
    InstalledFile(executable, kPathSize, installFolder, variant::kMainProgram);

    wchar_t mainName[kPathSize];
    FormatText(mainName, kPathSize, variant::kGroupMainShortcutFormat, variant::kVersionMajor,
               variant::kVersionMinor);
    int result = CreateShortcut(group, mainName, executable, nullptr, nullptr, 0);

    DeleteOldGroupShortcut(group, L"4.57");
    DeleteOldGroupShortcut(group, L"4.56");

    result = CreateShortcut(group, L"Pictarn - Thumbnails.lnk", executable, L"/thumbs", executable, 7);

    if (!LeavesOutUninstallShortcut()) {
        wchar_t uninstaller[kPathSize];
        InstalledFile(uninstaller, kPathSize, installFolder, L"pt_uninstall.exe");
        result = CreateShortcut(group, L"Uninstall Pictarn.lnk", uninstaller, nullptr, nullptr, 0);
    }

    for (const DocumentShortcut& document : kDocumentShortcuts) {
        wchar_t target[kPathSize];
        InstalledFile(target, kPathSize, installFolder, document.target);
        result = CreateShortcut(group, document.fileName, target, nullptr, nullptr, 0);
    }
    return result;
}
