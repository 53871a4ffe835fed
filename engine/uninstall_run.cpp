#include "engine/uninstall_run.h"

#include "engine/settings_ini.h"
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

// Every payload file but the uninstaller, last entry first, then the folders the payload made
// once they are empty.
void RemovePayload(const wchar_t* folder, InstallReporter& reporter, RemovalTally& tally)
{
    for (int i = kPayloadItemCount - 1; i >= 0; --i) {
        wchar_t path[kPathSize];
        if (_wcsicmp(kPayloadItems[i].name, kUninstallerFile) == 0
            || !FormatText(path, kPathSize, L"%ls%ls", folder, kPayloadItems[i].name))
            continue;
        if (kPayloadItems[i].folder) {
            RemoveDirectoryW(path);  // a folder holding something of the user's stays
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
        if (ExpandIniFolder(pointer, settingsFolder, kIniPathSize) && settingsFolder[0] != L'\0') {
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

}  // namespace

UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter)
{
    RemovalTally tally;
    RemovePayload(options.installFolder, reporter, tally);
    RemoveSettings(options, reporter, tally);
    if (!UnregisterFromShell(options.installFolder)) {
        tally.incomplete = true;
        Report(reporter, IDS_NOT_REMOVED, options.installFolder);
    }
    // Last the uninstaller itself, then the folder, once nothing of the user's is left in it.
    wchar_t uninstaller[kPathSize];
    FormatText(uninstaller, kPathSize, L"%ls%ls", options.installFolder, kUninstallerFile);
    if (GetFileAttributesW(uninstaller) != INVALID_FILE_ATTRIBUTES && !options.moveUninstallerOut(options.context))
        Tally(RemoveFile(uninstaller), uninstaller, reporter, tally);
    if (!RemoveDirectoryW(options.installFolder) && GetFileAttributesW(options.installFolder) != INVALID_FILE_ATTRIBUTES
        && tally.atRestart)
        MoveFileExW(options.installFolder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (tally.incomplete)
        return kUninstallIncomplete;
    return tally.atRestart ? kUninstallAtRestart : kUninstallRemoved;
}
