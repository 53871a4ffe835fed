#include "shell/default_apps_page.h"

#include "framework/system_library.h"
#include "shell/signed_in_user_start.h"

#include <windows.h>

namespace {

// Windows 11 names its first release 10.0.22000.
constexpr unsigned long kFirstWindows11Build = 22000;

// The name under RegisteredApplications: Settings opens the product's own page by it.
constexpr wchar_t kSettingsForProduct[] = L"ms-settings:defaultapps?registeredAppMachine=Pictarn";
constexpr wchar_t kSettings[] = L"ms-settings:defaultapps";
// Control Panel's "Set associations for a program", for the same registered name.
constexpr wchar_t kControlPanel[] = L"control.exe";
constexpr wchar_t kControlPanelPage[] =
    L"/name Microsoft.DefaultPrograms /page pageDefaultProgram\\pageAdvancedSettings?pszAppName=Pictarn";

}  // namespace

DefaultAppsPage DefaultAppsPageFor(const WindowsRelease& release)
{
    if (release.major > 10 || (release.major == 10 && release.build >= kFirstWindows11Build))
        return {kSettingsForProduct, nullptr, false};
    if (release.major == 10)
        return {kSettings, nullptr, false};
    if (release.major == 6 && release.minor >= 2)
        return {kControlPanel, kControlPanelPage, true};
    return {};
}

int OpenDefaultAppsPage()
{
    const DefaultAppsPage page = DefaultAppsPageFor(RunningRelease());
    if (page.target == nullptr)
        return 0;
    wchar_t program[MAX_PATH];
    const wchar_t* target = page.target;
    if (page.inSystemFolder) {
        if (!SystemFolderFile(page.target, program, MAX_PATH))
            return -1;
        target = program;
    }
    return OpenAsSignedInUser(target, page.parameters) ? 1 : -1;
}
