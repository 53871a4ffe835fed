#include "shell/shortcuts.h"

#include "framework/ensure_directory.h"
#include "framework/failure_tally.h"
#include "model/messages.h"
#include "model/shortcut_list.h"
#include "shell/registered_application.h"
#include "framework/handles.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "variants/windows_version.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

namespace {

constexpr size_t kPathSize = 520;

struct ShortcutParts {
    const wchar_t* target;
    const wchar_t* arguments;
    const wchar_t* iconPath;
    int iconIndex;
    const wchar_t* description;
};

// A shell link object in the caller's apartment; empty when COM cannot make one.
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

// The link goes to its file through the stream interface, as IPersistFile::Save would write it.
// Wine's Save also starts winemenubuilder for every link and waits for it, which made the
// shortcuts half of a silent install's time. The shell hears of each folder once, afterwards.
HRESULT WriteLinkFile(IShellLinkW* link, const wchar_t* fullPath)
{
    ComPtr<IPersistStream> persist = QueryLink<IPersistStream>(link, IID_IPersistStream);
    if (!persist)
        return E_NOINTERFACE;
    ComPtr<IStream> file;
    HRESULT result = SHCreateStreamOnFileEx(fullPath, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                            FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, file.Receive());
    if (FAILED(result))
        return result;
    result = persist.Get()->Save(file.Get(), TRUE);
    if (SUCCEEDED(result))
        result = file.Get()->Commit(STGC_DEFAULT);
    if (FAILED(result)) {
        file.Reset();
        DeleteFileW(fullPath);  // no cut link under the shortcut's name
    }
    return result;
}

// `factory` makes the shell link objects: asking COM once for it spares a class lookup per link.
HRESULT SaveShortcut(IClassFactory* factory, const wchar_t* fullPath, const ShortcutParts& parts)
{
    ComPtr<IShellLinkW> shortcut;
    if (const HRESULT made = factory->CreateInstance(nullptr, IID_IShellLinkW,
                                                     reinterpret_cast<void**>(shortcut.Receive()));
        FAILED(made))
        return made;
    IShellLinkW* link = shortcut.Get();
    // A part the link did not take would save a shortcut other than the one asked for.
    HRESULT set = link->SetPath(parts.target);
    if (SUCCEEDED(set) && parts.iconPath)
        set = link->SetIconLocation(parts.iconPath, parts.iconIndex);
    if (SUCCEEDED(set) && parts.arguments)
        set = link->SetArguments(parts.arguments);
    if (SUCCEEDED(set) && parts.description)
        set = link->SetDescription(parts.description);
    return FAILED(set) ? set : WriteLinkFile(link, fullPath);
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

// The main group shortcut of the two versions before this one in its series (4.57 and 4.56 for
// 4.58); a new major's first versions have none to find.
void DeleteOldGroupShortcuts(const wchar_t* group)
{
    for (int back = 1; back <= 2 && variant::kVersionMinor - back >= 0; ++back) {
        wchar_t version[16], path[kPathSize];
        if (FormatText(version, 16, L"%d.%d", variant::kVersionMajor, variant::kVersionMinor - back)
            && FormatText(path, kPathSize, variant::kOldGroupShortcutFormat, group, version))
            DeleteFileW(path);
    }
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

// The Windows error an HRESULT carries, or the HRESULT itself.
DWORD ErrorOf(HRESULT result)
{
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : static_cast<DWORD>(result);
}

// A shortcut that cannot be made goes to `failures` with its path.
void CreateShortcutRow(IClassFactory* factory, const ShortcutRow& row, const wchar_t* folder,
                       const wchar_t* installFolder, FailureTally& failures)
{
    wchar_t fileName[kPathSize], fullPath[kPathSize], target[kPathSize];
    if (!ShortcutFileName(row, fileName, kPathSize) || !FormatText(fullPath, kPathSize, L"%ls%ls", folder, fileName)
        || !FormatText(target, kPathSize, L"%ls%ls", installFolder, row.target)) {
        failures.Add(IDS_NOT_MADE_SHORTCUT, fullPath, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    const HRESULT result = factory ? SaveShortcut(factory, fullPath, {target, row.arguments,
                                                                      row.targetIsIcon ? target : nullptr,
                                                                      row.iconIndex, row.description})
                                   : REGDB_E_CLASSNOTREG;
    if (FAILED(result))
        failures.Add(IDS_NOT_MADE_SHORTCUT, fullPath, ErrorOf(result));
}

// Tells the shell to read the folder (ending in a backslash) again: one notice covers every link
// made or replaced in it, where one per link costs the shell a walk of the whole path each time.
void NotifyFolderChanged(const wchar_t* folder)
{
    const size_t length = wcslen(folder);
    wchar_t path[kPathSize];
    if (length == 0 || !CopyTextN(path, kPathSize, folder, EndsWith(folder, L'\\') ? length - 1 : length))
        return;
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, path, nullptr);
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

// The shell link objects' class factory; asking COM once for it spares a class lookup per link.
ComPtr<IClassFactory> ShellLinkFactory()
{
    ComPtr<IClassFactory> factory;
    CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(factory.Receive()));
    return factory;
}

// A shortcut of a name both builds make, saved anew to lead to the other build's file; false when
// that build or its file is not there.
bool PointAtOtherBuild(IClassFactory* factory, const ShortcutRow& row, const wchar_t* fullPath)
{
    wchar_t otherFolder[kPathSize], target[kPathSize];
    return factory && row.bothBuilds && FindOtherBuildsFolder(otherFolder, kPathSize)
           && FormatText(target, kPathSize, L"%ls%ls", otherFolder, OtherBuildsTarget(row))
           && GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES
           && SUCCEEDED(SaveShortcut(factory, fullPath, {target, row.arguments, row.targetIsIcon ? target : nullptr,
                                                         row.iconIndex, row.description}));
}

// The versioned group shortcuts of other versions that lead into `installFolder` or nowhere: an
// update, a downgrade or a change of scope leaves one set.
// A shortcut that could not be deleted goes to `failures` when the caller keeps any.
void RemoveShortcutFile(const wchar_t* path, FailureTally* failures)
{
    if (!DeleteFileW(path) && failures)
        failures->Add(IDS_NOT_REMOVED, path, GetLastError());
}

void RemoveOtherVersionsShortcuts(const wchar_t* group, const wchar_t* installFolder, FailureTally* failures)
{
    wchar_t pattern[kPathSize];
    WIN32_FIND_DATAW found;
    if (!FormatText(pattern, kPathSize, L"%ls*.lnk", group))
        return;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        wchar_t fullPath[kPathSize];
        if (IsOtherVersionsGroupShortcut(found.cFileName)
            && FormatText(fullPath, kPathSize, L"%ls%ls", group, found.cFileName)
            && LeadsIntoOrNowhere(fullPath, installFolder))
            RemoveShortcutFile(fullPath, failures);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// This installation's shortcuts for the current user or all users: each that leads into
// `installFolder` or nowhere goes, but one of a name both builds make leads to the other build's
// file while that build is installed; the program group goes once it is empty. 0 when a
// shortcut of this installation could not be deleted.
void RemoveShortcutsOf(IClassFactory* factory, const wchar_t* installFolder, int allUsers, FailureTally* failures)
{
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
            && !PointAtOtherBuild(factory, row, fullPath))
            RemoveShortcutFile(fullPath, failures);
    }
    RemoveOtherVersionsShortcuts(group, installFolder, failures);
    RemoveDirectoryW(group);  // only when nothing else is left in it
}

}  // namespace


ShortcutChoices FindShortcutChoices(const wchar_t* installFolder)
{
    ShortcutChoices found;
    for (int allUsers = 0; allUsers < 2; ++allUsers) {
        for (const ShortcutRow& row : kShortcuts) {
            wchar_t folder[kPathSize], fileName[kPathSize], fullPath[kPathSize], target[MAX_PATH];
            ShortcutFolder(row.place, allUsers, folder, kPathSize);
            if (!ShortcutFileName(row, fileName, kPathSize) || !FormatText(fullPath, kPathSize, L"%ls%ls", folder, fileName)
                || GetFileAttributesW(fullPath) == INVALID_FILE_ATTRIBUTES
                || !ReadShortcutTarget(fullPath, target, MAX_PATH)
                || _wcsnicmp(target, installFolder, wcslen(installFolder)) != 0)
                continue;
            found.group = found.group || row.choice == ShortcutChoice::kGroup || row.choice == ShortcutChoice::kGroupNotWin8;
            found.desktop = found.desktop || row.choice == ShortcutChoice::kDesktop;
            found.thumbnails = found.thumbnails || row.choice == ShortcutChoice::kThumbnails;
            found.allUsers = found.allUsers || allUsers == 1;
        }
    }
    return found;
}

int CreateShortcuts(const wchar_t* installFolder, const ShortcutChoices& made, FailureTally& failures)
{
    // One apartment for all the links: starting and ending COM for each costs more than the link.
    ComApartment apartment;
    wchar_t group[kPathSize], desktop[kPathSize];
    ShortcutFolder(ShortcutPlace::kProgramGroup, made.allUsers, group, kPathSize);
    ShortcutFolder(ShortcutPlace::kDesktopFolder, made.allUsers, desktop, kPathSize);
    ShortcutChoices making = made;
    if (made.group) {
        if (!EnsureDirectory(group)) {
            // One failure for the group, not one for each link that would have been in it.
            failures.Add(IDS_NOT_MADE_GROUP, group, GetLastError());
            making.group = false;
        }
        DeleteOldGroupShortcuts(group);
    }
    ComPtr<IClassFactory> factory = ShellLinkFactory();
    bool groupChanged = making.group, desktopChanged = false;
    for (const ShortcutRow& row : kShortcuts) {
        if (!ChoiceMade(row.choice, making))
            continue;
        const bool inGroup = row.place == ShortcutPlace::kProgramGroup;
        CreateShortcutRow(factory.Get(), row, inGroup ? group : desktop, installFolder, failures);
        (inGroup ? groupChanged : desktopChanged) = true;
    }
    // One set of shortcuts: this installation's of other versions go, and so do those made for
    // the other scope (the current user's, or all users') by an earlier install.
    RemoveOtherVersionsShortcuts(group, installFolder, nullptr);
    wchar_t otherGroup[kPathSize], otherDesktop[kPathSize];
    ShortcutFolder(ShortcutPlace::kProgramGroup, !made.allUsers, otherGroup, kPathSize);
    ShortcutFolder(ShortcutPlace::kDesktopFolder, !made.allUsers, otherDesktop, kPathSize);
    if (_wcsicmp(otherGroup, group) != 0 && _wcsicmp(otherDesktop, desktop) != 0)
        RemoveShortcutsOf(factory.Get(), installFolder, !made.allUsers, nullptr);
    if (groupChanged)
        NotifyFolderChanged(group);
    if (desktopChanged)
        NotifyFolderChanged(desktop);
    return failures.Empty() ? 1 : 0;
}

void RemoveShortcuts(const wchar_t* installFolder, FailureTally& failures)
{
    ComApartment apartment;
    ComPtr<IClassFactory> factory = ShellLinkFactory();
    for (int allUsers = 0; allUsers <= 1; ++allUsers)
        RemoveShortcutsOf(factory.Get(), installFolder, allUsers, &failures);
}
