#include "engine/install_run.h"

#include "app/install_folder.h"
#include "app/messages.h"
#include "engine/ensure_directory.h"
#include "engine/icons_plugin.h"
#include "engine/install_log.h"
#include "engine/payload.h"
#include "engine/settings_ini.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "shell/app_registration.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr size_t kMessageSize = 1024;

enum class FolderPlace { kAfterMessage, kBeforeMessage };

// A wizard run shows the bare message; a silent run logs it together with the folder.
void ReportFailure(const InstallOptions& options, unsigned messageId, const wchar_t* folder, FolderPlace place)
{
    wchar_t message[kMessageSize];
    LoadMessage(messageId, message, kMessageSize);
    if (!options.silent) {
        MessageBoxW(GetActiveWindow(), message, options.caption, MB_ICONERROR | MB_OK);
        return;
    }
    constexpr size_t kEntrySize = kMessageSize + kFolderBufferSize + 4;
    wchar_t entry[kEntrySize];
    if (place == FolderPlace::kAfterMessage)
        FormatText(entry, kEntrySize, L"%ls: %ls", message, folder);
    else
        FormatText(entry, kEntrySize, L"%ls: %ls", folder, message);
    InstallLog::Append(entry);
}

int Fail(const InstallOptions& options, unsigned messageId, const wchar_t* folder, FolderPlace place,
         SetupExitCode code, SetupExitCode& outcome)
{
    ReportFailure(options, messageId, folder, place);
    outcome = code;
    return 0;
}

// Asked only in the wizard and only when formats were chosen; false only for a "No".
bool ConfirmAssociations(const InstallOptions& options)
{
    if (!options.associate || options.silent)
        return true;
    wchar_t question[kMessageSize];
    LoadMessage(IDS_ASSOCIATION_QUESTION, question, kMessageSize);
    return MessageBoxW(GetActiveWindow(), question, options.caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
           IDNO;
}

bool CanOpenForReading(const wchar_t* path)
{
    StdioFile file(_wfopen(path, L"rb"));
    return file.Valid();
}

}  // namespace

int RunInstall(InstallOptions& options, SetupExitCode& outcome)
{
    // A relative folder is meant from where the program was started. It is made absolute in
    // the record itself, so the settings, the registration and the caller all see one folder.
    TrimSpaces(options.installFolder);
    if (options.installFolder[0] == L'\0' || !MakeFolderAbsolute(options.installFolder, kFolderBufferSize))
        return Fail(options, IDS_INVALID_DESTINATION, options.installFolder, FolderPlace::kAfterMessage,
                    kExitInvalidFolder, outcome);
    wchar_t folder[kFolderBufferSize];
    CopyText(folder, options.installFolder);
    if (!EnsureDirectory(folder))
        return Fail(options, IDS_CANT_CREATE_DESTINATION, folder, FolderPlace::kAfterMessage,
                    kExitFolderNotCreated, outcome);

    wchar_t pluginFolder[kFolderBufferSize];
    FormatText(pluginFolder, kFolderBufferSize, L"%lsPlugins", folder);
    EnsureDirectory(pluginFolder);  // the unpacking creates it later if it can
    wchar_t pluginPath[kFolderBufferSize];
    FormatText(pluginPath, kFolderBufferSize, L"%lsIcons.dll", pluginFolder);
    int replaceIcons = ShouldReplaceIconsDll(pluginPath);

    if (ExtractPayload(folder, replaceIcons ? 0 : 1) != kExtractComplete)
        return Fail(options, IDS_CANT_INSTALL_ALL, folder, FolderPlace::kBeforeMessage, kExitFilesNotInstalled,
                    outcome);

    wchar_t effectiveIni[kIniPathSize];
    WriteInitialSettings(options.installFolder, options.iniFolder, options.silent, effectiveIni);

    const int confirmed = ConfirmAssociations(options) ? 1 : 0;
    RegisterWithShell(confirmed, options.associate, options.installFolder, options.groupShortcuts,
                      options.desktopShortcut, options.thumbsShortcut, options.allUsers, options.assocSelection,
                      options.assocAllUsers);

    if (CanOpenForReading(effectiveIni))
        ConvertIniToUnicode(effectiveIni);
    outcome = kExitInstalled;
    return 1;
}
