#include "shell/shortcuts.h"

#include "framework/ensure_directory.h"
#include "model/shortcut_list.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "variants/windows_version.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

constexpr size_t kPathSize = 520;

struct ShortcutParts {
    const wchar_t* target;
    const wchar_t* arguments;
    const wchar_t* iconPath;
    int iconIndex;
    const wchar_t* description;
};

// A shell link object; empty when COM cannot make one. Every shortcut has its own COM lifetime
// (the caller's apartment), so nothing of COM outlives it.
ComPtr<IShellLinkW> MakeShellLink()
{
    ComPtr<IShellLinkW> link;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                     reinterpret_cast<void**>(link.Receive()));
    return link;
}

template <typename Interface>
ComPtr<Interface> QueryLink(IShellLinkW* link, REFIID id)
{
    ComPtr<Interface> result;
    link->QueryInterface(id, reinterpret_cast<void**>(result.Receive()));
    return result;
}

// The link goes to its file through the stream interface, as IPersistFile::Save would write it,
// and the shell is told as Save would tell it. Wine's Save also starts winemenubuilder for every
// link and waits for it, which made the shortcuts half of a silent install's time.
int WriteLinkFile(IShellLinkW* link, const wchar_t* fullPath)
{
    ComPtr<IPersistStream> persist = QueryLink<IPersistStream>(link, IID_IPersistStream);
    if (!persist)
        return 0;
    const bool existed = GetFileAttributesW(fullPath) != INVALID_FILE_ATTRIBUTES;
    {
        ComPtr<IStream> file;
        if (FAILED(SHCreateStreamOnFileEx(fullPath, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                          FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, file.Receive())))
            return 0;
        if (FAILED(persist.Get()->Save(file.Get(), TRUE)) || FAILED(file.Get()->Commit(STGC_DEFAULT))) {
            file.Reset();
            DeleteFileW(fullPath);  // no cut link under the shortcut's name
            return 0;
        }
    }
    SHChangeNotify(existed ? SHCNE_UPDATEITEM : SHCNE_CREATE, SHCNF_PATHW, fullPath, nullptr);
    return 1;
}

int SaveShortcut(const wchar_t* fullPath, const ShortcutParts& parts)
{
    ComApartment apartment;
    ComPtr<IShellLinkW> shortcut = MakeShellLink();
    if (!shortcut)
        return 0;
    IShellLinkW* link = shortcut.Get();
    if (parts.iconPath)
        link->SetIconLocation(parts.iconPath, parts.iconIndex);
    link->SetPath(parts.target);
    if (parts.arguments)
        link->SetArguments(parts.arguments);
    if (parts.description)
        link->SetDescription(parts.description);
    return WriteLinkFile(link, fullPath);
}

// The target a saved shortcut names; 0 when it cannot be read.
int ReadShortcutTarget(const wchar_t* fullPath, wchar_t* out, size_t outSize)
{
    ComApartment apartment;
    ComPtr<IShellLinkW> link = MakeShellLink();
    ComPtr<IPersistFile> file = link ? QueryLink<IPersistFile>(link.Get(), IID_IPersistFile) : ComPtr<IPersistFile>();
    if (!file || FAILED(file.Get()->Load(fullPath, STGM_READ)))
        return 0;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link.Get()->GetPath(target, MAX_PATH, nullptr, 0)))
        return 0;
    return CopyText(out, outSize, target);
}

// A shortcut is this installation's while it leads into `installFolder`, or to nothing at all
// any more (the files are removed first; some shell links keep a non-ASCII target only in the
// ANSI code page, so the comparison alone could miss it).
bool LeadsIntoOrNowhere(const wchar_t* fullPath, const wchar_t* installFolder)
{
    wchar_t target[MAX_PATH];
    if (!ReadShortcutTarget(fullPath, target, MAX_PATH))
        return false;
    const size_t folderLength = wcslen(installFolder);
    return _wcsnicmp(target, installFolder, folderLength) == 0
           || GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES;
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

void DeleteOldGroupShortcut(const wchar_t* group, const wchar_t* version)
{
    wchar_t path[kPathSize];
    if (FormatText(path, kPathSize, variant::kOldGroupShortcutFormat, group, version))
        DeleteFileW(path);
}

bool ChoiceMade(ShortcutChoice choice, const ShortcutChoices& made)
{
    switch (choice) {
    case ShortcutChoice::kGroup: return made.group;
    case ShortcutChoice::kGroupNotWin8: return made.group && !LeavesOutUninstallShortcut();
    case ShortcutChoice::kDesktop: return made.desktop;
    case ShortcutChoice::kThumbnails: return made.thumbnails;
    }
    return false;
}

int CreateShortcutRow(const ShortcutRow& row, const wchar_t* folder, const wchar_t* installFolder)
{
    wchar_t fileName[kPathSize], fullPath[kPathSize], target[kPathSize];
    if (!ShortcutFileName(row, fileName, kPathSize) || !FormatText(fullPath, kPathSize, L"%ls%ls", folder, fileName)
        || !FormatText(target, kPathSize, L"%ls%ls", installFolder, row.target))
        return 0;
    return SaveShortcut(fullPath, {target, row.arguments, row.targetIsIcon ? target : nullptr, row.iconIndex,
                                   row.description});
}

// The folder of `place` (the common one with `allUsers`), ending in a backslash; the Windows
// folder when the shell cannot name it.
void ShortcutFolder(ShortcutPlace place, int allUsers, wchar_t* out, size_t outSize)
{
    if (place == ShortcutPlace::kDesktopFolder) {
        SpecialFolderOrWindows(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOP, out, outSize);
        return;
    }
    SpecialFolderOrWindows(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, out, outSize);
    AppendText(out, outSize, variant::kProductFolderName);
    AppendBackslash(out, outSize);
}

}  // namespace


int CreateShortcuts(const wchar_t* installFolder, const ShortcutChoices& made, int allUsers)
{
    // One apartment for all the links: starting and ending COM for each costs more than the link.
    ComApartment apartment;
    wchar_t group[kPathSize], desktop[kPathSize];
    ShortcutFolder(ShortcutPlace::kProgramGroup, allUsers, group, kPathSize);
    ShortcutFolder(ShortcutPlace::kDesktopFolder, allUsers, desktop, kPathSize);
    if (made.group) {
        EnsureDirectory(group);  // a group that cannot be made only makes the saves below fail
        DeleteOldGroupShortcut(group, L"4.57");
        DeleteOldGroupShortcut(group, L"4.56");
    }
    int result = 1;
    for (const ShortcutRow& row : kShortcuts)
        if (ChoiceMade(row.choice, made))
            result = CreateShortcutRow(row, row.place == ShortcutPlace::kProgramGroup ? group : desktop, installFolder);
    return result;
}

int RemoveShortcuts(const wchar_t* installFolder)
{
    int result = 1;
    for (int allUsers = 0; allUsers <= 1; ++allUsers) {
        wchar_t group[kPathSize], desktop[kPathSize];
        ShortcutFolder(ShortcutPlace::kProgramGroup, allUsers, group, kPathSize);
        ShortcutFolder(ShortcutPlace::kDesktopFolder, allUsers, desktop, kPathSize);
        for (const ShortcutRow& row : kShortcuts) {
            wchar_t fileName[kPathSize], fullPath[kPathSize];
            if (!ShortcutFileName(row, fileName, kPathSize)
                || !FormatText(fullPath, kPathSize, L"%ls%ls",
                               row.place == ShortcutPlace::kProgramGroup ? group : desktop, fileName))
                continue;
            if (GetFileAttributesW(fullPath) != INVALID_FILE_ATTRIBUTES && LeadsIntoOrNowhere(fullPath, installFolder)
                && !DeleteFileW(fullPath))
                result = 0;
        }
        RemoveDirectoryW(group);  // only when nothing else is left in it
    }
    return result;
}
