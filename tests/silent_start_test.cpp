// The real setup program started the way an admin starts it, checked from outside.
#include "support/expected_exit_codes.h"
#include "support/test_support.h"
#include "support/wizard_driver.h"
#include "variants/variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int CountEntries(const std::string& log)
{
    int entries = 0;
    std::string separator = std::string(48, '-') + "\r\n";
    for (size_t at = log.find(separator); at != std::string::npos; at = log.find(separator, at + 1))
        ++entries;
    return entries;
}

}  // namespace

TEST(SilentStart, RunningProductWritesOneWarningAndInstallsNothing)
{
    RunningProduct product;
    ASSERT_TRUE(product.WindowFound()) << "the stand-in product did not open its window";
    TempFolder start;
    std::wstring target = start / L"Target";
    std::string before = "earlier entry\r\n";
    HANDLE existing = CreateFileW((start / L"Pictarn_Install.log").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    WriteFile(existing, before.data(), static_cast<DWORD>(before.size()), &written, nullptr);
    CloseHandle(existing);

    EXPECT_EQ(RunSetup(L"/silent /folder=\"" + target + L"\" /desktop=1 /group=1 /assoc=2", start.Path()),
              exit_code::kProductRunning);

    std::string log = ReadBytes(start / L"Pictarn_Install.log");
    ASSERT_EQ(log.compare(0, before.size(), before), 0) << "the log was truncated";
    std::string entry = log.substr(before.size());
    EXPECT_EQ(CountEntries(entry), 1);
    EXPECT_NE(entry.find(": Warning: Pictarn is running!\r\nPlease close all Pictarn instances before you "
                         "install this version!\r\n" + std::string(48, '-') + "\r\n"),
              std::string::npos)
        << entry;
    EXPECT_FALSE(FolderExists(target));
}

// Another session's windows are out of reach as another desktop's are: there only the installed
// main program in use tells that the product runs.
TEST(SilentStart, TheProductRunningOutOfSightStopsTheUpdateUntilItEnds)
{
    TempFolder start;
    const std::wstring target = start / L"Target";
    const std::wstring install = L"/silent /folder=\"" + target + L"\"";
    ASSERT_EQ(RunSetup(install, start.Path()), exit_code::kInstalled);
    const std::wstring mainProgram = target + (variant::kIs32Bit ? L"\\pt_main32.exe" : L"\\pt_main64.exe");
    // The file held open by anybody, shared for reading only, is no running product: no user can stop updates so.
    HANDLE held = CreateFileW(mainProgram.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(RunSetup(install, start.Path()), exit_code::kProductRunning);
    CloseHandle(held);
    HDESK desktop = CreateDesktopW(L"PtOtherSession", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = const_cast<wchar_t*>(L"PtOtherSession");
    std::wstring line = L"\"" + mainProgram + L"\"";
    PROCESS_INFORMATION product{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &product));
    Sleep(1500);
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr);

    EXPECT_EQ(RunSetup(install, start.Path()), exit_code::kProductRunning);
    EXPECT_NE(ReadBytes(start / L"Pictarn_Install.log").find(": Warning: Pictarn is running!"), std::string::npos);
    TerminateProcess(product.hProcess, 0);
    WaitForSingleObject(product.hProcess, 10000);
    CloseHandle(product.hThread);
    CloseHandle(product.hProcess);
    CloseDesktop(desktop);
    EXPECT_EQ(RunSetup(install, start.Path()), exit_code::kInstalled);
}

TEST(SilentStart, EmptyFolderIsLoggedAsInvalidWithNothingAfterTheColon)
{
    TempFolder start;
    EXPECT_EQ(RunSetup(L"/silent /folder=/desktop=1", start.Path()), exit_code::kInvalidFolder);
    std::string log = ReadBytes(start / L"Pictarn_Install.log");
    EXPECT_EQ(CountEntries(log), 1);
    EXPECT_NE(log.find(": Invalid destination directory!: \r\n-"), std::string::npos) << log;
}

TEST(SilentStart, SilentSwitchIsCaseSensitiveAndOtherSwitchesNeedIt)
{
    TempFolder start;
    std::wstring target = start / L"Target";
    // Without "/silent" the switches are ignored and the wizard appears; leaving it installs nothing.
    {
        WizardDriver wizard(L"/SILENT /folder=\"" + target + L"\" /folder=", start.Path());
        ASSERT_TRUE(wizard.Started());
        wizard.CloseBox();
        EXPECT_EQ(wizard.WaitForMessageBox(), L"Exit setup?");
        wizard.Answer(IDYES);
        EXPECT_EQ(wizard.WaitForExit(), exit_code::kLeftWizard);
    }
    EXPECT_FALSE(FileExists(start / L"Pictarn_Install.log"));
    EXPECT_FALSE(FolderExists(target));
    // Any text containing "/silent" selects the silent run.
    EXPECT_EQ(RunSetup(L"/silentX /folder=", start.Path()), exit_code::kInvalidFolder);
}
