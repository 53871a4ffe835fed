// Libraries planted beside the setup program, in its start-up folder, under the names a
// Windows program may look up: none of them may be loaded by the program's own code.
#include "res/resource.h"
#include "support/expected_exit_codes.h"
#include "support/shell_state.h"
#include "support/test_support.h"
#include "support/wizard_driver.h"
#include "variants/variant.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr const wchar_t* kPlantedNames[] = {
    L"version", L"uxtheme", L"userenv", L"setupapi", L"apphelp", L"propsys", L"dwmapi", L"cryptbase",
    L"oleacc", L"clbcatq", L"ntmarta", L"mpr", L"netapi32", L"textshaping", L"winhttp", L"cryptsp",
    L"secur32", L"riched20", L"shfolder", L"iertutil", L"shell32", L"shlwapi", L"ole32", L"oleaut32"};
const std::wstring kFolder = L"C:\\PictarnPlanted";

std::set<std::wstring> Markers(const std::wstring& folder)
{
    std::set<std::wstring> loaded;
    for (const wchar_t* name : kPlantedNames)
        if (FileExists(folder + L"\\" + name + L".dll.loaded"))
            loaded.insert(name);
    return loaded;
}

}  // namespace

// Run by tests/check_dll_planting.sh, which plants the libraries, makes Wine consider the
// planted copies (WINEDLLOVERRIDES must be set before Wine starts the program) and checks the
// silent install name by name; this part drives the wizard through to Finished from there.
TEST(DllPlanting, DISABLED_WizardLoadsNoPlantedLibrary)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"PT_PLANT_DIR", folder, MAX_PATH), 0u);
    const std::wstring planted = folder;
    ClearShellState();
    {
        WizardDriver driver(L"", planted, planted + L"\\setup.exe");
        ASSERT_TRUE(driver.Started());
        driver.SetText(IDC_FOLDER, kFolder);
        for (int page = 1; page <= 3; ++page) {
            driver.Next();
            ASSERT_TRUE(driver.WaitForPage(page));
        }
        driver.Next(120000);
        ASSERT_TRUE(driver.WaitForPage(4));
        // The product is started through the shell, as a user would have it; no web page.
        driver.Click(IDC_OPEN_FAQ);
        driver.PressSheetButton(IDCANCEL);
        EXPECT_EQ(driver.WaitForExit(), exit_code::kInstalled);
    }
    EXPECT_NE(FindWindowW(L"Pictarn", nullptr), nullptr) << "the installed product was started";
    CloseProductWindow();
    for (const std::wstring& name : Markers(planted))
        ADD_FAILURE() << "the wizard loaded the planted " << ToUtf8(name) << ".dll";
    ClearShellState();
    RemoveTree(kFolder);
}
