#include "engine/uninstall_run.h"

#include "engine/file_update.h"
#include "engine/install_record.h"
#include "engine/settings_ini.h"
#include "framework/held_path.h"
#include "framework/kill_point.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "model/messages.h"
#include "model/payload_entries.h"
#include "model/registry_rows.h"
#include "shell/unregister.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr size_t kPathSize = 1024;
constexpr int kMaxScheduled = 512;

// What happened to one thing that was to be removed.
enum class Removal { kGone, kAtRestart, kStays };

// The run's outcome so far, and what it left for the restart to remove.
struct RemovalTally {
    bool atRestart = false;
    bool incomplete = false;
    wchar_t (*scheduled)[kPathSize] = nullptr;
    int scheduledCount = 0;
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
    return RemoveAtRestart(path) ? Removal::kAtRestart : Removal::kStays;
}

void Tally(Removal removal, const wchar_t* path, InstallReporter& reporter, RemovalTally& tally)
{
    if (removal == Removal::kAtRestart) {
        tally.atRestart = true;
        if (tally.scheduled != nullptr && tally.scheduledCount < kMaxScheduled)
            CopyText(tally.scheduled[tally.scheduledCount++], kPathSize, path);
        Report(reporter, IDS_REMOVED_AT_RESTART, path);
    } else if (removal == Removal::kStays) {
        tally.incomplete = true;
        Report(reporter, IDS_NOT_REMOVED, path);
    }
}

bool IsScheduled(const RemovalTally& tally, const wchar_t* path)
{
    for (int i = 0; i < tally.scheduledCount; ++i)
        if (_wcsicmp(tally.scheduled[i], path) == 0)
            return true;
    return false;
}

// The files this installation placed, by content: its record, or without a usable one the
// payload this uninstaller's version carried (never a file of neither).
struct KnownFiles {
    InstallRecord record;
    bool fromRecord = false;
    int Count() const { return fromRecord ? record.Count() : kPayloadItemCount; }
    const wchar_t* Name(int i) const { return fromRecord ? record.At(i).name : kPayloadItems[i].name; }
    // False for a folder, and for a file whose content is not known.
    bool Content(int i, uint64_t& size, uint8_t (&digest)[kSha256Size]) const
    {
        if (fromRecord) {
            size = record.At(i).size;
            memcpy(digest, record.At(i).digest, kSha256Size);
            return true;
        }
        size = kPayloadItems[i].size;
        if (kPayloadItems[i].folder || kPayloadItems[i].sha256 == nullptr)
            return false;
        memcpy(digest, kPayloadItems[i].sha256, kSha256Size);
        return true;
    }
};

void LoadKnownFiles(const wchar_t* folder, KnownFiles& known, InstallReporter& reporter)
{
    const CheckedTextState state = known.record.Load(folder);
    known.fromRecord = state == CheckedTextState::kRead;
    if (!known.fromRecord) {
        wchar_t record[kPathSize];
        FormatText(record, kPathSize, L"%ls%ls", folder, variant::kInstallRecordFile);
        Report(reporter, IDS_RECORD_UNUSABLE, record);
    }
}

// Every file this installation placed but the uninstaller, last first, while it is as placed; a
// file changed since is somebody's and stays. Nothing reached through a link is touched.
void RemovePayload(const wchar_t* folder, const KnownFiles& known, InstallReporter& reporter, RemovalTally& tally)
{
    for (int i = known.Count() - 1; i >= 0; --i) {
        wchar_t path[kPathSize];
        uint64_t size = 0;
        uint8_t digest[kSha256Size];
        if (_wcsicmp(known.Name(i), variant::kUninstallerFile) == 0 || !known.Content(i, size, digest)
            || !FormatText(path, kPathSize, L"%ls%ls", folder, known.Name(i)) || ReachedThroughLink(folder, known.Name(i))
            || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!FileHasContent(path, size, digest)) {
            Report(reporter, IDS_KEPT_CHANGED, path);
            continue;
        }
        Tally(RemoveFile(path), path, reporter, tally);
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
        wchar_t settingsFolder[kIniPathSize], settings[kPathSize], link[kPathSize];
        // Only a folder the install itself would have used: absolute, and no level of it a link
        // (held so while its files go, so none can become one).
        HeldPath held;
        const bool usable = ExpandIniFolder(pointer, settingsFolder, kIniPathSize) && IsAbsoluteFolder(settingsFolder);
        if (usable && held.Hold(settingsFolder, link, kPathSize) != HoldResult::kHeld)
            Tally(Removal::kStays, link, reporter, tally);
        else if (usable) {
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

// True when everything still in `path` is itself waiting for the restart to remove it: only then
// does scheduling the folder remove anything.
bool HoldsOnlyScheduled(const wchar_t* path, const RemovalTally& tally)
{
    wchar_t pattern[kPathSize];
    if (!FormatText(pattern, kPathSize, L"%ls%ls*", path, EndsWith(path, L'\\') ? L"" : L"\\"))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool onlyScheduled = true;
    do {
        wchar_t item[kPathSize];
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        onlyScheduled = FormatText(item, kPathSize, L"%ls%ls%ls", path, EndsWith(path, L'\\') ? L"" : L"\\",
                                   found.cFileName)
                        && IsScheduled(tally, item);
    } while (onlyScheduled && FindNextFileW(search, &found));
    FindClose(search);
    return onlyScheduled;
}

// Adds `relative` (a folder below the installation, without its trailing backslash) unless listed.
void AddFolder(const wchar_t* relative, wchar_t (*folders)[kPathSize], int& count, int capacity)
{
    for (int i = 0; i < count; ++i)
        if (_wcsicmp(folders[i], relative) == 0)
            return;
    if (count < capacity && CopyText(folders[count], kPathSize, relative))
        ++count;
}

int Depth(const wchar_t* relative)
{
    int depth = relative[0] ? 1 : 0;
    for (const wchar_t* at = relative; (at = wcschr(at, L'\\')) != nullptr; ++at)
        ++depth;
    return depth;
}

// The folders the payload made or the recorded files lie in, deepest first, then the installation
// folder: an empty one goes; one that holds only what waits for the restart goes then; one that
// holds anything else (a user's file, a changed file) stays, and the log says so.
void RemoveLeftFolders(const wchar_t* installFolder, const KnownFiles& known, InstallReporter& reporter,
                       RemovalTally& tally)
{
    constexpr int kMaxFolders = 256;
    HeapBuffer<wchar_t[kPathSize]> buffer = AllocateBuffer<wchar_t[kPathSize]>(kMaxFolders);
    if (!buffer)
        return;
    wchar_t (*folders)[kPathSize] = buffer.Get();
    int count = 0;
    for (int i = kPayloadItemCount - 1; i >= 0; --i)
        if (kPayloadItems[i].folder)
            AddFolder(kPayloadItems[i].name, folders, count, kMaxFolders);
    for (int i = known.Count() - 1; i >= 0; --i) {
        wchar_t parent[kPathSize];
        CopyText(parent, kPathSize, known.Name(i));
        for (wchar_t* cut = wcsrchr(parent, L'\\'); cut != nullptr; cut = wcsrchr(parent, L'\\')) {
            *cut = L'\0';
            AddFolder(parent, folders, count, kMaxFolders);
        }
    }
    // Deepest first; among folders of one depth, the order found.
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && Depth(folders[j]) > Depth(folders[j - 1]); --j) {
            wchar_t swap[kPathSize];
            CopyText(swap, kPathSize, folders[j]);
            CopyText(folders[j], kPathSize, folders[j - 1]);
            CopyText(folders[j - 1], kPathSize, swap);
        }
    AddFolder(L"", folders, count, kMaxFolders);
    for (int i = 0; i < count; ++i) {
        wchar_t path[kPathSize];
        if ((folders[i][0] != L'\0' && ReachedThroughLink(installFolder, folders[i]))
            || !FormatText(path, kPathSize, L"%ls%ls", installFolder, folders[i]) || RemoveDirectoryW(path)
            || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES || IsLink(path))
            continue;
        if (!HoldsOnlyScheduled(path, tally)) {
            Report(reporter, IDS_KEPT_FOLDER, path);
            continue;
        }
        Tally(RemoveAtRestart(path) ? Removal::kAtRestart : Removal::kStays, path,
              reporter, tally);
    }
}

// The levels above the installation folder its first install made, as the entry notes them.
DWORD ParentsMade()
{
    DWORD levels = 0, size = sizeof(levels);
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_QUERY_VALUE);
    if (!entry || RegQueryValueExW(entry.Get(), kParentFoldersMadeValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&levels), &size) != ERROR_SUCCESS)
        return 0;
    return levels;
}

// Once the installation folder is gone, the levels above it that its install made go too while
// they are empty; the first that is not (something of somebody else's is in it) ends the walk.
void RemoveParentsMade(const wchar_t* installFolder, DWORD levels)
{
    wchar_t path[kPathSize];
    if (!CopyText(path, kPathSize, installFolder) || GetFileAttributesW(installFolder) != INVALID_FILE_ATTRIBUTES)
        return;
    for (DWORD level = 0; level <= levels; ++level) {
        wchar_t* cut = wcsrchr(path, L'\\');
        if (cut == nullptr)
            return;
        *cut = L'\0';  // first the trailing backslash, then one level each
        if (level > 0 && !RemoveDirectoryW(path))
            return;
    }
}

// The record and the journal go last of the setup's files, so a run cut short still knows.
void RemoveSetupFiles(const wchar_t* folder)
{
    for (const wchar_t* name : {variant::kInstallRecordFile, variant::kUpdateJournalFile}) {
        wchar_t path[kPathSize];
        if (FormatText(path, kPathSize, L"%ls%ls", folder, name))
            DeleteFileW(path);
    }
}

}  // namespace

UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter)
{
    // An update a run left half done is undone first: the files are then the record's.
    FinishInterruptedUpdate(options.installFolder);
    HeapBuffer<wchar_t[kPathSize]> scheduled = AllocateBuffer<wchar_t[kPathSize]>(kMaxScheduled);
    RemovalTally tally;
    tally.scheduled = scheduled.Get();
    const DWORD parentsMade = ParentsMade();  // read while the entry is certain to be there
    KnownFiles known;
    LoadKnownFiles(options.installFolder, known, reporter);
    RemovePayload(options.installFolder, known, reporter, tally);
    KillPoint(L"files");
    RemoveSettings(options, reporter, tally);
    KillPoint(L"settings");
    struct Notes : LeftBehindNotes {
        Notes(InstallReporter& r, RemovalTally& t) : reporter(r), tally(t) {}
        void LeftBehind(const wchar_t* what) override { Tally(Removal::kStays, what, reporter, tally); }
        InstallReporter& reporter;
        RemovalTally& tally;
    } notes(reporter, tally);
    FailureTally notRemoved;
    if (!UnregisterFromShell(options.installFolder, notes, notRemoved)) {
        tally.incomplete = true;
        ReportNotMade(reporter, notRemoved);
    }
    KillPoint(L"registration");
    // The record and the journal go while the uninstaller is still in place to be run again.
    RemoveSetupFiles(options.installFolder);
    KillPoint(L"record");
    // Then the uninstaller itself, then the folders, once nothing of the user's is left in them.
    wchar_t uninstaller[kPathSize];
    FormatText(uninstaller, kPathSize, L"%ls%ls", options.installFolder, variant::kUninstallerFile);
    if (GetFileAttributesW(uninstaller) != INVALID_FILE_ATTRIBUTES && !options.moveUninstallerOut(options.context))
        Tally(RemoveFile(uninstaller), uninstaller, reporter, tally);
    KillPoint(L"uninstaller");
    RemoveLeftFolders(options.installFolder, known, reporter, tally);
    RemoveParentsMade(options.installFolder, parentsMade);
    KillPoint(L"folders");
    // Last the entry that makes this an installation: a run cut short anywhere before is found
    // again by the next one, and everything before does nothing the second time.
    FailureTally entryLeft;
    if (!RemoveUninstallEntry(options.installFolder, entryLeft)) {
        tally.incomplete = true;  // the installation would still be listed as installed
        ReportNotMade(reporter, entryLeft);
    }
    if (tally.incomplete)
        return kUninstallIncomplete;
    return tally.atRestart ? kUninstallAtRestart : kUninstallRemoved;
}
