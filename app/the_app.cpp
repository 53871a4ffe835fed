#include "app/the_app.h"

#include "model/exit_codes.h"
#include "engine/install_log.h"
#include "silent/silent_run.h"
#include "framework/gdi_handles.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <commctrl.h>

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
    RestrictDllSearch();
    // Windows loads ole32 by bare name on its own (shell32's import of it, the input-method
    // support once there are windows), under Wine from the program's folder first. Loaded from
    // the system folder now, those lookups simply find it loaded.
    m_ole32.Reset(LoadSystemLibrary(L"ole32.dll"));
    if constexpr (variant::kIs32Bit)
        ApplyVisualStyles();

    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);

    const wchar_t* commandLine = GetCommandLineW();
    if (wcsstr(commandLine, L"/silent") != nullptr)
        SetExitCode(RunSilent(commandLine));
    else
        RunWizard();
    return 0;
}

void TheApp::RunWizard()
{
    m_headingFont = LOGFONTW{};
    m_headingFont.lfHeight = MulDiv(18, PixelsPerInch(nullptr), 96);
    m_headingFont.lfWeight = FW_BOLD;
    m_headingFont.lfQuality = ANTIALIASED_QUALITY;
    CopyText(m_headingFont.lfFaceName, L"Arial");
    m_sheet.BeginRun(CreateFontIndirectW(&m_headingFont));

    CWizPropertyPage welcome(IDD_WELCOME), whatsNew(IDD_WHATS_NEW), associations(IDD_ASSOCIATIONS),
        ready(IDD_READY), finished(IDD_FINISHED);
    for (CWizPropertyPage* page : {&welcome, &whatsNew, &associations, &ready, &finished}) {
        m_sheet.AddPage(page);
        page->m_pSheet = &m_sheet;
    }
    if constexpr (variant::kIs32Bit)
        ApplyVisualStyles();
    m_sheet.DoModal(nullptr);
    m_sheet.RemoveAllPages();
    SetExitCode(m_sheet.Installed() ? kExitInstalled : kExitLeftWizard);
}
