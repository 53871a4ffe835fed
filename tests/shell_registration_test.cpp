// Complete silent installs by the real setup program: every registry row of the shell
// registration, the 84 format members and the shortcuts, on the Windows versions Wine emulates.
#include "model/install_options.h"
#include "shell/app_registration.h"
#include "support/expected_exit_codes.h"
#include "support/format_rows.h"
#include "support/shell_state.h"
#include "support/silent_setup.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Each build's own names, as the product documents them.
const bool k32 = variant::kIs32Bit;
const std::wstring kMainProgram = k32 ? L"pt_main32.exe" : L"pt_main64.exe";
const std::wstring kUninstallKey = k32 ? L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn"
                                       : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64";
const std::wstring kDesktopShortcut = k32 ? L"Pictarn.lnk" : L"Pictarn 64.lnk";
const std::wstring kThumbsShortcut = k32 ? L"Pictarn Thumbnails.lnk" : L"Pictarn 64 Thumbnails.lnk";

const std::wstring kFolder = L"C:\\PictarnShell\\";
const std::wstring kExecutable = kFolder + kMainProgram;
const std::wstring kOpenCommand = L"\"" + kExecutable + L"\" \"%1\"";
const std::wstring kClasses = L"SOFTWARE\\Classes\\";
const std::wstring kFileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
const std::wstring kCapabilities = L"SOFTWARE\\Pictarn\\Capabilities";
const std::wstring kVerb = L"Browse with &Pictarn";
const std::wstring kProbeName = ProgramName(L"pt_register_probe");
constexpr const wchar_t* kStoreApps[] = {
    L"AppXvhc4p7vz4b485xfp46hhk3fq3grkdgjg", L"AppXk0g4vb8gvt7b93tg50ybcy892pge6jmt",
    L"AppX43hnxtbyyps62jhe9sqpdzxn1790zetc", L"AppX9rkaq77s0jzh1tyccadx9ghba15r6t3h",
    L"AppX6eg8h5sxqq90pv53845wmnbewywdqq5h"};

// A string value as the snapshot shows it: its stored byte length includes the terminator.
std::wstring Sz(const std::wstring& text)
{
    return L"sz(" + std::to_wstring((text.size() + 1) * 2) + L"):" + text;
}

// Every member of the list of format groups, with its row's icon and image flag.
struct Member : ExpectedMember {
    std::wstring icon;
    bool image;
};

std::vector<Member> AllMembers()
{
    std::vector<Member> members;
    for (const ExpectedFormatRow& row : ExpectedFormatRows())
        for (const ExpectedMember& m : row.members)
            members.push_back({m, row.icon == L"%1" ? row.icon : kExecutable + L"," + row.icon, row.image});
    return members;
}

bool AlwaysPointed(const std::wstring& extension)
{
    return extension == L"jpg" || extension == L"png" || extension == L"tif";
}

// Listens for the shell's notice that file associations changed, sent by whatever process.
class AssociationNoticeListener {
public:
    AssociationNoticeListener()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Count;
        windowClass.lpszClassName = L"PtAssociationNotices";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_heard));
        SHChangeNotifyEntry everywhere{nullptr, TRUE};
        m_registration = SHChangeNotifyRegister(m_window, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery,
                                                SHCNE_ASSOCCHANGED, kNotice, 1, &everywhere);
    }
    ~AssociationNoticeListener()
    {
        SHChangeNotifyDeregister(m_registration);
        DestroyWindow(m_window);
    }
    // Whether a notice came, waiting up to 3 s for it.
    bool Heard()
    {
        for (DWORD start = GetTickCount(); m_heard == 0 && GetTickCount() - start < 3000;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(20);
        }
        return m_heard > 0;
    }

private:
    static LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == kNotice)
            ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static constexpr UINT kNotice = WM_APP + 7;
    HWND m_window = nullptr;
    ULONG m_registration = 0;
    int m_heard = 0;
};

class ShellRegistration : public SilentSetupTest {
protected:
    CleanInstallState m_clean{kFolder};

    // The registration alone, with inputs of the test's choosing.
    int Probe(int confirmed, int associate, const std::wstring& rows, int thumbs = 0, int assocAllUsers = 0)
    {
        std::wstring command = L"\"" + BuildFolder() + L"\\" + kProbeName + L"\" " + std::to_wstring(confirmed) +
                               L" " + std::to_wstring(associate) + L" \"" + kFolder.substr(0, kFolder.size() - 1) + L"\" 0 0 " +
                               std::to_wstring(thumbs) + L" 0 " + rows + L" " + std::to_wstring(assocAllUsers);
        return RunAndWait(command, m_start.Path());
    }
};

void ExpectShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& icon, int iconIndex, const std::wstring& description)
{
    SCOPED_TRACE(ToUtf8(path));
    ShortcutInfo link = ReadShortcut(path);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.arguments, arguments);
    EXPECT_EQ(link.iconPath, icon);
    if (!icon.empty()) {
        EXPECT_EQ(link.iconIndex, iconIndex);
    }
    EXPECT_EQ(link.description, description);
    // Written through the link's stream, the file holds what the shell's Save would write.
    EXPECT_EQ(ReadBytes(path), SavedByTheShell(link));
}

void ExpectStoreAppsBlocked(bool blocked)
{
    for (const wchar_t* app : kStoreApps) {
        SCOPED_TRACE(ToUtf8(app));
        const std::wstring key = kClasses + app;
        if (blocked) {
            RegistrySnapshot all = SnapshotShellState();
            EXPECT_EQ(all[L"HKCU\\" + key + L"|NoOpenWith"], Sz(L""));
        } else {
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
        }
    }
}

}  // namespace

// On Windows 7, where the setup writes the most: explicit choices and the uninstaller's link too.
TEST_F(ShellRegistration, EverySwitchWritesEveryRowMemberAndShortcut)
{
    WineVersion windows7(SetupProgramName(), L"win7");
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1 /assoc=2"), exit_code::kInstalled);
    RegistrySnapshot state = SnapshotShellState();

    // The uninstall entry, value by value, with types and stored lengths.
    const std::wstring un = L"HKLM\\" + kUninstallKey;
    RegistrySnapshot uninstall;
    for (const auto& [name, value] : state)
        if (name.rfind(un, 0) == 0)
            uninstall[name] = value;
    const std::wstring displayName = k32 ? L"Pictarn 4.58 (32-bit)" : L"Pictarn 4.58 (64-bit)";
    RegistrySnapshot expected = {
        {un, L"<key>"},
        {un + L"|", Sz(L"")},
        {un + L"|DisplayName", Sz(displayName)},
        {un + L"|UninstallString", Sz(L"\"" + kFolder + L"pt_uninstall.exe\"")},
        {un + L"|QuietUninstallString", Sz(L"\"" + kFolder + L"pt_uninstall.exe\" /silent")},
        {un + L"|Publisher", Sz(L"Zorvan Kettu")},
        {un + L"|InstallLocation", Sz(kFolder)},
        {un + L"|DisplayVersion", Sz(L"4.58")},
        {un + L"|DisplayIcon", Sz(kExecutable + L",0")},
        {un + L"|VersionMajor", L"dword:4"},
        {un + L"|VersionMinor", L"dword:58"},
        // The stand-in payloads' 5,919,997 and 7,230,823 bytes, in KiB rounded up.
        {un + L"|EstimatedSize", k32 ? L"dword:5782" : L"dword:7062"},
    };
    EXPECT_EQ(uninstall, expected);

    // The folder and drive verb, the application ProgID and the "Applications" entry.
    for (const wchar_t* owner : {L"Directory", L"Drive"}) {
        const std::wstring verb = kClasses + owner + L"\\shell\\" + kVerb;
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, verb, nullptr), kVerb);
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, verb + L"\\command", nullptr), kOpenCommand + L" /thumbs");
    }
    EXPECT_EQ(state[L"HKLM\\" + kClasses + L"Pictarn|"], Sz(L"Pictarn"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn\\shell\\open\\command", nullptr), kOpenCommand);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn\\DefaultIcon"));
    const std::wstring application = L"Applications\\" + kMainProgram;
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + application + L"\\shell\\open\\command", nullptr), kOpenCommand);
    EXPECT_EQ(state[L"HKLM\\" + kClasses + application + L"|FriendlyAppName"],
              Sz(k32 ? L"Pictarn 32-bit" : L"Pictarn 64-bit"));

    // The application's own key and its Default Programs registration.
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\shell\\open\\command", nullptr),
              L"\"" + kExecutable + L"\"");
    EXPECT_EQ(state[L"HKLM\\" + kCapabilities + L"|ApplicationDescription"],
              Sz(L"Picture viewer, editor and converter - one of the most popular viewers worldwide"));
    // Default apps shows the product by this name, not by its program file.
    EXPECT_EQ(state[L"HKLM\\" + kCapabilities + L"|ApplicationName"], Sz(k32 ? L"Pictarn 32-bit" : L"Pictarn 64-bit"));
    int capabilityValues = 0;
    for (const auto& [name, value] : state)
        capabilityValues += name.rfind(L"HKLM\\" + kCapabilities + L"|", 0) == 0;
    EXPECT_EQ(capabilityValues, 2) << "Capabilities holds nothing but the name and the description";
    // One list for both registry views: the 32-bit build names its key as the 64-bit view sees it.
    EXPECT_EQ(state[L"HKLM\\SOFTWARE\\RegisteredApplications|Pictarn"],
              Sz(k32 ? L"SOFTWARE\\WOW6432Node\\Pictarn\\Capabilities" : L"SOFTWARE\\Pictarn\\Capabilities"));

    // Every member: ProgID, description, command, icon, capability, extension and explorer choice.
    const std::vector<Member> members = AllMembers();
    for (const Member& m : members) {
        SCOPED_TRACE(ToUtf8(m.extension));
        const std::wstring progIdKey = L"HKLM\\" + kClasses + m.progId;
        EXPECT_EQ(state[progIdKey + L"|"], Sz(m.description));
        EXPECT_EQ(state[progIdKey + L"\\shell\\open\\command|"], Sz(kOpenCommand));
        EXPECT_EQ(state[progIdKey + L"\\DefaultIcon|"], Sz(m.icon));
        EXPECT_EQ(state[L"HKLM\\" + kCapabilities + L"\\FileAssociations|." + m.extension], Sz(m.progId));
        EXPECT_EQ(state[L"HKLM\\" + kClasses + L"." + m.extension + L"|"], Sz(m.progId));
        EXPECT_EQ(state[L"HKCU\\" + kFileExts + m.extension + L"\\UserChoice|Progid"], Sz(m.progId));
        EXPECT_EQ(state[L"HKLM\\" + kClasses + L"." + m.extension + L"\\OpenWithProgids|" + m.progId], Sz(L""));
        EXPECT_EQ(state[L"HKLM\\" + kClasses + application + L"\\SupportedTypes|." + m.extension], Sz(L""));
    }
    ExpectStoreAppsBlocked(false);  // Wine's default is Windows 7

    // The desktop shortcuts and the program group.
    const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    ExpectShortcut(desktop + kDesktopShortcut, kExecutable, L"", L"", 0,
                   k32 ? L"Pictarn - Image Viewer" : L"Pictarn 64 - Image Viewer");
    ExpectShortcut(desktop + kThumbsShortcut, kExecutable, L"/thumbs", kExecutable, 7,
                   L"Pictarn - Thumbnails");
    const std::wstring group = ProgramGroup(false);
    const std::wstring mainName = k32 ? L"Pictarn 4.58.lnk" : L"Pictarn 64 4.58.lnk";
    ExpectShortcut(group + mainName, kExecutable, L"", L"", 0, L"");
    ExpectShortcut(group + L"Pictarn - Thumbnails.lnk", kExecutable, L"/thumbs", kExecutable, 7, L"");
    ExpectShortcut(group + L"Uninstall Pictarn.lnk", kFolder + L"pt_uninstall.exe", L"", L"", 0, L"");
    std::set<std::wstring> expectedGroup = {mainName, L"Pictarn - Thumbnails.lnk", L"Uninstall Pictarn.lnk"};
    for (const auto& [name, file] : kDocumentShortcuts) {
        ExpectShortcut(group + name, kFolder + file, L"", L"", 0, L"");
        expectedGroup.insert(name);
    }
    // Nothing else: a link the list gained, or one left over, shows here.
    auto links = [](const std::wstring& folder) {
        std::set<std::wstring> names;
        for (const std::wstring& entry : TreeListing(folder))
            if (entry.find(L".lnk ") != std::wstring::npos)
                names.insert(entry.substr(0, entry.rfind(L' ')));
        return names;
    };
    EXPECT_EQ(links(group), expectedGroup);
    EXPECT_EQ(links(desktop), (std::set<std::wstring>{kDesktopShortcut, kThumbsShortcut}));
}

TEST_F(ShellRegistration, NothingSelectedStillRegistersEveryMemberButPointsOnlyJpgPngTif)
{
    WineVersion windows10(SetupProgramName(), L"win10");
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1 /desktop=0 /thumbs=0 /assoc=0"), exit_code::kInstalled);
    {
        // The same registration in this process, where Wine delivers the shell's notices: it is
        // told of the classes written without a choice too.
        AssociationNoticeListener notices;
        const int nothing[kAssocSlots] = {};
        RegistrationRequest request;
        request.installFolder = kFolder.c_str();
        request.confirmed = true;
        request.assocSelection = nothing;
        request.shortcuts = {.group = true};
        FailureTally failures;
        RegisterWithShell(request, failures);
        EXPECT_TRUE(failures.Empty());
        EXPECT_TRUE(notices.Heard());
    }
    RegistrySnapshot state = SnapshotShellState();
    for (const Member& m : AllMembers()) {
        SCOPED_TRACE(ToUtf8(m.extension));
        EXPECT_EQ(state[L"HKLM\\" + kClasses + m.progId + L"\\shell\\open\\command|"], Sz(kOpenCommand));
        EXPECT_EQ(state[L"HKLM\\" + kClasses + m.progId + L"\\DefaultIcon|"], Sz(m.icon));
        EXPECT_EQ(state[L"HKLM\\" + kCapabilities + L"\\FileAssociations|." + m.extension], Sz(m.progId));
        EXPECT_EQ(state.count(L"HKLM\\" + kClasses + L"." + m.extension + L"|"), AlwaysPointed(m.extension) ? 1u : 0u);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFileExts + m.extension + L"\\UserChoice"));
    }
    // No verbs without the thumbnails shortcut, and no store-app step without a selection.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Directory\\shell\\" + kVerb));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Drive\\shell\\" + kVerb));
    ExpectStoreAppsBlocked(false);
    // The group keeps its thumbnails shortcut; the desktop gets none.
    EXPECT_TRUE(FileExists(ProgramGroup(false) + L"Pictarn - Thumbnails.lnk"));
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kThumbsShortcut));
}

// From Windows 8 on an explorer choice carries a hash only Windows' own dialogs make: the
// setup leaves the user's choices alone there and leaves out the uninstall shortcut.
TEST_F(ShellRegistration, WindowsVersionDecidesStoreAppsExplorerChoicesAndUninstallShortcut)
{
    struct Case {
        const wchar_t* version;
        bool windows8OrLater;
    };
    // The 32-bit build reads the version GetVersionExW reports; on Windows 10 that is 6.2
    // for a program that does not declare Windows 10 in its manifest.
    const std::vector<Case> cases = {{L"win7", false}, {L"win8", true}, {L"win10", true}, {L"vista", false}};
    const std::wstring usersJpg = L"HKCU\\" + kFileExts + L"jpg\\UserChoice";
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.version));
        ClearShellState();
        HKEY choice = nullptr;
        RegCreateKeyW(HKEY_CURRENT_USER, usersJpg.substr(5).c_str(), &choice);
        RegSetValueExW(choice, L"ProgId", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"OtherViewer.jpg"), 32);
        RegSetValueExW(choice, L"Hash", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"q0Tk4mW2Xc8="), 26);
        RegCloseKey(choice);
        RegistrySnapshot planted = SnapshotShellState();
        std::erase_if(planted, [&](const auto& entry) { return entry.first.rfind(usersJpg, 0) != 0; });
        ASSERT_EQ(planted.size(), 3u);

        WineVersion windows(SetupProgramName(), c.version);
        ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1 /assoc=1"), exit_code::kInstalled);
        ExpectStoreAppsBlocked(c.windows8OrLater);
        EXPECT_EQ(FileExists(ProgramGroup(false) + L"Uninstall Pictarn.lnk"), !c.windows8OrLater);
        RegistrySnapshot state = SnapshotShellState();
        if (c.windows8OrLater) {
            for (const auto& [name, value] : planted)
                EXPECT_EQ(state[name], value) << ToUtf8(name);
        } else {
            EXPECT_EQ(state.count(usersJpg + L"|Hash"), 0u) << "Windows 7 knows no hash; the choice is replaced";
        }
        // Vista and later take the full path in both builds; "/assoc=1" chooses the image rows alone.
        for (const Member& m : AllMembers()) {
            SCOPED_TRACE(ToUtf8(m.extension));
            const std::wstring chosen = c.windows8OrLater || !m.image ? L"<missing>" : m.progId;
            if (!c.windows8OrLater || m.extension != L"jpg") {
                EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + m.extension + L"\\UserChoice", L"Progid"), chosen);
            }
            EXPECT_EQ(state[L"HKLM\\" + kClasses + L"." + m.extension + L"\\OpenWithProgids|" + m.progId], Sz(L""));
        }
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kCapabilities + L"\\FileAssociations", L".avi"), L"Pictarn.avi");
    }
}

TEST_F(ShellRegistration, BeforeVistaThe32BitBuildRegistersOnlyTheChosenFormats)
{
    if (!variant::kIs32Bit) {
        // The 64-bit build asks no XP question: everything is written as on later Windows.
        WineVersion xp(SetupProgramName(), L"winxp64");
        ASSERT_EQ(Install(L"/folder=" + kFolder + L" /thumbs=1 /assoc=1 /assocallusers"), exit_code::kInstalled);
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".gif", nullptr), L"Pictarn.gif");
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + L"gif", L"ProgID"), L"<missing>");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kCapabilities + L"\\FileAssociations", L".avi"), L"Pictarn.avi");
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Directory\\shell\\" + kVerb));
        return;
    }
    for (bool allUsers : {false, true}) {
        SCOPED_TRACE(allUsers ? "winxp /assocallusers" : "winxp");
        ClearShellState();
        WineVersion xp(SetupProgramName(), L"winxp");
        ASSERT_EQ(Install(L"/folder=" + kFolder + L" /thumbs=1 /assoc=1" + (allUsers ? L" /assocallusers" : L"")),
                  exit_code::kInstalled);
        // The user's FileExts key carries the choice; the machine-wide default only for all users.
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + L"jpeg", nullptr), L"");
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + L"jpeg", L"ProgID"), L"Pictarn.jpg");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".jpeg", nullptr), allUsers ? L"Pictarn.jpg" : L"<missing>");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".jpg", nullptr), allUsers ? L"Pictarn.jpg" : L"<missing>");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn.jpg\\shell\\open\\command", nullptr), kOpenCommand);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFileExts + L"jpeg\\UserChoice"));
        // Rows not chosen are not touched at all, and nothing of Vista's is written.
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn.avi"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn"));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", L"Pictarn"), L"<missing>");
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Directory\\shell\\" + kVerb));
        EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kThumbsShortcut));
        // What every version gets.
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), L"4.58");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn\\shell\\open\\command", nullptr), kOpenCommand);
    }

    // Windows 2000 is neither XP class nor Vista: the machine-wide default, chosen rows only.
    ClearShellState();
    WineVersion w2k(SetupProgramName(), L"win2k");
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /assoc=1"), exit_code::kInstalled);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".jpeg", nullptr), L"Pictarn.jpg");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + L"jpeg", L"ProgID"), L"<missing>");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn.avi"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCapabilities));
}

TEST_F(ShellRegistration, TheAnswerNoPointsNothingAndStopsThe32BitBuildBeforeVista)
{
    struct Case {
        const wchar_t* version;
        bool associationsWritten;
    };
    const std::vector<Case> cases = variant::kIs32Bit
        ? std::vector<Case>{{L"winxp", false}, {L"win2k", false}, {L"win7", true}}
        : std::vector<Case>{{L"win7", true}, {L"win10", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.version));
        ClearShellState();
        WineVersion windows(kProbeName, c.version);
        ASSERT_EQ(Probe(/*confirmed=*/0, /*associate=*/1, std::to_wstring(RowOf(L"JPG/JPEG/JPE"))), 0);
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), L"4.58");
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn.jpg"), c.associationsWritten);
        // The chosen row and the three otherwise always pointed keep their defaults.
        for (const wchar_t* extension : {L"jpg", L"jpeg", L"png", L"tif"}) {
            EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"." + extension, nullptr), L"<missing>");
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFileExts + extension + L"\\UserChoice"));
        }
    }
}

TEST_F(ShellRegistration, OneChosenRowPointsAllItsMembers)
{
    WineVersion windows7(kProbeName, L"win7");  // where the explicit choice is still the setup's to write
    ASSERT_EQ(Probe(1, 1, std::to_wstring(RowOf(L"JPG/JPEG/JPE")) + L"," + std::to_wstring(RowOf(L"MNG/JNG"))), 0);
    for (const wchar_t* extension : {L"jpg", L"jpeg", L"jpe"}) {
        SCOPED_TRACE(ToUtf8(extension));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"." + extension, nullptr), L"Pictarn.jpg");
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + extension + L"\\UserChoice", L"Progid"), L"Pictarn.jpg");
    }
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn.jpg", nullptr), L"Pictarn JPG File");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".mng", nullptr), L"Pictarn.mng");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".jng", nullptr), L"Pictarn.jng");
    // Always pointed, though not chosen; its row mate only when chosen.
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".tif", nullptr), L"Pictarn.tif");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kClasses + L".tiff", nullptr), L"<missing>");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFileExts + L"tif\\UserChoice"));
}

TEST_F(ShellRegistration, ReinstallLeavesTheSameStateAndRemovesOldVersionShortcuts)
{
    const std::wstring switches = L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1 /assoc=2";
    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    const RegistrySnapshot first = SnapshotShellState();

    // What an older installation may have left: an application icon and old group shortcuts.
    HKEY icon = nullptr;
    RegCreateKeyW(HKEY_LOCAL_MACHINE, (kClasses + L"Pictarn\\DefaultIcon").c_str(), &icon);
    RegCloseKey(icon);
    const std::wstring group = ProgramGroup(false);
    const std::wstring prefix = k32 ? L"Pictarn " : L"Pictarn 64 ";
    for (const wchar_t* version : {L"4.57", L"4.56", L"4.55"})
        WriteBytes(group + prefix + version + L".lnk", "old");

    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    EXPECT_EQ(SnapshotShellState(), first);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Pictarn\\DefaultIcon"));
    EXPECT_FALSE(FileExists(group + prefix + L"4.57.lnk"));
    EXPECT_FALSE(FileExists(group + prefix + L"4.56.lnk"));
    EXPECT_TRUE(FileExists(group + prefix + L"4.55.lnk"));
}

TEST_F(ShellRegistration, FolderWithBlanksAndNoBackslashGivesTheSameKeys)
{
    ASSERT_EQ(Install(L"/group=1 /thumbs=1 /assoc=1 /folder=" + kFolder), exit_code::kInstalled);
    const RegistrySnapshot clean = SnapshotShellState();
    ClearShellState();
    ASSERT_EQ(Install(L"/group=1 /thumbs=1 /assoc=1 /folder=   " + kFolder.substr(0, kFolder.size() - 1) + L"   "),
              exit_code::kInstalled);
    EXPECT_EQ(SnapshotShellState(), clean);
    EXPECT_EQ(ReadShortcut(ProgramGroup(false) + L"Pictarn - Thumbnails.lnk").target, kExecutable);
}

// An install for all users takes this installation's shortcuts of the current user away (an
// older version's among them), and the reverse: one set remains.
TEST_F(ShellRegistration, AllUsersPutsShortcutsInTheCommonFoldersAndOneSetRemains)
{
    const std::wstring switches = L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1";
    const std::wstring older = variant::kIs32Bit ? L"Pictarn 4.50.lnk" : L"Pictarn 64 4.50.lnk";
    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    ASSERT_TRUE(CopyFileW((ProgramGroup(false) + L"Pictarn - Thumbnails.lnk").c_str(),
                          (ProgramGroup(false) + older).c_str(), FALSE));
    ASSERT_EQ(Install(switches + L" /allusers=1"), exit_code::kInstalled);
    const std::wstring commonDesktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_NE(commonDesktop, SpecialFolder(CSIDL_DESKTOPDIRECTORY));
    EXPECT_TRUE(FileExists(commonDesktop + kDesktopShortcut));
    EXPECT_TRUE(FileExists(commonDesktop + kThumbsShortcut));
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kDesktopShortcut));
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kThumbsShortcut));
    EXPECT_TRUE(FileExists(ProgramGroup(true) + L"Pictarn - Thumbnails.lnk"));
    EXPECT_FALSE(FolderExists(ProgramGroup(false)));

    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + kDesktopShortcut));
    EXPECT_FALSE(FileExists(commonDesktop + kDesktopShortcut));
    EXPECT_FALSE(FolderExists(ProgramGroup(true)));
}
