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

const std::wstring kFolder = L"C:\\PictarnPlanted";

// The names of the files in `folder` that match `pattern`.
std::set<std::wstring> Files(const std::wstring& folder, const wchar_t* pattern)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        names.insert(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return names;
}

// The planted libraries that were loaded: each canary leaves "<name>.loaded" beside itself.
std::set<std::wstring> Markers(const std::wstring& folder)
{
    return Files(folder, L"*.loaded");
}

}  // namespace

// Run by tests/check_dll_planting.sh, which plants the libraries, makes Wine consider the
// planted copies (WINEDLLOVERRIDES must be set before Wine starts the program) and checks the
// silent install name by name; this part drives the wizard through to Finished from there.
TEST(DllPlanting, DISABLED_WizardAndUninstallWindowLoadNoPlantedLibrary)
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
        ADD_FAILURE() << "the wizard loaded the planted " << ToUtf8(name);

    // The uninstaller's window, with the same libraries planted beside it in the installation.
    for (const std::wstring& library : Files(planted, L"*.dll"))
        CopyFileW((planted + L"\\" + library).c_str(), (kFolder + L"\\" + library).c_str(), FALSE);
    std::wstring line = L"\"" + kFolder + L"\\pt_uninstall.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, kFolder.c_str(), &startup,
                               &process));
    HWND window = nullptr;
    for (int i = 0; i < 300 && window == nullptr; ++i, Sleep(100))
        window = FindWindowW(L"#32770", L"Remove Pictarn");
    EXPECT_NE(window, nullptr);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 600 && IsWindowVisible(GetDlgItem(window, IDOK)); ++i)
        Sleep(100);
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (const std::wstring& name : Markers(kFolder))
        ADD_FAILURE() << "the uninstaller's window loaded the planted " << ToUtf8(name);
    ClearShellState();
    RemoveTree(kFolder);
}
