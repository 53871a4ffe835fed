// The real setup program's wizard, driven from this process like a person would use it.
#include "model/install_folder.h"
#include "res/resource.h"
#include "shell/default_apps_page.h"
#include "support/format_rows.h"
#include "support/expected_exit_codes.h"
#include "support/shell_state.h"
#include "support/test_support.h"
#include "support/wizard_driver.h"
#include "framework/handles.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::wstring kFolder = L"C:\\PictarnWizard\\";
const std::wstring kQuestion =
    L"You want to change current associations and to associate one or many file types with Pictarn!\n\nAre you "
    L"REALLY sure!?";
const std::wstring kRunning =
    L"Warning: Pictarn is running!\nPlease close all Pictarn instances before you install this version!";

bool Enabled(HWND window)
{
    return IsWindowEnabled(window) != FALSE;
}

const std::string kDefaultApps = "ms-settings:defaultapps\n";

// A recorder takes the place of the handler of `scheme` ("ms-settings" is Windows' Settings) for
// one test: what the wizard hands over to Windows lands in its file, one address a line.
class HandlerRecorder {
public:
    explicit HandlerRecorder(const std::wstring& scheme = L"ms-settings")
        : m_protocol(L"Software\\Classes\\" + scheme, L"URL Protocol"),
          m_command(L"Software\\Classes\\" + scheme + L"\\shell\\open\\command", L"")
    {
        m_protocol.Set(L"");
        m_command.Set(L"\"" + BuildFolder() + L"\\settings_recorder.exe\" \"" + m_file + L"\" \"%1\"");
    }
    // What was opened: waits up to 20 s for `expected`, then 2 s more for anything after it.
    std::string Opened(const std::string& expected) const
    {
        for (int i = 0; i < 200 && ReadBytes(m_file) != expected; ++i)
            Sleep(100);
        Sleep(2000);
        return ReadBytes(m_file);
    }

private:
    TempFolder m_folder;
    const std::wstring m_file = m_folder / L"opened.txt";
    MachineValueOverride m_protocol;
    MachineValueOverride m_command;
};

class Wizard : public ::testing::Test {
protected:
    void SetUp() override { CloseProductWindow(); }
    void TearDown() override { CloseProductWindow(); }

    CleanInstallState m_clean{kFolder};

    // From the Welcome page to the Ready page, with the folder typed in.
    static void WalkToReady(WizardDriver& wizard, const std::wstring& folder)
    {
        wizard.SetText(IDC_FOLDER, folder);
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(1));
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(2));
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(3));
    }

    TempFolder m_start;
};

// The file name of the program that started process `id`, or the number of one that is gone.
std::wstring ParentProgramName(DWORD id)
{
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        parent = entry.th32ProcessID == id ? entry.th32ParentProcessID : parent;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); parent && more; more = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID == parent)
            return entry.szExeFile;
    return L"<gone: " + std::to_wstring(parent) + L">";
}

// Writes `file` until its drive has no more than `keep` bytes free.
void FillDrive(const std::wstring& file, ULONGLONG keep)
{
    ULARGE_INTEGER free{};
    KernelHandle out(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::vector<char> chunk(4096, 'x');
    DWORD written = 0;
    while (out && GetDiskFreeSpaceExW(file.substr(0, 3).c_str(), &free, nullptr, nullptr) && free.QuadPart > keep
           && WriteFile(out.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) && written > 0)
        FlushFileBuffers(out.Get());
}

}  // namespace

TEST_F(Wizard, CompleteInstallLeavesWhatTheSilentInstallLeaves)
{
    WineVersion windows10(SetupProgramName(), L"win10");
    HandlerRecorder settings;
    std::vector<std::wstring> wizardFiles;
    RegistrySnapshot wizardState;
    std::string wizardSettings;
    {
        // Switches without "/silent" do not stop the wizard from appearing.
        WizardDriver wizard(L"/folder=C:\\Elsewhere", m_start.Path());
        ASSERT_TRUE(wizard.Started());
        EXPECT_EQ(wizard.PageIndex(), 0);
        wizard.SetText(IDC_FOLDER, kFolder);
        wizard.Click(IDC_DESKTOP_SHORTCUT);
        wizard.Click(IDC_ALL_USERS);
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(1));
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(2));
        wizard.Click(IDC_REGISTRY_ASSOC);
        wizard.Click(IDC_IMAGES_ONLY);
        wizard.Next();
        ASSERT_TRUE(wizard.WaitForPage(3));
        EXPECT_EQ(wizard.Text(IDC_DESTINATION), L"Destination directory: " + kFolder);
        wizard.Next(500);
        EXPECT_EQ(wizard.WaitForMessageBox(120000), kQuestion);
        wizard.Answer(IDYES);
        ASSERT_TRUE(wizard.WaitForPage(4));
        EXPECT_TRUE(wizard.Checked(IDC_OPEN_FAQ));
        EXPECT_TRUE(wizard.Checked(IDC_START_PRODUCT));
        EXPECT_EQ(wizard.Text(wizard.SheetButton(IDCANCEL)), L"&Done");
        EXPECT_FALSE(Enabled(wizard.SheetButton(kBack)));
        EXPECT_FALSE(Enabled(wizard.SheetButton(kNext)));
        EXPECT_EQ(LOWORD(SendMessageW(wizard.Sheet(), DM_GETDEFID, 0, 0)), IDCANCEL);  // Enter is Done
        EXPECT_EQ(wizard.Text(IDC_UNINSTALL_HINT),
                  L"How to uninstall Pictarn?\nOpen Settings > Apps, choose Pictarn and click \"Uninstall\".");
        // Esc closes and starts nothing, though both boxes are ticked.
        wizard.PressKey(VK_ESCAPE);
        EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    }
    // Types chosen and Yes: the user makes the choice in Windows' own page, once the wizard is gone.
    EXPECT_EQ(settings.Opened(kDefaultApps), kDefaultApps);
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr) << "nothing started on Esc";
    wizardFiles = TreeListing(kFolder);
    wizardState = SnapshotShellState();
    wizardSettings = ReadBytes(kFolder + variant::kSettingsFile);
    // Each shortcut choice reached the install: thumbnails and group for all users, no desktop link.
    const std::wstring commonDesktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    EXPECT_TRUE(FileExists(commonDesktop + (variant::kIs32Bit ? L"Pictarn Thumbnails.lnk" : L"Pictarn 64 Thumbnails.lnk")));
    for (const std::wstring& desktop : {commonDesktop, SpecialFolder(CSIDL_DESKTOPDIRECTORY)})
        EXPECT_FALSE(FileExists(desktop + (variant::kIs32Bit ? L"Pictarn.lnk" : L"Pictarn 64.lnk")));
    EXPECT_TRUE(FolderExists(ProgramGroup(true)));
    EXPECT_FALSE(FolderExists(ProgramGroup(false)));

    ClearShellState();
    RemoveTree(kFolder);
    ASSERT_EQ(RunSetup(L"/silent /folder=" + kFolder + L" /group=1 /thumbs=1 /allusers=1 /assoc=1", m_start.Path()),
              exit_code::kInstalled);
    EXPECT_EQ(wizardFiles, TreeListing(kFolder));
    EXPECT_EQ(wizardSettings, ReadBytes(kFolder + variant::kSettingsFile));
    EXPECT_EQ(wizardState, SnapshotShellState());
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), L"Pictarn.gif");
    EXPECT_EQ(settings.Opened(kDefaultApps), kDefaultApps) << "a silent run hands nothing over";
}

// A person with only a keyboard: Tab visits each page top to bottom, Enter goes forward, Space
// sets check boxes and list rows, and the licence link opens from the keyboard. Esc on the
// question points nothing.
TEST_F(Wizard, KeyboardOnlyFromWelcomeToFinished)
{
    HandlerRecorder browser(L"https");
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    ASSERT_TRUE(wizard.WaitForPage(0));
    wizard.SetText(IDC_FOLDER, kFolder);
    const int kExit = IDCANCEL;
    const struct {
        const char* label;
        int page;
        std::vector<int> tabs;  // from the first tab stop the page gives the focus
    } pages[] = {
        {"Welcome", 0, {IDC_DESKTOP_SHORTCUT, IDC_THUMBS_SHORTCUT, IDC_GROUP_SHORTCUTS, IDC_UNCHECK_ALL, IDC_CURRENT_USER,
                        IDC_FOLDER, IDC_BROWSE, IDC_EULA_LINK, kNext, kExit}},
        {"What's new", 1, {IDC_RELEASE_NOTES, kBack, kNext, kExit}},
        {"Associations", 2, {IDC_REGISTRY_ASSOC, kBack, kNext, kExit}},  // the list is off
        {"Ready", 3, {IDC_INI_IN_APPDATA, kBack, kNext, kExit}},
        {"Finished", 4, {IDC_OPEN_FAQ, IDC_START_PRODUCT, kExit}},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.label);
        ASSERT_TRUE(wizard.WaitForPage(page.page));
        Sleep(300);
        EXPECT_EQ(LOWORD(SendMessageW(wizard.Sheet(), DM_GETDEFID, 0, 0)), page.page == 4 ? kExit : kNext);
        EXPECT_EQ(wizard.TabCycle(), page.tabs);  // ends where it began
        if (page.page == 0) {
            wizard.PressKey(VK_SPACE);  // the desktop shortcut off
            for (int i = 0; i < 7; ++i)
                wizard.PressKey(VK_TAB);
            ASSERT_EQ(wizard.FocusedId(), IDC_EULA_LINK);
            // Opened while the wizard stays, by Enter and again by Space.
            const std::string eula = "https://www.pictarn.com/eula.htm (wizard still shown)\n";
            wizard.PressKey(VK_RETURN);
            EXPECT_EQ(browser.Opened(eula), eula);
            EXPECT_EQ(wizard.PageIndex(), 0) << "Enter on the link opens it and goes nowhere";
            wizard.PressKey(VK_SPACE);
            EXPECT_EQ(browser.Opened(eula + eula), eula + eula);
            wizard.PressKey(VK_TAB);  // to Next
            EXPECT_FALSE(wizard.Checked(IDC_DESKTOP_SHORTCUT));
            EXPECT_TRUE(wizard.Checked(IDC_THUMBS_SHORTCUT));
        }
        if (page.page == 2) {
            wizard.PressKey(VK_SPACE);  // associations on
            EXPECT_EQ(wizard.TabCycle(), (std::vector<int>{IDC_REGISTRY_ASSOC, IDC_FORMAT_LIST, IDC_IMAGES_ONLY,
                                                            IDC_SELECT_ALL, IDC_SELECT_NONE, kBack, kNext, kExit}));
            wizard.PressKey(VK_TAB);
            wizard.PressKey(VK_SPACE);  // the first row, without an arrow key first
            wizard.PressKey(VK_DOWN);
            wizard.PressKey(VK_SPACE);
            Sleep(300);
            EXPECT_TRUE(wizard.Checked(IDC_REGISTRY_ASSOC));
            EXPECT_TRUE(wizard.ListRowChecked(IDC_FORMAT_LIST, 0));
            EXPECT_TRUE(wizard.ListRowChecked(IDC_FORMAT_LIST, 1));
            EXPECT_FALSE(wizard.ListRowChecked(IDC_FORMAT_LIST, 2));
        }
        if (page.page == 4) {
            wizard.PressKey(VK_TAB);
            wizard.PressKey(VK_SPACE);  // do not start the product
            wizard.PressKey(VK_RETURN);  // Done
            break;
        }
        wizard.PressKey(VK_RETURN);
        if (page.page == 3) {
            EXPECT_EQ(wizard.WaitForMessageBox(120000), kQuestion);
            EXPECT_FALSE(FolderExists(kFolder)) << "asked before anything is written";
            wizard.PressKey(VK_ESCAPE);
        }
    }
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    const std::string eula = "https://www.pictarn.com/eula.htm (wizard still shown)\n";
    const std::string opened = eula + eula + "https://www.pictarn.com/faq.htm (wizard still shown)\n";
    EXPECT_EQ(browser.Opened(opened), opened);
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.ani", nullptr), L"<missing>") << "Esc is No";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), L"<missing>");
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + (variant::kIs32Bit ? L"Pictarn.lnk" : L"Pictarn 64.lnk")));
    EXPECT_TRUE(FileExists(kFolder + variant::kMainProgram));
}

// Where each Windows lets the user make the product the default, by the version it really runs.
TEST(DefaultAppsPage, EachWindowsGetsItsOwnPage)
{
    const std::wstring panel = L"control.exe /name Microsoft.DefaultPrograms /page "
                               L"pageDefaultProgram\\pageAdvancedSettings?pszAppName=Pictarn";
    const std::wstring product = L"ms-settings:defaultapps?registeredAppMachine=Pictarn";
    const std::pair<WindowsRelease, std::wstring> cases[] = {
        {{5, 1, 2600}, L""}, {{6, 1, 7601}, L""}, {{6, 2, 9200}, panel}, {{6, 3, 9600}, panel},
        {{10, 0, 19045}, L"ms-settings:defaultapps"}, {{10, 0, 22000}, product}, {{10, 0, 26100}, product}};
    for (const auto& [release, expected] : cases) {
        const DefaultAppsPage page = DefaultAppsPageFor(release);
        const std::wstring parameters = page.parameters ? L" " + std::wstring(page.parameters) : L"";
        EXPECT_EQ((page.target ? page.target : L"") + parameters, expected) << release.build;
        EXPECT_EQ(page.inSystemFolder, expected == panel) << "Control Panel comes from the system folder";
    }
}

TEST_F(Wizard, DoneStartsTheProductFromTheFolderTheInstallUsed)
{
    WineVersion windows10(SetupProgramName(), L"win10");
    HandlerRecorder defaultApps;
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    wizard.SetText(IDC_FOLDER, L"   " + kFolder + L"   ");
    wizard.Next();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    // Associations switched on but no row checked: installed without the question.
    wizard.Click(IDC_REGISTRY_ASSOC);
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(3));
    wizard.Click(IDC_INI_IN_PRODUCT_FOLDER);
    wizard.Next(120000);
    ASSERT_TRUE(wizard.WaitForPage(4));
    EXPECT_FALSE(wizard.MessageBoxOpen());
    wizard.Click(IDC_OPEN_FAQ);  // only the product start
    wizard.PressSheetButton(IDCANCEL);
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    HWND product = FindWindowW(L"Pictarn", nullptr);
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(GetForegroundWindow(), product);
    // The wizard ran with administrator rights: the desktop's shell started the product, not the wizard.
    DWORD productId = 0;
    GetWindowThreadProcessId(product, &productId);
    EXPECT_EQ(ParentProgramName(productId), L"explorer.exe");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), L"<missing>");
    EXPECT_EQ(defaultApps.Opened(""), "") << "no type chosen, nothing handed over";
    const std::wstring settings = kFolder + variant::kSettingsFile;
    EXPECT_EQ(IniKey(settings, L"Others", L"INI_Folder"), L"<none>");
    EXPECT_EQ(IniKey(settings, L"Language", L"Lang"), L"English");
}

// The user has ended the desktop's shell: the wizard starts nothing with its own rights, and says
// once what it did not open and where the product is. Run last of all (its own test entry), as
// Wine's shell does not come back for the tests after it.
TEST_F(Wizard, DISABLED_WithTheDesktopShellEndedDoneStartsNothingAndSaysSo)
{
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    WalkToReady(wizard, kFolder);
    wizard.Next(120000);
    ASSERT_TRUE(wizard.WaitForPage(4));
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0)
            if (KernelHandle shell{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)}) {
                TerminateProcess(shell.Get(), 1);
                WaitForSingleObject(shell.Get(), 5000);
            }
    wizard.PressSheetButton(IDCANCEL);
    const std::wstring told = wizard.WaitForMessageBox();
    EXPECT_NE(told.find(L"https://www.pictarn.com/faq.htm\n" + kFolder + variant::kMainProgram + L"\n"), std::wstring::npos) << told;
    EXPECT_NE(told.find(L"Pictarn is in the Start menu."), std::wstring::npos) << told;
    wizard.Answer(IDOK);
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    Sleep(1000);
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr);
}

// An install slowed down (by the program's test setting): the window answers all along, the
// progress bar shows how far it has come and reaches its end; Exit asks, and Yes stops the
// install and leaves nothing of it.
TEST_F(Wizard, ASlowInstallKeepsAnsweringShowsProgressAndExitPutsEverythingBack)
{
    SetEnvironmentVariableW(L"PT_TEST_INSTALL_DELAY_MS", L"30");
    for (const bool leave : {true, false}) {
        SCOPED_TRACE(leave ? "left with Exit" : "to the end");
        WizardDriver wizard(L"", m_start.Path());
        ASSERT_TRUE(wizard.Started());
        WalkToReady(wizard, kFolder);
        const HWND progress = wizard.Item(IDC_INSTALL_PROGRESS), notice = wizard.Item(IDC_INSTALLING);
        EXPECT_FALSE(IsWindowVisible(notice));
        EXPECT_FALSE(IsWindowVisible(progress));
        wizard.PressSheetButton(kNext);
        int highest = 0, answers = 0;
        bool shown = false;
        for (const DWORD start = GetTickCount(); wizard.PageIndex() == 3 && GetTickCount() - start < 120000; Sleep(20)) {
            DWORD_PTR ignored = 0;
            ASSERT_NE(SendMessageTimeoutW(wizard.Sheet(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored), 0)
                << "no answer within 100 ms, at " << highest << " per mille";
            ++answers;
            highest = std::max(highest, static_cast<int>(SendMessageW(progress, PBM_GETPOS, 0, 0)));
            shown = shown || (IsWindowVisible(notice) && IsWindowVisible(progress));
            if (leave && highest > 200) {
                wizard.PressSheetButton(IDCANCEL);
                EXPECT_EQ(wizard.WaitForMessageBox(), L"Exit setup?");
                wizard.Answer(IDYES);
                break;
            }
        }
        EXPECT_TRUE(shown);
        EXPECT_GT(answers, 20) << "the install took long enough to watch";
        if (leave) {
            EXPECT_EQ(wizard.WaitForExit(), exit_code::kLeftWizard);
            EXPECT_LT(highest, 1000);
            EXPECT_FALSE(FolderExists(kFolder)) << "the folder the install made is gone again";
            EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation"), L"<missing>");
            continue;
        }
        ASSERT_TRUE(wizard.WaitForPage(4));
        EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 1000) << "the bar reached its end";
        EXPECT_FALSE(IsWindowVisible(notice)) << "the notice shows only while the install runs";
        wizard.CloseBox();
        EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    }
    SetEnvironmentVariableW(L"PT_TEST_INSTALL_DELAY_MS", nullptr);
}

TEST_F(Wizard, ButtonsExitPromptAndCloseBox)
{
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    // The sheet's window is there before its first page has named the buttons (seen on x86).
    ASSERT_TRUE(wizard.WaitForPage(0));
    for (int i = 0; i < 100 && wizard.Text(wizard.SheetButton(IDCANCEL)) != L"&Exit"; ++i)
        Sleep(50);
    EXPECT_FALSE(Enabled(wizard.SheetButton(kBack)));
    EXPECT_TRUE(Enabled(wizard.SheetButton(kNext)));
    EXPECT_EQ(wizard.Text(wizard.SheetButton(IDCANCEL)), L"&Exit");
    EXPECT_EQ(wizard.Text(wizard.Sheet()), SheetCaption());
    // Every page keeps the sheet's title, and Enter goes to Next, also after Back was clicked.
    auto defaultButton = [&wizard] {
        Sleep(200);  // the default is set once the page change is done
        return LOWORD(SendMessageW(wizard.Sheet(), DM_GETDEFID, 0, 0));
    };
    EXPECT_EQ(defaultButton(), kNext);
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(1));
    EXPECT_TRUE(Enabled(wizard.SheetButton(kBack)));
    EXPECT_EQ(wizard.Text(wizard.Sheet()), SheetCaption());
    wizard.Back();
    ASSERT_TRUE(wizard.WaitForPage(0));
    EXPECT_FALSE(Enabled(wizard.SheetButton(kBack)));
    EXPECT_EQ(wizard.Text(wizard.Sheet()), SheetCaption());
    EXPECT_EQ(defaultButton(), kNext);

    // No keeps the page and what was typed.
    wizard.SetText(IDC_FOLDER, L"C:\\Typed");
    wizard.PressSheetButton(IDCANCEL);
    EXPECT_EQ(wizard.WaitForMessageBox(), L"Exit setup?");
    wizard.Answer(IDNO);
    EXPECT_FALSE(wizard.MessageBoxOpen());
    EXPECT_EQ(wizard.PageIndex(), 0);
    EXPECT_EQ(wizard.Text(IDC_FOLDER), L"C:\\Typed");

    // The close box asks exactly once.
    wizard.CloseBox();
    EXPECT_EQ(wizard.WaitForMessageBox(), L"Exit setup?");
    wizard.Answer(IDNO);
    Sleep(300);
    EXPECT_FALSE(wizard.MessageBoxOpen());
    wizard.CloseBox();
    EXPECT_EQ(wizard.WaitForMessageBox(), L"Exit setup?");
    wizard.Answer(IDYES);
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kLeftWizard);
    EXPECT_FALSE(FolderExists(L"C:\\Typed"));
}

TEST_F(Wizard, NoToTheQuestionPointsNothingAndTheCloseBoxOnFinishedAsksNothing)
{
    WineVersion windows10(SetupProgramName(), L"win10");
    HandlerRecorder settings;
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    wizard.SetText(IDC_FOLDER, kFolder);
    wizard.Next();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    wizard.Click(IDC_REGISTRY_ASSOC);
    wizard.Click(IDC_SELECT_ALL);
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(3));
    wizard.Next(500);
    EXPECT_EQ(wizard.WaitForMessageBox(120000), kQuestion);
    wizard.Answer(IDCANCEL);  // what Esc or the close box gives: taken as No
    ASSERT_TRUE(wizard.WaitForPage(4));
    // Every extension's default stays as it was; the product is only offered in "Open with".
    for (const wchar_t* extension : {L"jpg", L"png", L"tif", L"gif", L"avi"}) {
        SCOPED_TRACE(ToUtf8(extension));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\Classes\\.") + extension, nullptr), L"<missing>");
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                                               L"FileExts\\.") + extension + L"\\UserChoice"));
    }
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn.jpg\\shell\\open\\command", nullptr),
              L"\"" + kFolder + (variant::kIs32Bit ? L"pt_main32.exe" : L"pt_main64.exe") + L"\" \"%1\"");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\Capabilities\\FileAssociations", L".jpg"), L"Pictarn.jpg");
    wizard.CloseBox();
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
    EXPECT_FALSE(wizard.MessageBoxOpen());
    EXPECT_EQ(settings.Opened(""), "") << "after a No nothing is handed over";
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr);
}

TEST_F(Wizard, WelcomePageValuesChoicesAndFolderChecks)
{
    // The product-folder check runs this against a setup built at another version.
    const wchar_t* program = _wgetenv(L"PT_WIZARD_SETUP");
    const wchar_t* version = _wgetenv(L"PT_WIZARD_VERSION");
    WizardDriver wizard(L"", m_start.Path(), program ? program : L"");
    ASSERT_TRUE(wizard.Started());
    const std::wstring bits = variant::kIs32Bit ? L"32" : L"64";
    EXPECT_EQ(wizard.Text(IDC_WELCOME_HEADLINE), L"Welcome to Pictarn " + bits + L" setup!");
    EXPECT_EQ(wizard.Text(IDC_WELCOME_TEXT), L"This program will install Pictarn version  " +
                                                 std::wstring(version ? version : L"4.58") + L"  (" + bits +
                                                 L" bit) on your system.\n (it should be started with Admin permissions)");
    for (int box : {IDC_DESKTOP_SHORTCUT, IDC_THUMBS_SHORTCUT, IDC_GROUP_SHORTCUTS})
        EXPECT_TRUE(wizard.Checked(box));
    EXPECT_TRUE(wizard.Checked(IDC_CURRENT_USER));
    EXPECT_FALSE(wizard.Checked(IDC_ALL_USERS));
    wchar_t defaultFolder[MAX_PATH];
    DefaultInstallFolder(defaultFolder, MAX_PATH);
    EXPECT_EQ(wizard.Text(IDC_FOLDER), defaultFolder);
    EXPECT_EQ(wizard.Text(IDC_EULA_LINK), L"Pictarn EULA");

    wizard.Click(IDC_UNCHECK_ALL);
    for (int box : {IDC_DESKTOP_SHORTCUT, IDC_THUMBS_SHORTCUT, IDC_GROUP_SHORTCUTS})
        EXPECT_FALSE(wizard.Checked(box));
    EXPECT_FALSE(Enabled(wizard.Item(IDC_CURRENT_USER)));
    EXPECT_FALSE(Enabled(wizard.Item(IDC_ALL_USERS)));
    wizard.Click(IDC_THUMBS_SHORTCUT);
    EXPECT_TRUE(Enabled(wizard.Item(IDC_CURRENT_USER)));
    EXPECT_TRUE(Enabled(wizard.Item(IDC_ALL_USERS)));
    EXPECT_TRUE(wizard.Checked(IDC_CURRENT_USER));

    // Each fault of the folder is told on Welcome, in words that say what to do, naming the folder.
    const std::wstring tooLong = L"C:\\" + std::wstring(250, L'p');
    const struct {
        const char* label;
        std::wstring folder;
        std::wstring told;  // how the message begins
        bool named;         // the message names the folder
    } refused[] = {
        {"empty", L"", L"Invalid destination directory!", false},
        {"no drive", L"\\\\server\\share\\Pictarn", L"Invalid destination directory!", false},
        {"forbidden character", L"C:\\Pict|arn", L"The installation folder contains a character Windows allows in no folder name", true},
        {"too long", tooLong, L"The installation folder is too long: 253 characters, where Pictarn's files allow at most ", true},
        {"missing drive", L"Q:\\No\\Such", L"This folder cannot be created (", true},
        // Windows says so of write-protected media; Wine has the drive deny access, even to administrators.
        {"read-only drive", L"R:\\Pictarn", L"This folder cannot be written, not even with the administrator rights the setup has (access denied, or a read-only drive)!", true},
        {"full drive", L"T:\\Pictarn", L"There is not enough free space on the drive: Pictarn needs ", true},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.label);
        if ((r.folder[0] == L'R' || r.folder[0] == L'T') && GetFileAttributesW(r.folder.substr(0, 3).c_str()) == INVALID_FILE_ATTRIBUTES) {
            ADD_FAILURE() << "no drive " << ToUtf8(r.folder.substr(0, 2)) << " (tools/wine-env.sh maps one where it may mount)";
            continue;
        }
        // The small drive filled up to its last 4 KB: too small for any product's files.
        const std::wstring filler = L"T:\\pt_filler.bin";
        if (r.folder[0] == L'T')
            FillDrive(filler, 4096);
        wizard.SetText(IDC_FOLDER, r.folder);
        wizard.Next(500);
        const std::wstring told = wizard.WaitForMessageBox();
        EXPECT_EQ(told.substr(0, r.told.size()), r.told) << ToUtf8(told);
        if (r.named) {
            EXPECT_TRUE(told.size() >= r.folder.size() && told.substr(told.size() - r.folder.size()) == r.folder) << ToUtf8(told);
        }
        wizard.Answer(IDOK);
        DeleteFileW(filler.c_str());
        EXPECT_EQ(wizard.PageIndex(), 0);
        EXPECT_FALSE(Enabled(wizard.SheetButton(kBack)));
    }
    EXPECT_FALSE(FolderExists(L"C:\\Pict|arn"));
    EXPECT_FALSE(FolderExists(L"T:\\Pictarn")) << "nothing is made to judge a folder";

    // Blanks at both ends are not shown on the Ready page; going back keeps what was typed.
    WalkToReady(wizard, L"   C:\\PictarnWizard   ");
    EXPECT_EQ(wizard.Text(IDC_DESTINATION), L"Destination directory: C:\\PictarnWizard");
    wizard.Back();
    wizard.Back();
    wizard.Back();
    ASSERT_TRUE(wizard.WaitForPage(0));
    EXPECT_EQ(wizard.Text(IDC_FOLDER), L"   C:\\PictarnWizard   ");
    EXPECT_TRUE(wizard.Checked(IDC_THUMBS_SHORTCUT));
    EXPECT_FALSE(wizard.Checked(IDC_DESKTOP_SHORTCUT));
}

// An update starts from the earlier installation's choices, and says it is one.
TEST_F(Wizard, AnUpdateStartsFromTheEarlierInstallationsChoices)
{
    ASSERT_EQ(RunSetup(L"/silent /folder=" + kFolder + L" /desktop=0 /group=0 /thumbs=1 /allusers=1 /assoc=1 /ini=",
                       m_start.Path()),
              exit_code::kInstalled);
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    EXPECT_EQ(wizard.Text(IDC_FOLDER), kFolder);
    EXPECT_TRUE(IsWindowVisible(wizard.Item(IDC_UPDATE_NOTE)));
    EXPECT_EQ(wizard.Text(IDC_UPDATE_NOTE), L"This updates Pictarn 4.58; its choices are kept.");
    EXPECT_FALSE(wizard.Checked(IDC_DESKTOP_SHORTCUT));
    EXPECT_TRUE(wizard.Checked(IDC_THUMBS_SHORTCUT));
    EXPECT_FALSE(wizard.Checked(IDC_GROUP_SHORTCUTS));
    EXPECT_TRUE(wizard.Checked(IDC_ALL_USERS));
    wizard.Next();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    EXPECT_TRUE(wizard.Checked(IDC_REGISTRY_ASSOC));
    EXPECT_TRUE(Enabled(wizard.Item(IDC_FORMAT_LIST)));
    for (const ExpectedFormatRow& row : ExpectedFormatRows())
        EXPECT_EQ(wizard.ListRowChecked(IDC_FORMAT_LIST, row.row), row.image) << "the image formats, " << ToUtf8(row.label);
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(3));
    EXPECT_TRUE(wizard.Checked(IDC_INI_IN_PRODUCT_FOLDER)) << "the settings stayed in the folder";
    EXPECT_FALSE(wizard.Checked(IDC_INI_IN_APPDATA));
}

TEST_F(Wizard, AssociationsPageListAndWhatTheChoiceBecomes)
{
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    wizard.SetText(IDC_FOLDER, kFolder);
    wizard.Next();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    const HWND list = wizard.Item(IDC_FORMAT_LIST);
    const int rows = static_cast<int>(ExpectedFormatRows().size());
    auto expectGreyedOut = [&](bool grey) {
        EXPECT_EQ(!Enabled(list), grey);
        EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0) == RGB(192, 192, 192), grey);
        EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0) == RGB(255, 128, 0), grey);
        for (int button : {IDC_IMAGES_ONLY, IDC_SELECT_ALL, IDC_SELECT_NONE})
            EXPECT_EQ(!Enabled(wizard.Item(button)), grey);
    };
    ASSERT_EQ(wizard.ListCount(IDC_FORMAT_LIST), rows);
    for (int row = 0; row < rows; ++row)
        EXPECT_FALSE(wizard.ListRowChecked(IDC_FORMAT_LIST, row));
    EXPECT_EQ(wizard.ListText(IDC_FORMAT_LIST, 0, 0), L"ANI");
    EXPECT_EQ(wizard.ListText(IDC_FORMAT_LIST, 0, 1), L"Animated Windows Cursors *");
    EXPECT_EQ(wizard.ListText(IDC_FORMAT_LIST, RowOf(L"SWF/FLV"), 0), L"SWF/FLV");
    EXPECT_EQ(wizard.ListText(IDC_FORMAT_LIST, rows - 1, 0), L"WMA");
    EXPECT_FALSE(wizard.Checked(IDC_REGISTRY_ASSOC));
    EXPECT_EQ(IsWindowVisible(wizard.Item(IDC_ASSOC_ALL_USERS)) != FALSE, false);  // Vista and later, both builds
    expectGreyedOut(true);

    wizard.Click(IDC_REGISTRY_ASSOC);
    expectGreyedOut(false);
    wizard.Click(IDC_SELECT_ALL);
    for (int row = 0; row < rows; ++row)
        EXPECT_TRUE(wizard.ListRowChecked(IDC_FORMAT_LIST, row));
    wizard.Click(IDC_IMAGES_ONLY);
    for (int row = 0; row < rows; ++row)
        EXPECT_EQ(wizard.ListRowChecked(IDC_FORMAT_LIST, row), ExpectedFormatRows()[row].image) << row;
    wizard.Click(IDC_SELECT_NONE);
    EXPECT_FALSE(wizard.ListRowChecked(IDC_FORMAT_LIST, 0));
    wizard.Click(IDC_SELECT_ALL);

    // Greying out keeps the rows; coming back adds none.
    wizard.Click(IDC_REGISTRY_ASSOC);
    expectGreyedOut(true);
    wizard.Back();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    EXPECT_EQ(wizard.ListCount(IDC_FORMAT_LIST), rows);
    EXPECT_TRUE(wizard.ListRowChecked(IDC_FORMAT_LIST, rows - 1));
    expectGreyedOut(true);

    // Checked rows of a greyed-out list choose nothing: no question, no associations.
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(3));
    wizard.Next(120000);
    ASSERT_TRUE(wizard.WaitForPage(4));
    EXPECT_FALSE(wizard.MessageBoxOpen());
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), L"<missing>");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg", nullptr), L"Pictarn.jpg");
}

TEST_F(Wizard, ReadyPageRefusesARunningProductAndReturnsToWelcomeOnFailure)
{
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    WalkToReady(wizard, kFolder);
    EXPECT_TRUE(wizard.Checked(IDC_INI_IN_APPDATA));
    EXPECT_FALSE(wizard.Checked(IDC_INI_IN_PRODUCT_FOLDER));
    {
        RunningProduct product;
        ASSERT_TRUE(product.WindowFound());
        wizard.Next(500);
        EXPECT_EQ(wizard.WaitForMessageBox(), kRunning);
        wizard.Answer(IDOK);
        EXPECT_EQ(wizard.PageIndex(), 3);
        EXPECT_FALSE(IsWindowVisible(wizard.Item(IDC_INSTALLING)));
        EXPECT_FALSE(FolderExists(kFolder));
    }

    // A file of the installation held by another program: the install run's message, then the
    // Welcome page; the folder it made is gone again.
    wizard.Back();
    wizard.Back();
    wizard.Back();
    ASSERT_TRUE(wizard.WaitForPage(0));
    WalkToReady(wizard, kFolder + L"Sub");
    {
        ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((kFolder + L"Sub").c_str(), nullptr));
        const std::wstring held = kFolder + L"Sub\\pt_about.txt";
        KernelHandle holder(CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        wizard.Next(500);
        EXPECT_EQ(wizard.WaitForMessageBox(60000).substr(0, 24), L"Can't install all files!");
        wizard.Answer(IDOK);
        ASSERT_TRUE(wizard.WaitForPage(0));
    }
    EXPECT_FALSE(Enabled(wizard.SheetButton(kBack)));
    EXPECT_EQ(TreeListing(kFolder + L"Sub"), std::vector<std::wstring>{L"pt_about.txt 0"}) << "nothing of the run is left";
    RemoveTree(kFolder);
    WalkToReady(wizard, kFolder);
    EXPECT_FALSE(IsWindowVisible(wizard.Item(IDC_INSTALLING))) << "the notice shows only while the install runs";
    EXPECT_TRUE(wizard.Checked(IDC_INI_IN_APPDATA)) << "the settings choice is reset";

    // Installed, but with a folder where the settings pointer goes: one message after the install
    // names it; Next pressed on the Finished page by a program ends the wizard.
    const std::wstring pointer = kFolder + (variant::kIs32Bit ? L"pt_main32.ini" : L"pt_main64.ini");
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr) && CreateDirectoryW(pointer.c_str(), nullptr));
    wizard.Next(500);
    const std::wstring notMade = wizard.WaitForMessageBox(120000);
    const std::wstring item = L"Pictarn is installed, but not everything could be made:\n\nCan't write the settings file: "
                              + pointer + L": ";
    EXPECT_EQ(notMade.substr(0, item.size()), item);
    EXPECT_GT(notMade.size(), item.size() + 5) << "with the reason";
    EXPECT_EQ(notMade.find(L"\n\n", item.size()), std::wstring::npos) << "one item: " << notMade;
    wizard.Answer(IDOK);
    ASSERT_TRUE(wizard.WaitForPage(4));
    EXPECT_FALSE(wizard.MessageBoxOpen());
    PostMessageW(wizard.Sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kNotAllInstalled);
    Sleep(1000);
    EXPECT_EQ(FindWindowW(L"Pictarn", nullptr), nullptr) << "no finish action";
}

TEST_F(Wizard, BeforeVistaTheSettingsStayInTheProductFolder)
{
    if (!variant::kIs32Bit)
        GTEST_SKIP() << "the 64-bit build serves Vista and later only";
    WineVersion xp(SetupProgramName(), L"winxp");
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    wizard.Next();
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(2));
    EXPECT_TRUE(IsWindowVisible(wizard.Item(IDC_ASSOC_ALL_USERS)));
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(3));
    EXPECT_TRUE(wizard.Checked(IDC_INI_IN_PRODUCT_FOLDER));
    EXPECT_FALSE(wizard.Checked(IDC_INI_IN_APPDATA));
}

TEST_F(Wizard, WhatsNewShowsTheNotesUpToTheirLastLetterOrDigit)
{
    // A copy of the program with release notes of the test's own.
    const std::wstring program = m_start / SetupProgramName();
    ASSERT_TRUE(CopyFileW(SetupProgramPath().c_str(), program.c_str(), FALSE));
    const std::wstring notes = L"\xFEFFVersion 4.58\r\n- Faster start.\r\n- Fixed 2 bugs!\r\n\r\n  ";
    HANDLE update = BeginUpdateResourceW(program.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(UpdateResourceW(update, L"TXT", MAKEINTRESOURCEW(IDR_RELEASE_NOTES),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), const_cast<wchar_t*>(notes.c_str()),
                                static_cast<DWORD>(notes.size() * sizeof(wchar_t))));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

    WizardDriver wizard(L"", m_start.Path(), program);
    ASSERT_TRUE(wizard.Started());
    wizard.Next();
    ASSERT_TRUE(wizard.WaitForPage(1));
    EXPECT_EQ(wizard.Text(IDC_RELEASE_NOTES), L"\xFEFFVersion 4.58\r\n- Faster start.\r\n- Fixed 2 bugs");
}

// Not part of the suite: tools/wizard-screenshots.sh runs it at 96 and 144 DPI.
TEST_F(Wizard, DISABLED_Screenshots)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"PT_SCREENSHOT_DIR", folder, MAX_PATH), 0u);
    const std::wstring out = folder;
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    const wchar_t* names[] = {L"1-welcome.bmp", L"2-whats-new.bmp", L"3-associations.bmp", L"4-ready.bmp",
                              L"5-finished.bmp"};
    for (int page = 0; page < 5; ++page) {
        ASSERT_TRUE(wizard.WaitForPage(page));
        if (page == 0)
            wizard.SetText(IDC_FOLDER, kFolder);
        if (page == 2) {
            wizard.Click(IDC_REGISTRY_ASSOC);
            wizard.Click(IDC_IMAGES_ONLY);
        }
        // The sheet is the foreground window, but on a display without a window manager Wine
        // draws every title bar as inactive; drawn as active, as Windows would show it.
        SendMessageW(wizard.Sheet(), WM_NCACTIVATE, TRUE, 0);
        Sleep(500);
        EXPECT_TRUE(CaptureWindow(wizard.Sheet(), out + L"\\" + names[page]));
        if (page == 3) {
            wizard.Next(500);
            ASSERT_EQ(wizard.WaitForMessageBox(120000), kQuestion);
            wizard.Answer(IDNO);
        } else if (page < 4) {
            wizard.Next();
        }
    }
    wizard.Click(IDC_OPEN_FAQ);
    wizard.Click(IDC_START_PRODUCT);
    wizard.PressSheetButton(IDCANCEL);
    EXPECT_EQ(wizard.WaitForExit(), exit_code::kInstalled);
}

TEST_F(Wizard, BrowseStartsAtTheFieldsFolderAndAddsTheProductFolder)
{
    // Wine's folder browser selects a start folder one level below a drive, not deeper.
    const std::wstring named = L"C:\\PICTARN";
    ASSERT_TRUE(CreateDirectoryW(L"C:\\PictarnBrowse", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryW(named.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    WizardDriver wizard(L"", m_start.Path());
    ASSERT_TRUE(wizard.Started());
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\", L"C:\\Pictarn\\"}, {named, named + L"\\"}, {L"C:\\PictarnBrowse", L"C:\\PictarnBrowse\\Pictarn\\"}};
    for (const auto& [start, expected] : cases) {
        SCOPED_TRACE(ToUtf8(start));
        wizard.SetText(IDC_FOLDER, start);
        wizard.Click(IDC_BROWSE, 300);
        wizard.WaitForMessageBox();  // the folder browser, with the field's folder selected
        ASSERT_TRUE(wizard.MessageBoxOpen());
        wizard.Answer(IDOK);
        EXPECT_EQ(wizard.Text(IDC_FOLDER), expected);
    }
    RemoveTree(L"C:\\PictarnBrowse");
    RemoveTree(named);
}
