#include "engine/install_run.h"

#include "app/messages.h"
#include "engine/install_log.h"
#include "framework/text.h"

#include <windows.h>

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
    wchar_t entry[kMessageSize + kFolderBufferSize + 4];
    if (place == FolderPlace::kAfterMessage)
        FormatText(entry, sizeof(entry) / sizeof(entry[0]), L"%ls: %ls", message, folder);
    else
        FormatText(entry, sizeof(entry) / sizeof(entry[0]), L"%ls: %ls", folder, message);
    InstallLog::Append(entry);
}

}  // namespace

int RunInstall(InstallOptions& options, SetupExitCode& outcome)
{
    wchar_t folder[kFolderBufferSize];
    CopyText(folder, options.installFolder);
    if (folder[0] == L'\0') {
        ReportFailure(options, IDS_INVALID_DESTINATION, folder, FolderPlace::kAfterMessage);
        outcome = kExitInvalidFolder;
        return 0;
    }
    outcome = kExitInstalled;
    return 1;
}
