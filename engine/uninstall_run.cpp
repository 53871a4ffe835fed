#include "engine/uninstall_run.h"

#include "engine/settings_ini.h"
#include "framework/file_identity.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "model/messages.h"
#include "model/payload_entries.h"
#include "shell/unregister.h"
#include "variants/variant.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kPathSize = 1024;

// What happened to one thing that was to be removed.
enum class Removal { kGone, kAtRestart, kStays };

struct RemovalTally {
    bool atRestart = false;
    bool incomplete = false;
};

void Report(InstallReporter& reporter, unsigned messageId, const wchar_t* path)
{
    wchar_t message[kPathSize], entry[2 * kPathSize];
    LoadMessage(messageId, message, kPathSize);
    FormatText(entry, 2 * kPathSize, L"%ls: %ls", message, path);
    reporter.ReportNote(entry);
}

// A file in use goes at the next restart; one that cannot even be scheduled stays.
Removal RemoveFile(const wchar_t* path)
{
    if (DeleteFileW(path) || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return Removal::kGone;
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path))
        return Removal::kGone;
    return MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? Removal::kAtRestart : Removal::kStays;
}

void Tally(Removal removal, const wchar_t* path, InstallReporter& reporter, RemovalTally& tally)
{
    if (removal == Removal::kAtRestart) {
        tally.atRestart = true;
        Report(reporter, IDS_REMOVED_AT_RESTART, path);
    } else if (removal == Removal::kStays) {
        tally.incomplete = true;
        Report(reporter, IDS_NOT_REMOVED, path);
    }
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// When the installation wrote its uninstall entry, the last step of an install; 0 when unknown.
// The files it unpacked carry their archive dates, all earlier.
ULONGLONG InstalledAt()
{
    FILETIME written = {};
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_QUERY_VALUE);
    if (!entry || RegQueryInfoKeyW(entry.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, &written) != ERROR_SUCCESS)
        return 0;
    return Ticks(written);
}

// A product file written after the installation: somebody changed it, and it is theirs now.
bool ChangedSinceInstall(const wchar_t* path, ULONGLONG installedAt)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return installedAt != 0 && GetFileAttributesExW(path, GetFileExInfoStandard, &data)
           && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && Ticks(data.ftLastWriteTime) > installedAt;
}

bool IsLink(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// True when a folder between `folder` and the item `name` below it is a link: what is behind it
// belongs to somebody else.
bool ReachedThroughLink(const wchar_t* folder, const wchar_t* name)
{
    wchar_t path[kPathSize];
    if (!FormatText(path, kPathSize, L"%ls%ls", folder, name))
        return true;
    for (wchar_t* level = path + wcslen(folder); (level = wcschr(level, L'\\')) != nullptr; *level++ = L'\\') {
        *level = L'\0';
        if (IsLink(path))
            return true;
    }
    return false;
}

// Every payload file but the uninstaller, last entry first, then the folders the payload made
// once they are empty. A folder that has become a link goes as a link; nothing behind it is touched.
void RemovePayload(const wchar_t* folder, ULONGLONG installedAt, InstallReporter& reporter, RemovalTally& tally)
{
    for (int i = kPayloadItemCount - 1; i >= 0; --i) {
        wchar_t path[kPathSize];
        if (_wcsicmp(kPayloadItems[i].name, variant::kUninstallerFile) == 0
            || !FormatText(path, kPathSize, L"%ls%ls", folder, kPayloadItems[i].name)
            || ReachedThroughLink(folder, kPayloadItems[i].name))
            continue;
        if (kPayloadItems[i].folder) {
            RemoveDirectoryW(path);  // a folder holding something of the user's stays
            continue;
        }
        if (ChangedSinceInstall(path, installedAt)) {
            Report(reporter, IDS_KEPT_CHANGED, path);
            continue;
        }
        Tally(RemoveFile(path), path, reporter, tally);
        wchar_t partial[kPathSize];  // a copy a killed install left half-written
        if (FormatText(partial, kPathSize, L"%ls.partial", path))
            DeleteFileW(partial);
    }
}

// The settings file in the folder is the setup's pointer when it names another folder: it goes.
// Without a pointer it holds the user's settings themselves, which go only on request; so do
// the settings in the folder the pointer names.
void RemoveSettings(const UninstallOptions& options, InstallReporter& reporter, RemovalTally& tally)
{
    wchar_t installIni[kPathSize], temp[kPathSize];
    FormatText(installIni, kPathSize, L"%ls%ls", options.installFolder, variant::kSettingsFile);
    FormatText(temp, kPathSize, L"%ls%ls", options.installFolder, variant::kSettingsTempFile);
    DeleteFileW(temp);
    wchar_t pointer[kPathSize] = L"";
    GetPrivateProfileStringW(L"Others", L"INI_Folder", L"", pointer, kPathSize, installIni);
    if (pointer[0] != L'\0' && options.purge) {
        wchar_t settingsFolder[kIniPathSize], settings[kPathSize];
        // Only a folder the install itself would have used: absolute, and not a link.
        if (ExpandIniFolder(pointer, settingsFolder, kIniPathSize) && IsAbsoluteFolder(settingsFolder)
            && !IsLink(settingsFolder)) {
            AppendBackslash(settingsFolder, kIniPathSize);
            FormatText(settings, kPathSize, L"%ls%ls", settingsFolder, variant::kSettingsFile);
            Tally(RemoveFile(settings), settings, reporter, tally);
            FormatText(settings, kPathSize, L"%ls%ls", settingsFolder, variant::kSettingsTempFile);
            DeleteFileW(settings);
            RemoveDirectoryW(settingsFolder);
        }
    }
    if (pointer[0] != L'\0' || options.purge)
        Tally(RemoveFile(installIni), installIni, reporter, tally);
}

bool IsPayloadItem(const wchar_t* relativeName)
{
    for (int i = 0; i < kPayloadItemCount; ++i)
        if (_wcsicmp(kPayloadItems[i].name, relativeName) == 0)
            return true;
    return false;
}

// True when everything still in `folder` (the installation folder itself when `relative` is
// empty) is an item of the payload: files whose deletion waits for a handle, or for the restart.
bool HoldsOnlyPayload(const wchar_t* installFolder, const wchar_t* relative, ULONGLONG installedAt)
{
    wchar_t pattern[kPathSize];
    if (!FormatText(pattern, kPathSize, L"%ls%ls%ls*", installFolder, relative, relative[0] ? L"\\" : L""))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool onlyPayload = true;
    do {
        wchar_t name[kPathSize];
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        wchar_t path[kPathSize];
        onlyPayload = FormatText(name, kPathSize, L"%ls%ls%ls", relative, relative[0] ? L"\\" : L"", found.cFileName)
                      && IsPayloadItem(name) && FormatText(path, kPathSize, L"%ls%ls", installFolder, name)
                      && !ChangedSinceInstall(path, installedAt);
    } while (onlyPayload && FindNextFileW(search, &found));
    FindClose(search);
    return onlyPayload;
}

// A folder of the payload still there, deepest first, then the installation folder: one that
// holds nothing of anybody else's (held open, or its files wait for a handle or the restart)
// is scheduled for the restart and reported; one with files of the user's stays, as it should.
void RemoveLeftFolders(const wchar_t* installFolder, ULONGLONG installedAt, InstallReporter& reporter,
                       RemovalTally& tally)
{
    for (int i = kPayloadItemCount - 1; i >= -1; --i) {
        const wchar_t* relative = i < 0 ? L"" : kPayloadItems[i].name;
        if (i >= 0 && (!kPayloadItems[i].folder || ReachedThroughLink(installFolder, relative)))
            continue;
        wchar_t path[kPathSize];
        if (!FormatText(path, kPathSize, L"%ls%ls", installFolder, relative) || RemoveDirectoryW(path)
            || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES || IsLink(path)
            || !HoldsOnlyPayload(installFolder, relative, installedAt))
            continue;
        Tally(MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? Removal::kAtRestart : Removal::kStays, path,
              reporter, tally);
    }
}

}  // namespace

bool FindRegisteredInstallation(const wchar_t* ownFolder, wchar_t* registered, size_t registeredSize)
{
    return ReadStringValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation",
                           static_cast<DWORD>((registeredSize - 1) * sizeof(wchar_t)), registered, registeredSize)
           && IsAbsoluteFolder(registered) && AppendBackslash(registered, registeredSize)
           && IsSameFolder(registered, ownFolder);
}

UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter)
{
    RemovalTally tally;
    const ULONGLONG installedAt = InstalledAt();
    RemovePayload(options.installFolder, installedAt, reporter, tally);
    RemoveSettings(options, reporter, tally);
    struct Notes : LeftBehindNotes {
        Notes(InstallReporter& r, RemovalTally& t) : reporter(r), tally(t) {}
        void LeftBehind(const wchar_t* what) override { Tally(Removal::kStays, what, reporter, tally); }
        InstallReporter& reporter;
        RemovalTally& tally;
    } notes(reporter, tally);
    if (!UnregisterFromShell(options.installFolder, notes)) {
        tally.incomplete = true;
        Report(reporter, IDS_NOT_REMOVED, options.installFolder);
    }
    if (OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_QUERY_VALUE)) {
        tally.incomplete = true;  // the installation would still be listed as installed
        wchar_t key[kPathSize];
        FormatText(key, kPathSize, L"HKEY_LOCAL_MACHINE\\%ls", variant::kUninstallKey);
        Report(reporter, IDS_NOT_REMOVED, key);
    }
    // Last the uninstaller itself, then the folder, once nothing of the user's is left in it.
    wchar_t uninstaller[kPathSize];
    FormatText(uninstaller, kPathSize, L"%ls%ls", options.installFolder, variant::kUninstallerFile);
    if (GetFileAttributesW(uninstaller) != INVALID_FILE_ATTRIBUTES && !options.moveUninstallerOut(options.context))
        Tally(RemoveFile(uninstaller), uninstaller, reporter, tally);
    RemoveLeftFolders(options.installFolder, installedAt, reporter, tally);
    if (tally.incomplete)
        return kUninstallIncomplete;
    return tally.atRestart ? kUninstallAtRestart : kUninstallRemoved;
}
