#include "uninstaller/uninstall_app.h"

#include "engine/checked_text.h"
#include "engine/install_log.h"
#include "engine/registered_installation.h"
#include "engine/uninstall_run.h"
#include "framework/machine_lock.h"
#include "framework/path.h"
#include "framework/random_name.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "model/messages.h"
#include "model/running_product.h"
#include "uninstaller/uninstall_window.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr wchar_t kLogFileName[] = L"Pictarn_Uninstall.log";
constexpr size_t kTextSize = 2048;

// Every entry goes to the log; with the window, also to the list of what stayed that it shows.
class RemovalReporter : public InstallReporter {
public:
    explicit RemovalReporter(TextLines* outcome) : m_outcome(outcome) {}
    void ReportFailure(const wchar_t*, const wchar_t* entry) override { ReportNote(entry); }
    void ReportNote(const wchar_t* entry) override
    {
        InstallLog::Append(entry);
        if (m_outcome != nullptr)
            m_outcome->Add(L"%ls\r\n", entry);
    }
    bool ConfirmAssociations(const wchar_t*) override { return true; }

private:
    TextLines* m_outcome;
};

bool MoveSelfOutOf(void* context)
{
    return static_cast<UninstallApp*>(context)->MoveSelfOut();
}

UninstallExitCode RemoveFromWindow(bool purge, TextLines& outcome, void* context)
{
    return static_cast<UninstallApp*>(context)->Remove(purge, &outcome);
}

// Logged; with the window, the user is also told. `path` follows the message.
void Tell(bool silent, unsigned id, const wchar_t* path = nullptr)
{
    wchar_t message[kTextSize], title[128];
    LoadMessage(id, message, kTextSize);
    if (path != nullptr)
        AppendText(message, kTextSize, L" ") && AppendText(message, kTextSize, path);
    InstallLog::Append(message);
    if (silent)
        return;
    LoadMessage(IDS_UNINSTALL_TITLE, title, 128);
    MessageBoxW(GetActiveWindow(), message, title, MB_ICONEXCLAMATION | MB_OK);
}

bool AskedFor(const wchar_t* commandLine, const wchar_t* name)
{
    return wcsstr(commandLine, name) != nullptr;
}

}  // namespace

bool UninstallApp::MoveSelfOut()
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return false;
    // A running program's file may be moved within its volume, though not deleted. The name is
    // one nobody can guess, and nothing there is replaced: any user may create files in the
    // temporary folder of SYSTEM.
    for (int attempt = 0; attempt < 4; ++attempt) {
        wchar_t random[40], moved[520];
        if (!FormatRandomHex(random, 40) || !FormatText(moved, 520, L"%lspt_uninstall_%ls.exe", temp, random))
            return false;
        if (MoveFileExW(m_self, moved, 0)) {
            m_movedOut = true;
            return CopyText(m_self, 520, moved);
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

UninstallExitCode UninstallApp::Remove(bool purge, TextLines* outcome)
{
    // Held only while the removal works: a window waiting for its user stops no other run.
    MachineLock lock;
    // Logged here; the window tells its user itself.
    if (!lock.Acquire(kRunLockName, m_silent ? kRunLockWaitMs : 0)) {
        Tell(true, IDS_ANOTHER_RUN);
        return kUninstallAnotherRunning;
    }
    wchar_t ownFolder[520], registered[520];
    FolderOfPath(m_self, ownFolder, 520);
    // Another run may have removed or moved the installation while this one waited.
    if (!m_movedOut && !FindRegisteredInstallation(ownFolder, registered, 520)) {
        Tell(true, IDS_UNINSTALL_NOT_REGISTERED, ownFolder);
        return kUninstallNotRegistered;
    }
    if (m_silent && ProductRunning(m_folder)) {
        Tell(true, IDS_UNINSTALL_PRODUCT_RUNNING);
        return kUninstallProductRunning;
    }
    RemovalReporter reporter(outcome);
    const UninstallExitCode result = RunUninstall({m_folder, purge, MoveSelfOutOf, this}, reporter);
    // The program's own file, moved out of the installation folder, goes at the next restart:
    // nothing else can remove it. Left in the folder, the removal has scheduled it already.
    if (m_movedOut)
        MoveFileExW(m_self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return result;
}

int UninstallApp::InitInstance()
{
    InstallLog::FixLocation(kLogFileName);
    m_ole32.Reset(PrepareLibraryLoading());
    const wchar_t* commandLine = GetCommandLineW();
    m_silent = AskedFor(commandLine, L"/silent");
    if (!m_silent)
        PrepareCommonControls();

    const DWORD length = GetModuleFileNameW(nullptr, m_self, 520);
    if (length == 0 || length >= 520) {
        SetExitCode(kUninstallIncomplete);
        return 0;
    }
    wchar_t ownFolder[520];
    FolderOfPath(m_self, ownFolder, 520);
    // Only the installation the uninstall entry names is removed, whatever folder a copy of
    // this program sits in; its spelling is the one every registered value uses.
    if (!FindRegisteredInstallation(ownFolder, m_folder, 520)) {
        // Its log never goes into the folder of the installation that is registered.
        if (wchar_t registered[520]; FindRegisteredFolder(registered, 520))
            InstallLog::MoveOutOf(registered);
        Tell(m_silent, IDS_UNINSTALL_NOT_REGISTERED, ownFolder);
        SetExitCode(kUninstallNotRegistered);
        return 0;
    }
    InstallLog::MoveOutOf(ownFolder);
    InstallLog::MoveOutOf(m_folder);
    // The folder is to go: this process must not hold it as its current directory.
    wchar_t system[MAX_PATH];
    if (GetSystemDirectoryW(system, MAX_PATH))
        SetCurrentDirectoryW(system);

    if (m_silent)
        SetExitCode(Remove(AskedFor(commandLine, L"/purge"), nullptr));
    else
        SetExitCode(ShowUninstallWindow(m_folder, RemoveFromWindow, this));
    return 0;
}
