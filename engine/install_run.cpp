#include "engine/install_run.h"

#include "model/messages.h"
#include "framework/ensure_directory.h"
#include "framework/failure_tally.h"
#include "framework/file_holder.h"
#include "framework/file_identity.h"
#include "framework/folder_access.h"
#include "framework/held_path.h"
#include "model/install_folder.h"
#include "model/payload_entries.h"
#include "model/registry_rows.h"
#include "engine/icons_plugin.h"
#include "engine/payload.h"
#include "engine/settings_ini.h"
#include "engine/registered_installation.h"
#include "framework/handles.h"
#include "framework/joined_thread.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "framework/stage_clock.h"
#include "framework/text.h"
#include "shell/app_registration.h"
#include "shell/registered_application.h"
#include "variants/variant.h"



namespace {

constexpr size_t kMessageSize = 1024;

enum class FolderPlace { kAfterMessage, kBeforeMessage };

void ReportFailure(InstallReporter& reporter, unsigned messageId, const wchar_t* folder, FolderPlace place)
{
    wchar_t message[kMessageSize];
    LoadMessage(messageId, message, kMessageSize);
    constexpr size_t kEntrySize = kMessageSize + kFolderBufferSize + 4;
    wchar_t entry[kEntrySize];
    if (place == FolderPlace::kAfterMessage)
        FormatText(entry, kEntrySize, L"%ls: %ls", message, folder);
    else
        FormatText(entry, kEntrySize, L"%ls: %ls", folder, message);
    reporter.ReportFailure(message, entry);
}

SetupExitCode Fail(InstallReporter& reporter, unsigned messageId, const wchar_t* folder, FolderPlace place,
                   SetupExitCode code)
{
    ReportFailure(reporter, messageId, folder, place);
    return code;
}

// Message 7, with the file the unpacking stopped at, Windows' reason and, where Windows can tell,
// the program that holds it. Nothing of the earlier installation was changed.
void ReportUnpackFailure(InstallReporter& reporter, const wchar_t* folder, const ExtractProblem& problem)
{
    wchar_t message[kMessageSize], file[kMessageSize], reason[kMessageSize], holder[kMessageSize];
    LoadMessage(IDS_CANT_INSTALL_ALL, message, kMessageSize);
    if (problem.path[0] != L'\0') {
        wchar_t format[kMessageSize];
        LoadMessage(IDS_FILE_NOT_REPLACED, format, kMessageSize);
        SystemErrorText(problem.error, reason, kMessageSize);
        FormatText(file, kMessageSize, format, problem.path, reason);
        wchar_t heldBy[kMessageSize];
        if (ProgramHolding(problem.path, holder, kMessageSize)) {
            LoadMessage(IDS_FILE_HELD_BY, format, kMessageSize);
            FormatText(heldBy, kMessageSize, format, holder);
            AppendText(file, kMessageSize, heldBy);
        }
        AppendText(message, kMessageSize, L"\n\n") && AppendText(message, kMessageSize, file);
    }
    constexpr size_t kEntrySize = kMessageSize + kFolderBufferSize + 4;
    wchar_t entry[kEntrySize];
    FormatText(entry, kEntrySize, L"%ls: %ls", folder, message);
    reporter.ReportFailure(message, entry);
}

// The registration's view of the options: what it writes, each choice a yes or no.
RegistrationRequest RequestFor(const InstallOptions& options)
{
    RegistrationRequest request;
    request.installFolder = options.installFolder;
    request.associate = options.associate != 0;
    request.shortcuts = {.group = options.groupShortcuts != 0,
                         .desktop = options.desktopShortcut != 0,
                         .thumbnails = options.thumbsShortcut != 0,
                         .allUsers = options.allUsers != 0};
    request.assocSelection = options.assocSelection;
    request.assocAllUsers = options.assocAllUsers != 0;
    request.userPartsLeftOut = options.forAnotherAccount != 0;
    return request;
}

// The question is asked only in the wizard and only when formats were chosen.
bool AsksAboutAssociations(const InstallOptions& options)
{
    return options.associate && !options.silent;
}

// False only for a "No".
bool ConfirmAssociations(InstallReporter& reporter)
{
    wchar_t question[kMessageSize];
    LoadMessage(IDS_ASSOCIATION_QUESTION, question, kMessageSize);
    return reporter.ConfirmAssociations(question);
}

void ReportUnusableIniFolder(InstallReporter& reporter, const wchar_t* given)
{
    wchar_t message[kMessageSize];
    LoadMessage(IDS_SETTINGS_FOLDER_UNUSABLE, message, kMessageSize);
    constexpr size_t kEntrySize = kMessageSize + kFolderBufferSize + 4;
    wchar_t entry[kEntrySize];
    FormatText(entry, kEntrySize, L"%ls: %ls", message, given);
    reporter.ReportNote(entry);
}

// Outside the program-files folders a new folder inherits rights that may let users replace the
// programs an administrator or SYSTEM runs later, and one a user made is theirs: an elevated
// run gives the installation folder and the payload's folders already there a list of their own.
void ProtectProductFolders(const wchar_t* folder, const wchar_t* topmostMade)
{
    // A share's rights are the server's; a list set there may lock out the very run that set it.
    if (!RunsAsAdministrator() || IsBelowProgramFiles(folder) || IsRemotePath(folder))
        return;
    // Every level the run made, from the topmost down, not only the last: a user who may rename
    // a level above could put a folder of their own at the installation's name.
    wchar_t level[kFolderBufferSize];
    for (size_t end = wcslen(topmostMade); topmostMade[0] != L'\0' && folder[end] != L'\0'; ++end)
        if (folder[end] == L'\\' && folder[end + 1] != L'\0' && CopyTextN(level, kFolderBufferSize, folder, end))
            ProtectFolder(level);
    ProtectFolder(folder);
    for (int i = 0; i < kPayloadItemCount; ++i) {
        wchar_t path[kFolderBufferSize];
        if (kPayloadItems[i].folder && FormatText(path, kFolderBufferSize, L"%ls%ls", folder, kPayloadItems[i].name)
            && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
            ProtectFolder(path);
    }
}

// A drive's or share's root, or the Windows folder or one below it: folders of the machine's own,
// whose rights an installation must not change.
bool IsRootOrWindowsFolder(const wchar_t* folder)
{
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH && _wcsnicmp(folder, windows, length) == 0
        && (folder[length] == L'\0' || folder[length] == L'\\'))
        return true;
    wchar_t root[kFolderBufferSize], given[kFolderBufferSize];
    if (!GetVolumePathNameW(folder, root, kFolderBufferSize) || !CopyText(given, folder))
        return false;
    AppendBackslash(root, kFolderBufferSize);
    AppendBackslash(given);
    return _wcsicmp(root, given) == 0;
}

// True when `folder` is the folder the other build's uninstall entry names, in its own view.
bool HoldsOtherBuildsInstallation(const wchar_t* folder)
{
    wchar_t other[kFolderBufferSize];
    return FindOtherBuildsFolder(other, kFolderBufferSize) && IsSameFolder(other, folder);
}

// True when this build's uninstall entry says a later version than this one is installed.
bool NewerVersionInstalled(DWORD& major, DWORD& minor)
{
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_QUERY_VALUE);
    DWORD size = sizeof(DWORD);
    if (!entry || RegQueryValueExW(entry.Get(), L"VersionMajor", nullptr, nullptr, reinterpret_cast<BYTE*>(&major), &size)
        || (size = sizeof(DWORD), RegQueryValueExW(entry.Get(), L"VersionMinor", nullptr, nullptr,
                                                   reinterpret_cast<BYTE*>(&minor), &size)))
        return false;
    return major > static_cast<DWORD>(variant::kVersionMajor)
           || (major == static_cast<DWORD>(variant::kVersionMajor) && minor > static_cast<DWORD>(variant::kVersionMinor));
}

SetupExitCode RefuseDowngrade(InstallReporter& reporter, DWORD major, DWORD minor)
{
    wchar_t format[kMessageSize], message[kMessageSize];
    LoadMessage(IDS_NEWER_INSTALLED, format, kMessageSize);
    FormatText(message, kMessageSize, format, static_cast<unsigned long>(major), static_cast<unsigned long>(minor),
               variant::kVersionMajor, variant::kVersionMinor);
    reporter.ReportFailure(message, message);
    return kExitNewerInstalled;
}

SetupExitCode RefuseSecondInstallation(InstallReporter& reporter, const wchar_t* existing)
{
    wchar_t format[kMessageSize], message[kMessageSize + kFolderBufferSize];
    LoadMessage(IDS_INSTALLED_ELSEWHERE, format, kMessageSize);
    FormatText(message, kMessageSize + kFolderBufferSize, format, existing);
    reporter.ReportFailure(message, message);
    return kExitInvalidFolder;
}

SetupExitCode RefuseTooLong(InstallReporter& reporter, const wchar_t* folder)
{
    wchar_t format[kMessageSize], message[kMessageSize + kFolderBufferSize];
    LoadMessage(IDS_FOLDER_TOO_LONG, format, kMessageSize);
    FormatText(message, kMessageSize + kFolderBufferSize, format, static_cast<int>(wcslen(folder)),
               static_cast<int>(MaxInstallFolderLength()), folder);
    reporter.ReportFailure(message, message);
    return kExitInvalidFolder;
}

// An install that stopped before its files were in place takes away the folders it made, once
// they are empty: the payload's own, then the installation folder's levels up to the topmost
// one it made (none when the folder was there before).
void RemoveFoldersMade(const wchar_t* folder, const wchar_t* topmostMade)
{
    // The unpacking left the folder as the current directory, which Windows does not remove.
    wchar_t system[MAX_PATH];
    if (GetSystemDirectoryW(system, MAX_PATH))
        SetCurrentDirectoryW(system);
    wchar_t path[kFolderBufferSize];
    for (int i = kPayloadItemCount - 1; i >= 0; --i)
        if (kPayloadItems[i].folder && FormatText(path, kFolderBufferSize, L"%ls%ls", folder, kPayloadItems[i].name))
            RemoveDirectoryW(path);
    if (FormatText(path, kFolderBufferSize, L"%lsPlugins", folder))
        RemoveDirectoryW(path);
    if (topmostMade[0] == L'\0' || !CopyText(path, folder))
        return;
    for (size_t length = wcslen(path); length > wcslen(topmostMade); --length) {
        if (path[length - 1] != L'\\')
            continue;
        path[length - 1] = L'\0';
        if (!RemoveDirectoryW(path))
            return;
    }
}

// The levels above the installation folder this run made, kept in the uninstall entry. An update
// makes none and leaves what the first install noted; an entry taken over from another folder
// loses that folder's note.
void NoteParentsMade(const wchar_t* folder, const wchar_t* topmostMade, bool update)
{
    DWORD levels = 0;
    if (topmostMade[0] != L'\0')
        for (const wchar_t* at = folder + wcslen(topmostMade); *at != L'\0'; ++at)
            levels += *at == L'\\' && at[1] != L'\0';
    RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, variant::kUninstallKey, KEY_SET_VALUE);
    if (entry && levels > 0)
        SetDwordValue(entry.Get(), kParentFoldersMadeValue, levels);
    else if (entry && !update)
        RegDeleteValueW(entry.Get(), kParentFoldersMadeValue);
}

}  // namespace

SetupExitCode RunInstall(InstallOptions& options, InstallReporter& reporter)
{
    // A relative folder is meant from where the program was started. It is made absolute in
    // the record itself, so the settings, the registration and the caller all see one folder.
    TrimSpaces(options.installFolder);
    if (options.installFolder[0] == L'\0' || !MakeFolderAbsolute(options.installFolder, kFolderBufferSize))
        return Fail(reporter, IDS_INVALID_DESTINATION, options.installFolder, FolderPlace::kAfterMessage,
                    kExitInvalidFolder);
    wchar_t folder[kFolderBufferSize];
    CopyText(folder, options.installFolder);
    // The two builds share the names of most files: one installed over the other would break
    // both, and removing either would take files the other still uses.
    if (HoldsOtherBuildsInstallation(folder))
        return Fail(reporter, IDS_OTHER_BUILDS_FOLDER, folder, FolderPlace::kAfterMessage, kExitInvalidFolder);
    // One installation per build: a second would take over the entry, and the first would be left
    // with no way to be removed.
    if (wchar_t existing[kFolderBufferSize]; InstalledElsewhere(folder, existing, kFolderBufferSize))
        return RefuseSecondInstallation(reporter, existing);
    // An older version over a newer one is a mistake more often than a wish.
    if (DWORD major = 0, minor = 0; !options.allowDowngrade && NewerVersionInstalled(major, minor))
        return RefuseDowngrade(reporter, major, minor);
    if (IsRootOrWindowsFolder(folder))
        return Fail(reporter, IDS_FOLDER_NOT_ALLOWED, folder, FolderPlace::kAfterMessage, kExitInvalidFolder);
    // Longer, and some file's path would pass what Windows allows.
    if (wcslen(folder) - (folder[wcslen(folder) - 1] == L'\\') > MaxInstallFolderLength())
        return RefuseTooLong(reporter, folder);
    // Asked before anything is written, so the answer never waits on written files.
    const bool asking = AsksAboutAssociations(options);
    const bool confirmed = !asking || ConfirmAssociations(reporter);
    // Every level of the folder is held for the whole run, so none can be renamed or replaced
    // by a link once checked; one that is a link already could lead anywhere. Elevated, a level
    // that others may change could be swapped after the run for one of theirs, with programs
    // an administrator or SYSTEM runs later: refused, unless it is this build's installation.
    HeldPath held;
    wchar_t level[kFolderBufferSize], registered[kFolderBufferSize];
    bool (*accept)(HANDLE, bool) = nullptr;
    const bool update = FindRegisteredInstallation(folder, registered, kFolderBufferSize);
    if (RunsAsAdministrator() && !update)
        accept = [](HANDLE handle, bool last) {
            return last ? OnlyAdministratorsCanChange(handle) : NobodyElseCanMoveWhatItHolds(handle);
        };
    wchar_t topmostMade[kFolderBufferSize];
    if (!TopmostMissingFolder(folder, topmostMade, kFolderBufferSize))
        topmostMade[0] = L'\0';
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1 && !EnsureDirectory(folder))
            return Fail(reporter, IDS_CANT_CREATE_DESTINATION, folder, FolderPlace::kAfterMessage, kExitFolderNotCreated);
        // The levels the run makes are checked once protected, below.
        const HoldResult hold = held.Hold(folder, level, kFolderBufferSize, pass == 0 ? accept : nullptr);
        if (hold != HoldResult::kHeld)
            return Fail(reporter, hold == HoldResult::kLink ? IDS_FOLDER_THROUGH_LINK : IDS_FOLDER_USERS_CAN_CHANGE,
                        level, FolderPlace::kAfterMessage, kExitInvalidFolder);
    }

    ProtectProductFolders(folder, topmostMade);
    wchar_t pluginFolder[kFolderBufferSize];
    FormatText(pluginFolder, kFolderBufferSize, L"%lsPlugins", folder);
    EnsureDirectory(pluginFolder);  // the unpacking creates it later if it can
    wchar_t pluginPath[kFolderBufferSize];
    FormatText(pluginPath, kFolderBufferSize, L"%ls%ls", folder, variant::kIconsPlugin);
    int replaceIcons = ShouldReplaceIconsDll(pluginPath);

    ExtractProblem problem{};
    if (const int unpacked = ExtractPayload(folder, replaceIcons ? 0 : 1, &problem, &reporter);
        unpacked != kExtractComplete) {
        held.Release();
        RemoveFoldersMade(folder, topmostMade);
        if (unpacked == kExtractCancelled)
            return kExitLeftWizard;
        ReportUnpackFailure(reporter, folder, problem);
        return kExitNotAllInstalled;
    }
    if (problem.moveRetries > 0) {
        wchar_t format[kMessageSize], message[kMessageSize], note[kMessageSize + kFolderBufferSize];
        LoadMessage(IDS_MOVES_RETRIED, format, kMessageSize);
        FormatText(message, kMessageSize, format, problem.moveRetries);
        FormatText(note, kMessageSize + kFolderBufferSize, L"%ls: %ls", message, folder);
        reporter.ReportNote(note);
    }

    // The settings file waits mostly on the file system and the display driver, the registration
    // on the registry: done side by side, each fills the other's waits.
    wchar_t givenIniFolder[kFolderBufferSize];
    CopyText(givenIniFolder, options.iniFolder);
    int settingsUsable = 1;
    // Filled from every thread below; read only after they have ended.
    FailureTally failures;
    auto writeSettings = [&] {
        StageScope stage(Stage::kSettings);
        wchar_t effectiveIni[kIniPathSize];
        HeldPath settingsFolder;  // held until the settings are written
        settingsUsable = WriteInitialSettings(options.installFolder, options.iniFolder, options.silent, effectiveIni,
                                              failures, settingsFolder, options.forAnotherAccount != 0);
    };
    RegistrationRequest request = RequestFor(options);
    request.confirmed = confirmed;
    // The registration runs beside the settings.
    {
        auto settings = StartAlongside(writeSettings);
        StageScope registry(Stage::kRegistry);
        RegisterWithShell(request, failures);
    }
    if (!settingsUsable)
        ReportUnusableIniFolder(reporter, givenIniFolder);
    if (options.forAnotherAccount) {
        wchar_t note[kMessageSize];
        LoadMessage(IDS_USER_PARTS_LEFT_OUT, note, kMessageSize);
        reporter.ReportNote(note);
    }
    NoteParentsMade(folder, topmostMade, update);
    MarkInstalledVersion(failures.Empty(), failures);
    ReportNotMade(reporter, failures);
    return failures.Empty() ? kExitInstalled : kExitNotAllInstalled;
}
