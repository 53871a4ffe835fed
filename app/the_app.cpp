#include "app/the_app.h"

#include "app/exit_codes.h"
#include "app/install_options.h"
#include "app/messages.h"
#include "engine/install_log.h"
#include "engine/install_run.h"
#include "framework/gdi_handles.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <commctrl.h>
#include <delayimp.h>

#include <cwchar>


int SystemLibraryPath(const wchar_t* fileName, wchar_t* out, size_t outSize)
{
    UINT len = GetSystemDirectoryW(out, static_cast<UINT>(outSize));
    if (len == 0 || len >= outSize)
        return 0;
    return AppendBackslash(out, outSize) && AppendText(out, outSize, fileName);
}

void RestrictDllSearch()
{
    wchar_t kernelPath[MAX_PATH];
    if (!SystemLibraryPath(L"kernel32.dll", kernelPath, MAX_PATH))
        return;
    HMODULE kernel = GetModuleHandleW(kernelPath);
    if (kernel == nullptr)
        return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    // Older Windows lacks it; the program then carries on with the ordinary search.
    if (setDirectories != nullptr)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    return SystemLibraryPath(fileName, path, MAX_PATH) ? LoadLibraryW(path) : nullptr;
}

namespace {

// The libraries bound on first use are loaded by full path from the system folder, never by
// bare name.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
        return nullptr;
    wchar_t name[64];
    if (MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, 64) == 0)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;
}

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
    using SetThemeAppPropertiesFn = void(WINAPI*)(DWORD);
    auto setProperties = reinterpret_cast<SetThemeAppPropertiesFn>(
        reinterpret_cast<void*>(GetProcAddress(m_uxTheme.Get(), "SetThemeAppProperties")));
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
        RunSilent(commandLine);
    else
        RunWizard();
    return 0;
}

void TheApp::RunSilent(const wchar_t* commandLine)
{
    if (FindWindowW(variant::kProductWindowClass, nullptr) != nullptr) {
        wchar_t warning[260];
        LoadMessage(IDS_PRODUCT_RUNNING, warning, 260);
        InstallLog::Append(warning);
        SetExitCode(kExitProductRunning);
        return;
    }
    InstallOptions options;
    BuildSilentOptions(commandLine, options);
    SetupExitCode outcome = kExitInstalled;
    RunInstall(options, outcome);
    SetExitCode(outcome);
}

void TheApp::RunWizard()
{
    m_headingFont = LOGFONTW{};
    m_headingFont.lfHeight = MulDiv(18, PixelsPerInch(nullptr), 96);
    m_headingFont.lfWeight = FW_BOLD;
    m_headingFont.lfQuality = ANTIALIASED_QUALITY;
    CopyText(m_headingFont.lfFaceName, L"Arial");
    m_sheet.m_fontHeading.Reset(CreateFontIndirectW(&m_headingFont));
    m_sheet.m_hAssocList = nullptr;
    m_sheet.m_installed = false;

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
    SetExitCode(m_sheet.m_installed ? kExitInstalled : kExitLeftWizard);
}
