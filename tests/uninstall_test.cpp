// The real uninstaller, started through the uninstall entry's command as a fleet tool would:
// everything the setup wrote goes, what it replaced comes back, and the user's data stays.
#include "res/resource.h"
#include "support/expected_exit_codes.h"
#include "support/other_payload.h"
#include "support/shell_state.h"
#include "support/silent_setup.h"
#include "support/test_support.h"
#include "support/wizard_driver.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>

#include <algorithm>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::wstring kFolder = L"C:\\PictarnRemove";
const std::wstring kUninstallKey = variant::kIs32Bit ? L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn"
                                                      : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64";
const std::wstring kFileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::wstring kSettings = variant::kIs32Bit ? L"pt_main32.ini" : L"pt_main64.ini";
constexpr int kUninstallRemoved = 0;
constexpr int kUninstallProductRunning = 2;

std::wstring UserSettingsFolder()
{
    wchar_t appData[MAX_PATH] = {};
    GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    return std::wstring(appData) + L"\\Pictarn";
}

// What an install can leave anywhere: the product's keys, the record of replaced values, the
// files of the folder and of the user's settings, and every shortcut folder.
struct MachineState {
    RegistrySnapshot registry;
    std::vector<std::wstring> files;
    bool operator==(const MachineState& other) const { return registry == other.registry && files == other.files; }
};

void AddListing(const std::wstring& folder, std::vector<std::wstring>& files)
{
    files.push_back(L"[" + folder + L"]");
    for (const std::wstring& name : TreeListing(folder))
        files.push_back(name);
}

// The record of replaced values lives in the 64-bit view wherever there is one.
bool RecordExists(HKEY root)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Pictarn Setup", 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

MachineState Capture()
{
    MachineState state{SnapshotShellState(), {}};
    state.registry[L"record HKLM"] = RecordExists(HKEY_LOCAL_MACHINE) ? L"present" : L"none";
    state.registry[L"record HKCU"] = RecordExists(HKEY_CURRENT_USER) ? L"present" : L"none";
    for (const wchar_t* key : {L"SOFTWARE\\Classes\\Directory\\shell", L"SOFTWARE\\Classes\\Drive\\shell"})
        state.registry[key] = KeyExists(HKEY_LOCAL_MACHINE, key) ? L"1" : L"0";
    AddListing(kFolder, state.files);
    AddListing(UserSettingsFolder(), state.files);
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
        AddListing(SpecialFolder(csidl), state.files);
    return state;
}

// Other programs' handlers, there before the product came.
void PlantOtherHandlers()
{
    for (const wchar_t* extension : {L".jpg", L".gif"}) {
        HKEY key = nullptr;
        RegCreateKeyW(HKEY_LOCAL_MACHINE, (std::wstring(L"SOFTWARE\\Classes\\") + extension).c_str(), &key);
        const std::wstring handler = std::wstring(L"OtherViewer") + extension;
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(handler.c_str()),
                       static_cast<DWORD>((handler.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    // Another viewer offered for ".jpg": its offer stays, and so does the key it is in.
    HKEY offers = nullptr;
    RegCreateKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg\\OpenWithProgids", &offers);
    RegSetValueExW(offers, L"OtherViewer.jpg", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    RegCloseKey(offers);
    HKEY user = nullptr;
    RegCreateKeyW(HKEY_CURRENT_USER, (kFileExts + L".png").c_str(), &user);
    RegSetValueExW(user, L"ProgID", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"OtherViewer.png"), 32);
    RegCloseKey(user);
}

// Looks through one thread's windows for a visible one other than `besides`.
struct WindowSearch {
    HWND besides;
    HWND found;
};

BOOL CALLBACK FindAnotherVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (window != search->besides && IsWindowVisible(window))
        search->found = window;
    return search->found == nullptr;
}

class Uninstall : public SilentSetupTest {
protected:
    Uninstall() { RemoveTree(UserSettingsFolder()); }
    ~Uninstall() override { RemoveTree(UserSettingsFolder()); }

    // The uninstall entry's own command, as Apps & features or a fleet tool runs it.
    int RemoveThroughEntry(const std::wstring& extra = L"")
    {
        const std::wstring quiet = ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString");
        EXPECT_EQ(quiet, L"\"" + kFolder + L"\\pt_uninstall.exe\" /silent");
        return RunAndWait(quiet + extra, m_start.Path());
    }
    std::string UninstallLog() const { return ReadBytes(m_start / L"Pictarn_Uninstall.log"); }
    // The removal's window, started as the entry's uninstall command starts it; null when none
    // came within 30 s. `process` is the uninstaller's, for the caller to wait on and close.
    HWND StartRemovalWindow(PROCESS_INFORMATION& process)
    {
        std::wstring line = L"\"" + kFolder + L"\\pt_uninstall.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        process = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, m_start.Path().c_str(),
                            &startup, &process))
            return nullptr;
        HWND window = nullptr;
        for (int i = 0; i < 300 && window == nullptr; ++i, Sleep(100))
            window = FindWindowW(L"#32770", L"Remove Pictarn");
        return window;
    }

    CleanInstallState m_clean{kFolder};
};

}  // namespace

TEST_F(Uninstall, RoundTripLeavesTheMachineAsItWasButTheUsersSettings)
{
    struct Case {
        const wchar_t* windows;
        const wchar_t* switches;
        bool purge;
        bool otherSpelling;  // started by the folder's short name, from inside the installation
        bool verbKeysBefore;  // the folder and drive verbs' parent keys were there, empty
    };
    std::vector<Case> cases = {{L"win10", L"", false, false, true}, {L"win7", L" /allusers=1", true, true, false}};
    if (variant::kIs32Bit)
        cases.push_back({L"winxp", L" /assocallusers", false, false, false});
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.windows));
        ClearShellState();
        PlantOtherHandlers();
        for (const wchar_t* key : {L"SOFTWARE\\Classes\\Directory\\shell", L"SOFTWARE\\Classes\\Drive\\shell"})
            if (HKEY made = nullptr; c.verbKeysBefore && RegCreateKeyW(HKEY_LOCAL_MACHINE, key, &made) == ERROR_SUCCESS)
                RegCloseKey(made);
            else if (!c.verbKeysBefore)
                RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
        WineVersion setupVersion(SetupProgramName(), c.windows);
        WineVersion uninstallVersion(L"pt_uninstall.exe", c.windows);
        const MachineState before = Capture();

        ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1 /assoc=2" + c.switches),
                  exit_code::kInstalled);
        ASSERT_NE(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn.jpg", nullptr), L"<missing>");
        wchar_t shortFolder[MAX_PATH] = {};
        GetShortPathNameW(kFolder.c_str(), shortFolder, MAX_PATH);
        const int removed = !c.otherSpelling ? RemoveThroughEntry(c.purge ? L" /purge" : L"")
                                             : RunAndWait(L"\"" + std::wstring(shortFolder) + L"\\pt_uninstall.exe\" /silent /purge",
                                                          kFolder + L"\\Plugins");
        ASSERT_EQ(removed, kUninstallRemoved) << UninstallLog();
        // When the command returns, the folder is gone: no copy of ours works on.
        EXPECT_FALSE(FolderExists(kFolder));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg", nullptr), L"OtherViewer.jpg");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), L"OtherViewer.gif");
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFileExts + L".png", L"ProgID"), L"OtherViewer.png");

        MachineState after = Capture();
        // The user's settings stay unless asked for: exactly the settings file and its folder.
        if (!c.purge) {
            const std::vector<std::wstring> settings = TreeListing(UserSettingsFolder());
            ASSERT_EQ(settings.size(), 1u);
            EXPECT_EQ(settings[0].rfind(kSettings + L" ", 0), 0u);
            RemoveTree(UserSettingsFolder());
            after = Capture();
        }
        EXPECT_TRUE(after == before);
        EXPECT_EQ(after.files, before.files);
        EXPECT_EQ(after.registry, before.registry);
    }
}

namespace {

// Two versions' setups made from the built payload, its files dated minutes ago (as a release
// built just before a fleet installs it): B drops a plug-in, adds a page and changes the readme.
struct TwoVersions {
    TwoVersions()
    {
        std::vector<ZipEntry> files = BuiltPayloadEntries(dated);
        EXPECT_TRUE(WriteSetupWithPayload(a, files));
        readmeB = EntryNamed(files, "readme.txt").data + "Changed in the next version.\r\n";
        EntryNamed(files, "readme.txt").data = readmeB;
        files.erase(std::find_if(files.begin(), files.end(), [](const ZipEntry& e) { return e.name == "Plugins/Slideshow.dll"; }));
        ZipEntry added{"Html/slides.htm", "<html>slides</html>"};
        added.utcTime = dated;
        files.push_back(added);
        EXPECT_TRUE(WriteSetupWithPayload(b, files));
    }
    int Install(const std::wstring& setup, const std::wstring& start, const std::wstring& switches = L"")
    {
        return RunAndWait(L"\"" + setup + L"\" /silent /folder=" + kFolder + L" /group=1 /desktop=1" + switches, start);
    }
    const int64_t dated = UtcNow() - 300;
    TempFolder setups;
    const std::wstring a = setups / L"a.exe", b = setups / L"b.exe";
    std::string readmeB;
};

FILETIME FileTimeOf(int64_t utc)
{
    const ULONGLONG ticks = (static_cast<ULONGLONG>(utc) + 11644473600ULL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// A log's entries without their dates and separator lines, one a line.
std::string LogTexts(const std::string& log)
{
    std::string texts;
    for (size_t at = 0; at < log.size();) {
        size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end;
        std::string line = log.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("----", 0) == 0)
            continue;
        const size_t time = line.find(" - ");
        texts += (time != std::string::npos && time < 12 ? line.substr(time + 13) : line) + "\n";
    }
    return texts;
}

}  // namespace

// A, then B, then the removal, in the time zone the test runs in (the suite runs it again west and
// east of UTC: Wine takes a program's zone from the environment it was started in): the files
// carry the archive's real times, B replaces what changed and takes what it no longer carries,
// and the removal takes every file as placed, one only re-dated too. A file the user changed
// stays and is logged; the folder that holds it stays, with exit 0: a restart would remove nothing.
TEST_F(Uninstall, VersionsFollowEachOtherAndGoByContentInEveryTimeZone)
{
    TwoVersions versions;
    wchar_t zone[64] = L"(none)";
    GetEnvironmentVariableW(L"TZ", zone, 64);
    SCOPED_TRACE(ToUtf8(zone));
    ClearShellState();
    const MachineState before = Capture();
    ASSERT_EQ(versions.Install(versions.a, m_start.Path()), exit_code::kInstalled) << Log();
    const FILETIME expected = FileTimeOf(versions.dated), written = LastWrite(kFolder + L"\\pt_uninstall.exe");
    EXPECT_EQ(CompareFileTime(&written, &expected), 0);
    ASSERT_TRUE(FileExists(kFolder + L"\\Plugins\\Slideshow.dll"));

    ASSERT_EQ(versions.Install(versions.b, m_start.Path()), exit_code::kInstalled) << Log();
    EXPECT_FALSE(FileExists(kFolder + L"\\Plugins\\Slideshow.dll"));
    EXPECT_EQ(ReadBytes(kFolder + L"\\Html\\slides.htm"), "<html>slides</html>");
    EXPECT_EQ(ReadBytes(kFolder + L"\\readme.txt"), versions.readmeB);

    WriteBytes(kFolder + L"\\Languages\\Deutsch.ini", "[Meine]");
    const FILETIME now = FileTimeOf(UtcNow() + 3600);
    HANDLE redated = CreateFileW((kFolder + L"\\pt_about.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    SetFileTime(redated, nullptr, nullptr, &now);
    CloseHandle(redated);
    DeleteFileW((m_start / L"Pictarn_Uninstall.log").c_str());
    ASSERT_EQ(RemoveThroughEntry(), kUninstallRemoved) << UninstallLog();
    // The settings stay in the folder that held them when B came (it found A there).
    std::vector<std::wstring> left = TreeListing(kFolder);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[2].rfind(kSettings + L" ", 0), 0u);
    left.pop_back();
    EXPECT_EQ(left, (std::vector<std::wstring>{L"Languages\\", L"Languages\\Deutsch.ini 7"}));
    EXPECT_EQ(LogTexts(UninstallLog()), "Kept, changed since it was installed: " + ToUtf8(kFolder) + "\\Languages\\Deutsch.ini\n"
                                  "Kept, it holds files that are not Pictarn's own: " + ToUtf8(kFolder) + "\\Languages\n"
                                  "Kept, it holds files that are not Pictarn's own: " + ToUtf8(kFolder) + "\\\n")
        << UninstallLog();
    RemoveTree(kFolder);
    RemoveTree(UserSettingsFolder());
    const MachineState after = Capture();
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.registry, before.registry);
}

// An update that cannot replace a file changes nothing, the registration included, and names
// the file; one killed at any point is finished by the next run; an older version does not go
// over a newer one unless asked, and then leaves one versioned shortcut.
TEST_F(Uninstall, AnUpdateHeldKilledOrOlderLeavesOneWorkingVersion)
{
    TwoVersions versions;
    auto contents = [] {
        std::vector<std::string> files;
        for (const std::wstring& entry : TreeListing(kFolder))
            if (entry.back() != L'\\')
                files.push_back(ReadBytes(kFolder + L"\\" + entry.substr(0, entry.rfind(L' '))));
        return files;
    };
    ClearShellState();
    ASSERT_EQ(versions.Install(versions.a, m_start.Path()), exit_code::kInstalled) << Log();
    ASSERT_EQ(versions.Install(versions.b, m_start.Path()), exit_code::kInstalled) << Log();
    const MachineState updated = Capture();
    const std::vector<std::string> updatedFiles = contents();
    auto installEarlier = [&] {
        ASSERT_EQ(RemoveThroughEntry(L" /purge"), kUninstallRemoved) << UninstallLog();
        ASSERT_EQ(versions.Install(versions.a, m_start.Path()), exit_code::kInstalled) << Log();
    };
    installEarlier();
    const MachineState earlier = Capture();
    const std::vector<std::string> earlierFiles = contents();

    HANDLE held = CreateFileW((kFolder + L"\\Plugins\\Effects.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(versions.Install(versions.b, m_start.Path()), exit_code::kNotAllInstalled);
    CloseHandle(held);
    EXPECT_NE(Log().find(ToUtf8(kFolder) + "\\Plugins\\Effects.dll"), std::string::npos) << Log();
    EXPECT_TRUE(Capture() == earlier);
    EXPECT_TRUE(contents() == earlierFiles);

    // Killed while writing beside the files, while moving them, and once they are in place.
    struct KillPoint {
        const char* label;
        std::function<bool()> reached;
    };
    auto asideExists = [] {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((kFolder + L"\\*.old").c_str(), &found);
        return search != INVALID_HANDLE_VALUE && FindClose(search);
    };
    const std::vector<KillPoint> points = {
        {"journal written", [] { return FileExists(kFolder + L"\\pt_setup_update.txt"); }},
        {"an earlier file aside", asideExists},
        {"files in place", [&] { return ReadBytes(kFolder + L"\\readme.txt") == versions.readmeB; }},
    };
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.label);
        bool killed = false;
        for (int attempt = 0; attempt < 5 && !killed; ++attempt) {
            installEarlier();
            std::wstring line = L"\"" + versions.b + L"\" /silent /folder=" + kFolder + L" /group=1 /desktop=1";
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process{};
            ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, m_start.Path().c_str(),
                                       &startup, &process));
            while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && !point.reached())
                Sleep(0);
            killed = TerminateProcess(process.hProcess, 9) && WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
            DWORD code = 0;
            killed = killed && GetExitCodeProcess(process.hProcess, &code) && code == 9;
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        ASSERT_TRUE(killed);
        EXPECT_EQ(versions.Install(versions.b, m_start.Path()), exit_code::kInstalled) << Log();
        EXPECT_TRUE(Capture() == updated);
        EXPECT_TRUE(contents() == updatedFiles);
    }

    // A newer version installed (its entry and its versioned shortcut, as 4.59 leaves them).
    const std::wstring newer = ProgramGroup(false) + (variant::kIs32Bit ? L"Pictarn 4.59.lnk" : L"Pictarn 64 4.59.lnk");
    const std::wstring ours = ProgramGroup(false) + (variant::kIs32Bit ? L"Pictarn 4.58.lnk" : L"Pictarn 64 4.58.lnk");
    ASSERT_TRUE(CopyFileW(ours.c_str(), newer.c_str(), FALSE));
    DeleteFileW(ours.c_str());
    HKEY entry = nullptr;
    const DWORD minor = 59;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_SET_VALUE, &entry), ERROR_SUCCESS);
    RegSetValueExW(entry, L"VersionMinor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minor), sizeof(minor));
    RegSetValueExW(entry, L"DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"4.59"), 10);
    RegCloseKey(entry);
    const MachineState newerInstalled = Capture();
    EXPECT_EQ(versions.Install(versions.a, m_start.Path()), exit_code::kNewerInstalled);
    EXPECT_NE(Log().find("A newer version of Pictarn (4.59) is installed; this setup installs 4.58!"), std::string::npos)
        << Log();
    EXPECT_TRUE(Capture() == newerInstalled);
    EXPECT_EQ(versions.Install(versions.a, m_start.Path(), L" /downgrade=1"), exit_code::kInstalled) << Log();
    EXPECT_FALSE(FileExists(newer));
    EXPECT_TRUE(FileExists(ours));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), L"4.58");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"VersionMinor"), L"58");
}

TEST_F(Uninstall, UserFilesStayARunningProductStopsItAndAReinstallIsAFirstInstall)
{
    const std::wstring switches = L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1 /assoc=1";
    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    const MachineState first = Capture();

    // The product running: nothing is removed, and the log says why.
    {
        RunningProduct product;
        ASSERT_TRUE(product.WindowFound());
        EXPECT_EQ(RemoveThroughEntry(), kUninstallProductRunning);
        EXPECT_NE(UninstallLog().find("Warning: Pictarn is running!"), std::string::npos) << UninstallLog();
        EXPECT_TRUE(Capture() == first);
    }

    // A file of the user's own keeps the folder and itself, and so does a product file the user
    // changed since (told in the log); everything else of ours goes.
    WriteBytes(kFolder + L"\\My notes.txt", "mine");
    WriteBytes(kFolder + L"\\Languages\\Deutsch.ini", "[Meine]");
    ASSERT_EQ(RemoveThroughEntry(), kUninstallRemoved) << UninstallLog();
    EXPECT_EQ(TreeListing(kFolder), (std::vector<std::wstring>{L"Languages\\", L"Languages\\Deutsch.ini 7", L"My notes.txt 4"}));
    EXPECT_NE(UninstallLog().find("Kept, changed since it was installed: " + ToUtf8(kFolder) + "\\Languages\\Deutsch.ini"),
              std::string::npos) << UninstallLog();
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"<missing>");
    RemoveTree(kFolder);

    // Installed again, the machine is as after the first install.
    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    EXPECT_TRUE(Capture() == first);

    // A mutex of the lock's name that a user without administrator rights made is no lock: the
    // machine's runs go on, and still exclude each other: while the setup's wizard is open, a
    // silent install waits, then says another run is in progress. The removal's window takes the
    // lock only to remove: while it waits for its user, installs go on. (Wine has no private
    // namespaces; elevated runs there check the owner.)
    auto mutexOwnedBy = [](const wchar_t* descriptorText) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptorText, SDDL_REVISION_1, &descriptor, nullptr);
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
        HANDLE mutex = CreateMutexW(&attributes, TRUE, L"Global\\PictarnSetupRun");
        LocalFree(descriptor);
        return mutex;
    };
    HANDLE squatted = mutexOwnedBy(L"O:BUD:(A;;GA;;;WD)");
    ASSERT_NE(squatted, nullptr);
    EXPECT_EQ(Install(switches), exit_code::kInstalled);
    {
        WizardDriver wizard(L"", m_start.Path());
        ASSERT_TRUE(wizard.Started());
        EXPECT_EQ(Install(switches), exit_code::kAnotherRunning);
    }
    {
        PROCESS_INFORMATION process{};
        const HWND window = StartRemovalWindow(process);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(Install(switches), exit_code::kInstalled);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(squatted);
    const MachineState reinstalled = Capture();

    // While a run holds the machine's lock, another waits 10 s, then changes nothing and says so.
    HANDLE lock = mutexOwnedBy(L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)");
    ASSERT_NE(lock, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Install(switches + L" /desktop=0"), exit_code::kAnotherRunning);
    EXPECT_GE(GetTickCount() - start, 9500u);
    EXPECT_NE(Log().find("Another installation or removal of Pictarn is in progress!"), std::string::npos) << Log();
    EXPECT_EQ(RemoveThroughEntry(), exit_code::kAnotherRunning);
    ReleaseMutex(lock);
    CloseHandle(lock);
    EXPECT_TRUE(Capture() == reinstalled);
}

TEST_F(Uninstall, TheWindowCancelsOrRemovesWithTheSettingsAndListsAllThatStayed)
{
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1"), exit_code::kInstalled);
    ASSERT_TRUE(FolderExists(UserSettingsFolder()));
    const MachineState installed = Capture();
    // 65 entries of the record of replaced values that nothing could have written: each stays,
    // and is told by a line of its own.
    const std::wstring recordKey = L"SOFTWARE\\Pictarn Setup\\Replaced";
    std::vector<std::wstring> planted;
    auto plantLeftovers = [&] {
        HKEY record = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, recordKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                  nullptr, &record, nullptr), ERROR_SUCCESS);
        for (int i = 0; i < 65; ++i) {
            planted.push_back(L"SOFTWARE\\Classes\\.leftover" + std::to_wstring(i) + L"\\OpenWithProgids|Another.Viewer");
            const DWORD number = 1;
            RegSetValueExW(record, planted.back().c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        }
        RegCloseKey(record);
    };
    // What stops a Remove: the window says so in a box, which the user closes, then cancels.
    enum class Blocker { kNone, kProductRunning, kAnotherRun };
    struct Case {
        const char* label;
        Blocker blocker;
        bool remove;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"Cancel", Blocker::kNone, false, 1},
        {"Cancel with the product running", Blocker::kProductRunning, false, 2},
        {"Cancel while the setup's wizard holds the lock", Blocker::kAnotherRun, false, 1},
        {"Remove, with what stays", Blocker::kNone, true, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.remove)
            plantLeftovers();
        std::optional<RunningProduct> product;
        std::optional<WizardDriver> wizard;
        if (c.blocker == Blocker::kProductRunning)
            product.emplace();
        if (c.blocker == Blocker::kAnotherRun)
            wizard.emplace(L"", m_start.Path());
        PROCESS_INFORMATION process{};
        const HWND window = StartRemovalWindow(process);
        ASSERT_NE(window, nullptr);
        wchar_t question[256] = {};
        GetDlgItemTextW(window, IDC_UNINSTALL_TEXT, question, 256);
        EXPECT_EQ(std::wstring(question), std::wstring(L"Pictarn 4.58 (") + (variant::kIs32Bit ? L"32" : L"64") +
                                              L"-bit) will be removed from\n" + kFolder +
                                              L"\\\n\nFiles of your own in that folder stay.");
        if (c.blocker != Blocker::kNone) {
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            // The message box the window's thread shows over it.
            WindowSearch search{window, nullptr};
            for (int i = 0; i < 300 && search.found == nullptr; ++i, Sleep(100))
                EnumThreadWindows(process.dwThreadId, FindAnotherVisibleWindow, reinterpret_cast<LPARAM>(&search));
            const HWND box = search.found;
            ASSERT_NE(box, nullptr) << "the window tells why it cannot remove";
            wchar_t said[512] = {};
            GetDlgItemTextW(box, 0xFFFF, said, 512);  // a message box's text
            EXPECT_NE(std::wstring(said).find(c.blocker == Blocker::kAnotherRun ? L"Another installation or removal"
                                                                                 : L"Pictarn is running"),
                      std::wstring::npos) << ToUtf8(said);
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 300 && IsWindow(box); ++i)
                Sleep(100);
        }
        const HWND list = GetDlgItem(window, IDC_UNINSTALL_OUTCOME);
        if (c.remove) {
            SendMessageW(GetDlgItem(window, IDC_PURGE), BM_CLICK, 0, 0);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 600 && IsWindowVisible(GetDlgItem(window, IDOK)); ++i)
                Sleep(100);
            wchar_t headline[256] = {};
            GetDlgItemTextW(window, IDC_UNINSTALL_TEXT, headline, 256);
            EXPECT_EQ(std::wstring(headline), L"Not everything could be removed:");
            // Every line whole, in a list that scrolls to them.
            std::wstring shown(static_cast<size_t>(SendMessageW(list, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
            shown.resize(static_cast<size_t>(
                SendMessageW(list, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(shown.data()))));
            EXPECT_TRUE(IsWindowVisible(list));
            EXPECT_NE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL, 0);
            SCROLLINFO scroll{sizeof(scroll), SIF_ALL, 0, 0, 0, 0, 0};
            GetScrollInfo(list, SB_VERT, &scroll);
            EXPECT_GT(scroll.nMax + 1, static_cast<int>(scroll.nPage)) << "more lines than the list shows at once";
            const std::string log = UninstallLog();
            for (const std::wstring& entry : planted) {
                const std::wstring line = L"Can't remove: HKEY_LOCAL_MACHINE\\" + recordKey + L"\\" + entry + L"\r\n";
                EXPECT_NE(shown.find(line), std::wstring::npos) << ToUtf8(entry);
                EXPECT_NE(log.find(ToUtf8(L"Can't remove: HKEY_LOCAL_MACHINE\\" + recordKey + L"\\" + entry)),
                          std::string::npos) << ToUtf8(entry);
            }
        } else {
            EXPECT_FALSE(IsWindowVisible(list));
        }
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        EXPECT_EQ(code, c.exitCode);
        if (!c.remove) {
            EXPECT_TRUE(Capture() == installed);
        }
    }
    EXPECT_FALSE(FolderExists(kFolder));
    EXPECT_FALSE(FolderExists(UserSettingsFolder()));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"<missing>");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn Setup");
}

// The keys in which two snapshots differ, for a failure's message.
std::string Differences(const RegistrySnapshot& found, const RegistrySnapshot& expected)
{
    std::string lines;
    for (const auto& [key, value] : found)
        if (auto at = expected.find(key); at == expected.end() || at->second != value)
            lines += "found " + ToUtf8(key) + " = " + ToUtf8(value) + "\n";
    for (const auto& [key, value] : expected)
        if (!found.count(key))
            lines += "missing " + ToUtf8(key) + " = " + ToUtf8(value) + "\n";
    return lines;
}

// Both builds installed in either order, either removed first: the one that stays has the
// registration it would have alone, byte for byte (what both builds write follows it), its files,
// entry and group shortcuts; removed in turn, it puts back what was there before either came.
TEST_F(Uninstall, BothBuildsInstalledEitherRemovedFirstTheOtherIsAsIfAlone)
{
    const std::wstring otherSetup = BuildFolder() + (variant::kIs32Bit ? L"\\..\\x64\\" : L"\\..\\x86\\") + SetupProgramName(true);
    const std::wstring otherFolder = L"C:\\PictarnOtherBuild";
    const std::wstring otherMain = variant::kIs32Bit ? L"pt_main64.exe" : L"pt_main32.exe";
    const std::wstring otherKey = variant::kIs32Bit ? L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64"
                                                    : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn";
    const REGSAM otherView = variant::kIs32Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    auto valueIn = [](const std::wstring& keyName, REGSAM view, const wchar_t* name) {
        std::wstring value = L"<missing>";
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
            wchar_t text[512] = {};
            DWORD bytes = sizeof(text) - sizeof(wchar_t);
            if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes) == ERROR_SUCCESS)
                value = text;
            RegCloseKey(key);
        }
        return value;
    };
    auto otherEntry = [&](const wchar_t* name) { return valueIn(otherKey, otherView, name); };
    // Default apps reads the one list both builds share, and the key it names, in the 64-bit view.
    auto defaultAppsName = [&] {
        return valueIn(valueIn(L"SOFTWARE\\RegisteredApplications", KEY_WOW64_64KEY, L"Pictarn"), KEY_WOW64_64KEY,
                       L"ApplicationName");
    };
    const std::wstring thisName = variant::kIs32Bit ? L"Pictarn 32-bit" : L"Pictarn 64-bit";
    const std::wstring otherName = variant::kIs32Bit ? L"Pictarn 64-bit" : L"Pictarn 32-bit";
    const std::wstring thisInstall = L"/folder=" + kFolder + L" /group=1 /thumbs=1 /assoc=1";
    const std::wstring otherInstall = L"\"" + otherSetup + L"\" /silent /folder=" + otherFolder + L" /group=1 /thumbs=1 /assoc=1 /ini=";
    // Its settings are in its folder (no settings folder was given): they go only with /purge.
    auto removeOther = [&] {
        return RunAndWait(L"\"" + otherFolder + L"\\pt_uninstall.exe\" /silent /purge", m_start.Path());
    };

    // Each alone first, as the states to compare with.
    ClearShellState();
    PlantOtherHandlers();
    RemoveTree(otherFolder);
    const RegistrySnapshot neither = SnapshotShellState();
    ASSERT_EQ(Install(thisInstall), exit_code::kInstalled);
    const RegistrySnapshot thisAlone = SnapshotShellState();
    ASSERT_EQ(RemoveThroughEntry(L" /purge"), kUninstallRemoved) << UninstallLog();
    ASSERT_EQ(RunAndWait(otherInstall, m_start.Path()), exit_code::kInstalled);
    const RegistrySnapshot otherAlone = SnapshotShellState();
    ASSERT_EQ(removeOther(), kUninstallRemoved);
    ASSERT_EQ(Differences(SnapshotShellState(), neither), "");

    for (const bool thisFirst : {true, false}) {
        for (const bool thisRemovedFirst : {true, false}) {
            SCOPED_TRACE(std::string(thisFirst ? "this build installed first" : "the other build installed first") +
                         (thisRemovedFirst ? ", removed first" : ", removed last"));
            if (!thisFirst) {
                ASSERT_EQ(RunAndWait(otherInstall, m_start.Path()), exit_code::kInstalled);
            }
            ASSERT_EQ(Install(thisInstall), exit_code::kInstalled);
            // Neither build installs into the other's folder, however it is spelt.
            EXPECT_EQ(RunAndWait(L"\"" + otherSetup + L"\" /silent /folder=" + kFolder + L"\\..\\PICTARNREMOVE", m_start.Path()),
                      exit_code::kInvalidFolder);
            EXPECT_NE(Log().find("The other build of Pictarn (32-bit or 64-bit) is installed in this folder!"), std::string::npos);
            if (thisFirst) {
                ASSERT_EQ(RunAndWait(otherInstall, m_start.Path()), exit_code::kInstalled);
            }
            EXPECT_EQ(Install(L"/folder=" + otherFolder), exit_code::kInvalidFolder);
            EXPECT_EQ(defaultAppsName(), thisFirst ? otherName : thisName);

            if (thisRemovedFirst) {
                ASSERT_EQ(RemoveThroughEntry(L" /purge"), kUninstallRemoved) << UninstallLog();
                EXPECT_FALSE(FolderExists(kFolder));
                EXPECT_TRUE(FileExists(otherFolder + L"\\" + otherMain));
                EXPECT_EQ(otherEntry(L"InstallLocation"), otherFolder + L"\\");
                EXPECT_EQ(defaultAppsName(), otherName);
                EXPECT_EQ(Differences(SnapshotShellState(), otherAlone), "");
                // Every shortcut of the group is the other build's, and opens a file that is there.
                const std::vector<std::wstring> group = TreeListing(ProgramGroup(false));
                EXPECT_EQ(group.size(), std::size(kDocumentShortcuts) + 2);  // and its versioned and thumbnails shortcuts
                for (const std::wstring& entry : group) {
                    const ShortcutInfo link = ReadShortcut(ProgramGroup(false) + entry.substr(0, entry.rfind(L' ')));
                    EXPECT_EQ(link.target.rfind(otherFolder + L"\\", 0), 0u) << ToUtf8(entry);
                    EXPECT_TRUE(FileExists(link.target)) << ToUtf8(entry);
                }
                ASSERT_EQ(removeOther(), kUninstallRemoved);
            } else {
                ASSERT_EQ(removeOther(), kUninstallRemoved);
                EXPECT_FALSE(FolderExists(otherFolder));
                EXPECT_EQ(otherEntry(L"InstallLocation"), L"<missing>");
                EXPECT_EQ(Differences(SnapshotShellState(), thisAlone), "");  // Default apps' entry among them
                ASSERT_EQ(RemoveThroughEntry(L" /purge"), kUninstallRemoved) << UninstallLog();
            }
            EXPECT_FALSE(FolderExists(kFolder));
            EXPECT_FALSE(FolderExists(otherFolder));
            EXPECT_FALSE(FolderExists(ProgramGroup(false)));
            EXPECT_EQ(Differences(SnapshotShellState(), neither), "");
        }
    }
    RemoveTree(otherFolder);
}

// A removal cut short at each step, as a power cut would (the test's kill point ends the process
// there), is finished by the next run to the state before the install. The entry's quiet command
// carries a switch a fleet tool added ("/purge"): it changes nothing of the order. Once the
// uninstaller itself is gone, the next run is the setup's, into the same folder, and its removal.
struct KillPoint {
    const char* label;
    const wchar_t* point;
};

void PrintTo(const KillPoint& point, std::ostream* out)
{
    *out << point.label;
}

class KilledRemoval : public Uninstall, public testing::WithParamInterface<KillPoint> {};

TEST_P(KilledRemoval, IsFinishedByTheNextRun)
{
    ClearShellState();
    PlantOtherHandlers();
    const MachineState before = Capture();
    const std::wstring switches = L"/folder=" + kFolder + L" /group=1 /desktop=1 /thumbs=1 /assoc=2 /ini=";
    const std::wstring purge = L"\"" + kFolder + L"\\pt_uninstall.exe\" /silent /purge";
    auto installWithEditedEntry = [&] {
        ASSERT_EQ(Install(switches), exit_code::kInstalled);
        HKEY entry = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_SET_VALUE, &entry), ERROR_SUCCESS);
        RegSetValueExW(entry, L"QuietUninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(purge.c_str()),
                       static_cast<DWORD>((purge.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(entry);
    };
    installWithEditedEntry();
    {
        ScopedVariable kill(L"PT_TEST_KILL_AT", GetParam().point);
        ASSERT_EQ(RunAndWait(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"), m_start.Path()), 9)
            << "the run never reached the point";
    }
    const bool uninstallerLeft = FileExists(kFolder + L"\\pt_uninstall.exe");
    std::printf("killed at %s: the uninstaller %s\n", GetParam().label, uninstallerLeft ? "stayed" : "was gone");
    if (!uninstallerLeft)
        installWithEditedEntry();
    EXPECT_EQ(RunAndWait(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"), m_start.Path()),
              kUninstallRemoved) << UninstallLog();
    EXPECT_TRUE(Capture() == before);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, KilledRemoval,
    testing::Values(KillPoint{"Files", L"files"}, KillPoint{"Settings", L"settings"},
                    KillPoint{"Shortcuts", L"shortcuts"}, KillPoint{"ProgIds", L"ProgIDs"},
                    KillPoint{"FolderVerb", L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn"},
                    KillPoint{"DriveVerb", L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn"},
                    KillPoint{"ProductClass", L"SOFTWARE\\Classes\\Pictarn"},
                    KillPoint{"ApplicationKey", variant::kIs32Bit ? L"SOFTWARE\\Classes\\Applications\\pt_main32.exe"
                                                                  : L"SOFTWARE\\Classes\\Applications\\pt_main64.exe"},
                    KillPoint{"Capabilities", L"SOFTWARE\\Pictarn"},
                    KillPoint{"RegisteredApplications", L"SOFTWARE\\RegisteredApplications"},
                    KillPoint{"Offers", L"offers"}, KillPoint{"FirstValuePutBack", L"value put back"},
                    KillPoint{"MadeKeysRemoved", L"made keys removed"},
                    KillPoint{"MachineValuesPutBack", L"machine's values put back"},
                    KillPoint{"Registration", L"registration"}, KillPoint{"Record", L"record"},
                    KillPoint{"UninstallerMovedOut", L"uninstaller"}, KillPoint{"Folders", L"folders"}),
    [](const testing::TestParamInfo<KillPoint>& point) { return std::string(point.param.label); });

// Only the folder the uninstall entry names is an installation: a copy of the uninstaller in a
// user's folder, or an entry edited to name another folder, removes nothing and says why.
TEST_F(Uninstall, ACopyElsewhereOrAnEditedEntryRemovesNothing)
{
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /group=1 /assoc=1"), exit_code::kInstalled);
    const MachineState installed = Capture();
    TempFolder documents;
    WriteBytes(documents / L"readme.txt", "mine");
    CreateDirectoryW((documents / L"Html").c_str(), nullptr);
    WriteBytes(documents / L"Html\\index.htm", "mine too");
    ASSERT_TRUE(CopyFileW((kFolder + L"\\pt_uninstall.exe").c_str(), (documents / L"pt_uninstall.exe").c_str(), FALSE));
    EXPECT_EQ(RunAndWait(L"\"" + documents / L"pt_uninstall.exe\" /silent /purge", documents.Path()), 1605);
    EXPECT_EQ(TreeListing(documents.Path()).size(), 5u);  // the two files, Html, the copy and its log
    EXPECT_NE(ReadBytes(documents / L"Pictarn_Uninstall.log").find("Nothing was removed: no registered installation"),
              std::string::npos);

    MachineValueOverride location(kUninstallKey, L"InstallLocation");
    location.Set(documents.Path() + L"\\");
    EXPECT_EQ(RunAndWait(L"\"" + kFolder + L"\\pt_uninstall.exe\" /silent", m_start.Path()), 1605);
    EXPECT_NE(UninstallLog().find(ToUtf8(kFolder)), std::string::npos) << UninstallLog();
    location.Set(kFolder + L"\\");
    EXPECT_TRUE(Capture() == installed);

    // Folders at every name the uninstaller once moved itself to (its process number) stop nothing.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (int id = 0; id < 4096; id += 4)
        CreateDirectoryW((std::wstring(temp) + L"pt_uninstall_" + std::to_wstring(id) + L".exe").c_str(), nullptr);
    EXPECT_EQ(RemoveThroughEntry(), kUninstallRemoved) << UninstallLog();
    EXPECT_FALSE(FolderExists(kFolder));
    for (int id = 0; id < 4096; id += 4)
        RemoveDirectoryW((std::wstring(temp) + L"pt_uninstall_" + std::to_wstring(id) + L".exe").c_str());
}

// One installation per build: a second folder is refused, naming the first, which stays whole;
// a copy of the uninstaller started from inside it writes nothing there. The levels above the
// folder that the install made go with it once empty; one somebody put a file in stays.
TEST_F(Uninstall, ASecondFolderIsRefusedAndTheParentsTheInstallMadeGoWithIt)
{
    ClearShellState();
    const MachineState before = Capture();
    const std::wstring parents = L"C:\\PictarnParents";
    const std::wstring nested = parents + L"\\Bildbetrachter\\Nested\\Pictarn";
    RemoveTree(parents);
    ASSERT_EQ(Install(L"/folder=" + nested + L" /group=1 /desktop=1"), exit_code::kInstalled);
    const std::vector<std::wstring> installed = TreeListing(nested);

    EXPECT_EQ(Install(L"/folder=" + kFolder + L" /group=1"), exit_code::kInvalidFolder);
    EXPECT_NE(Log().find("This build of Pictarn is already installed in another folder:"), std::string::npos) << Log();
    EXPECT_NE(Log().find(ToUtf8(nested) + "\\"), std::string::npos) << Log();
    EXPECT_FALSE(FolderExists(kFolder));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation"), nested + L"\\");

    TempFolder documents;
    ASSERT_TRUE(CopyFileW((nested + L"\\pt_uninstall.exe").c_str(), (documents / L"pt_uninstall.exe").c_str(), FALSE));
    EXPECT_EQ(RunAndWait(L"\"" + documents / L"pt_uninstall.exe\" /silent", nested), 1605);
    EXPECT_EQ(TreeListing(nested), installed);

    WriteBytes(parents + L"\\Bildbetrachter\\mine.txt", "mine");
    EXPECT_EQ(RunAndWait(L"\"" + nested + L"\\pt_uninstall.exe\" /silent /purge", m_start.Path()), kUninstallRemoved)
        << UninstallLog();
    EXPECT_FALSE(FolderExists(parents + L"\\Bildbetrachter\\Nested"));
    EXPECT_TRUE(FileExists(parents + L"\\Bildbetrachter\\mine.txt"));
    EXPECT_TRUE(Capture() == before);
    RemoveTree(parents);
}

// A record damaged by hand or by a tool: every readable entry still goes back, nothing is left
// naming a removed ProgID, and the run says it is incomplete.
TEST_F(Uninstall, ADamagedRecordIsWalkedToItsEndAndNothingNamesARemovedProgId)
{
    const wchar_t* kRecord = L"SOFTWARE\\Pictarn Setup\\Replaced";
    const std::vector<std::function<void(HKEY)>> damages = {
        [](HKEY record) {  // an entry too long to read, listed first
            const std::wstring huge(5000, L'x');
            RegSetValueExW(record, L"!oversized", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                           static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
        },
        [](HKEY record) {  // the .jpg entry of another type
            const DWORD number = 1;
            RegSetValueExW(record, L"SOFTWARE\\Classes\\.jpg|", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        },
        [kRecord](HKEY) { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecord, KEY_WOW64_64KEY, 0); },
    };
    WineVersion setupVersion(SetupProgramName(), L"win7");
    for (size_t i = 0; i < damages.size(); ++i) {
        SCOPED_TRACE(i);
        PlantOtherHandlers();
        ASSERT_EQ(Install(L"/folder=" + kFolder + L" /assoc=2"), exit_code::kInstalled);
        HKEY record = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecord, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &record), ERROR_SUCCESS);
        damages[i](record);
        RegCloseKey(record);
        EXPECT_EQ(RemoveThroughEntry(), 5);
        // Without a record nothing can be put back; with one, all that is readable is.
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.gif", nullptr), i < 2 ? L"OtherViewer.gif" : L"<missing>");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg", nullptr), i < 1 ? L"OtherViewer.jpg" : L"<missing>");
        EXPECT_NE(ReadValue(HKEY_CURRENT_USER, kFileExts + L".jpg\\UserChoice", L"Progid"), L"Pictarn.jpg");
        EXPECT_NE(UninstallLog().find(i == 0 ? "Replaced\\!oversized" : "Classes\\.jpg"), std::string::npos) << UninstallLog();
        DeleteFileW((m_start / L"Pictarn_Uninstall.log").c_str());
        ClearShellState();
        RemoveTree(kFolder);
    }
}

// What is held open goes at the next restart, and so does every folder it keeps, deepest first
// and after what is in it; the removal says so (3010) and logs each.
TEST_F(Uninstall, HeldFilesAndFoldersAreScheduledDeepestFirst)
{
    const wchar_t* kPending = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    ASSERT_EQ(Install(L"/folder=" + kFolder), exit_code::kInstalled);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPending, L"PendingFileRenameOperations");
    // A relative settings pointer names no folder the install would have used: /purge leaves it.
    WritePrivateProfileStringW(L"Others", L"INI_Folder", L"Cfg", (kFolder + L"\\" + kSettings).c_str());
    CreateDirectoryW((m_start / L"Cfg").c_str(), nullptr);
    WriteBytes(m_start / (L"Cfg\\" + kSettings), "[Others]");
    HANDLE file = CreateFileW((kFolder + L"\\Plugins\\Icons.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    HANDLE folder = CreateFileW((kFolder + L"\\Languages").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_EQ(RemoveThroughEntry(L" /purge"), 3010) << UninstallLog();
    EXPECT_TRUE(FileExists(m_start / (L"Cfg\\" + kSettings)));
    CloseHandle(file);
    CloseHandle(folder);
    // Each source is followed by an empty target: deleted at the restart.
    std::vector<std::wstring> sources;
    HKEY key = nullptr;
    wchar_t list[8192] = {};
    DWORD bytes = sizeof(list) - 2 * sizeof(wchar_t);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPending, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(list), &bytes);
        RegCloseKey(key);
    }
    for (const wchar_t* at = list; *at; at += wcslen(at) + 1, at += wcslen(at) + 1)
        if (std::wstring(at).find(L"PictarnRemove") != std::wstring::npos)
            sources.push_back(at);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPending, L"PendingFileRenameOperations");
    EXPECT_EQ(sources, (std::vector<std::wstring>{L"\\??\\" + kFolder + L"\\Plugins\\Icons.dll",
                                                  L"\\??\\" + kFolder + L"\\Plugins", L"\\??\\" + kFolder + L"\\Languages",
                                                  L"\\??\\" + kFolder + L"\\"}));
    EXPECT_NE(UninstallLog().find("Removed at the next restart: " + ToUtf8(kFolder) + "\\Plugins\r\n"), std::string::npos)
        << UninstallLog();

    // Windows never removes a network share's files at a restart: what is held there is kept, and said so.
    const std::wstring share = L"N:\\PictarnRemove";
    ASSERT_EQ(Install(L"/folder=" + share), exit_code::kInstalled);
    file = CreateFileW((share + L"\\Plugins\\Icons.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       0, nullptr);
    EXPECT_EQ(RunAndWait(L"\"" + share + L"\\pt_uninstall.exe\" /silent", m_start.Path()), 5) << UninstallLog();
    CloseHandle(file);
    wchar_t pending[8192] = {};
    DWORD pendingBytes = sizeof(pending) - 2 * sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, kPending, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending,
                 &pendingBytes);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPending, L"PendingFileRenameOperations");
    for (const wchar_t* at = pending; *at; at += wcslen(at) + 1)
        EXPECT_EQ(std::wstring(at).find(share), std::wstring::npos) << ToUtf8(at);
    EXPECT_NE(UninstallLog().find("Can't remove: " + ToUtf8(share) + "\\Plugins\\Icons.dll\r\n"), std::string::npos)
        << UninstallLog();
    RemoveTree(share);

    // A shortcut that cannot be deleted is named, with Windows' reason.
    ASSERT_EQ(Install(L"/folder=" + kFolder + L" /desktop=1"), exit_code::kInstalled);
    const std::wstring link = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + (variant::kIs32Bit ? L"Pictarn.lnk" : L"Pictarn 64.lnk");
    SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RemoveThroughEntry(), 5);
    EXPECT_NE(UninstallLog().find("Can't remove: " + ToUtf8(link) + ": Access denied"), std::string::npos) << UninstallLog();
    SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(link.c_str());
}
