#include "app/the_app.h"

#include "model/exit_codes.h"
#include "engine/install_log.h"
#include "silent/silent_run.h"
#include "framework/gdi_handles.h"
#include "framework/machine_lock.h"
#include "framework/stage_clock.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "model/running_product.h"
#include "shell/default_apps_page.h"
#include "wizard/message_box.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <cwchar>


TheApp::~TheApp() = default;

void TheApp::ApplyVisualStyles()
{
    if (!m_uxTheme) {
        m_uxTheme.Reset(LoadSystemLibrary(L"UxTheme.dll"));
        if (!m_uxTheme)
            return;
    }
    // Themed non-client areas and themed controls.
    constexpr DWORD kThemeNonClientAndControls = 3;
    auto setProperties = ProcAddress<void(WINAPI*)(DWORD)>(m_uxTheme.Get(), "SetThemeAppProperties");
    if (setProperties != nullptr)
        setProperties(kThemeNonClientAndControls);
}

int TheApp::InitInstance()
{
    InstallLog::FixLocation();
    m_ole32.Reset(PrepareLibraryLoading());
    if constexpr (variant::kIs32Bit)
        ApplyVisualStyles();

    const wchar_t* commandLine = GetCommandLineW();
    const bool silent = wcsstr(commandLine, L"/silent") != nullptr;
    if (!silent)
        PrepareCommonControls();
    // A second run while one installs or removes changes nothing and says why.
    MachineLock lock;
    if (!lock.Acquire(kRunLockName, silent ? kRunLockWaitMs : 0)) {
        if (silent)
            LogMessage(IDS_ANOTHER_RUN);
        else
            ShowSetupMessage(nullptr, IDS_ANOTHER_RUN, variant::kSetupTitle, MB_ICONEXCLAMATION | MB_OK);
        SetExitCode(kExitAnotherRunning);
        return 0;
    }
    if (silent)
        SetExitCode(RunSilent(commandLine));
    else
        RunWizard();
    WriteStageTimes();
    return 0;
}

void TheApp::RunWizard()
{
    m_sheet.BeginRun(PixelsPerInch(nullptr));

    WizardPages pages(m_sheet);
    if constexpr (variant::kIs32Bit)
        ApplyVisualStyles();
    m_sheet.DoModal(nullptr);
    m_sheet.RemoveAllPages();
    // Opened once the wizard is gone, so nothing covers it.
    if (m_sheet.HandsOffDefaults() && OpenDefaultAppsPage() < 0)
        TellNotOpened(nullptr, L"Default apps\n");
    SetExitCode(m_sheet.Outcome());
}
