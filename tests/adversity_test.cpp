// Silent installs under adversity: read-only files, a stale temporary archive, runs killed
// half-way, and repeated installs. Each ends in a known state or reports its failure.
#include "framework/handles.h"
#include "support/expected_exit_codes.h"
#include "support/shell_state.h"
#include "support/silent_setup.h"
#include "support/other_payload.h"
#include "support/test_support.h"
#include "support/zip_writer.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::wstring kFolder = L"C:\\PictarnTrust";
const std::wstring kAllSwitches = L" /group=1 /desktop=1 /thumbs=1 /assoc=2";

class Adversity : public SilentSetupTest {
protected:
    CleanInstallState m_clean{kFolder};
    // Into the fixture's folder, with every switch unless told otherwise.
    int Install(const std::wstring& switches = kAllSwitches)
    {
        return SilentSetupTest::Install(L"/folder=" + kFolder + switches);
    }
    std::wstring TempArchive() const { return m_temp.Path() + L"\\" + (variant::kIs32Bit ? L"ptpack_x32.zip" : L"ptpack_x64.zip"); }

    // What a complete install leaves, to compare a later state against.
    struct State {
        std::vector<std::wstring> files;
        RegistrySnapshot registry;
        bool operator==(const State& other) const { return files == other.files && registry == other.registry; }
    };
    State Capture() const { return {TreeListing(kFolder), SnapshotShellState()}; }

    TempFolder m_temp;
    // The setup program's temporary folder is one the test controls.
    ScopedVariable m_tmp{L"TMP", m_temp.Path()};
    ScopedVariable m_tempVariable{L"TEMP", m_temp.Path()};
};

// Starts the setup program and kills it as soon as `reached` says so (or after 60 s).
template <typename Condition>
bool KillWhen(const std::wstring& arguments, const std::wstring& startFolder, Condition reached)
{
    std::wstring line = L"\"" + SetupProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, startFolder.c_str(), &startup,
                        &process))
        return false;
    bool killed = false;
    for (int i = 0; i < 6000 && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; ++i) {
        if (reached()) {
            killed = TerminateProcess(process.hProcess, 9) != FALSE;
            break;
        }
        Sleep(10);
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return killed;
}

}  // namespace

TEST_F(Adversity, ThreeInstallsInARowLeaveTheSameState)
{
    // The settings folder is named: without "/ini=" a later run into a folder of the user's
    // choice finds the earlier installation and keeps the settings in that folder instead.
    const std::wstring switches = kAllSwitches + L" /ini=%APPDATA%\\Pictarn";
    ASSERT_EQ(Install(switches), exit_code::kInstalled);
    const State first = Capture();
    ASSERT_FALSE(first.files.empty());
    for (int run = 2; run <= 3; ++run) {
        SCOPED_TRACE(run);
        ASSERT_EQ(Install(switches), exit_code::kInstalled);
        EXPECT_TRUE(Capture() == first);
    }
    EXPECT_FALSE(FileExists(TempArchive()));
}

TEST_F(Adversity, ReadOnlyProductFileIsReportedTheRestUpdatedAndARerunCompletes)
{
    ASSERT_EQ(Install(), exit_code::kInstalled);
    const std::wstring readOnly = kFolder + L"\\readme.txt", other = kFolder + L"\\pt_about.txt";
    const std::string about = ReadBytes(other);
    WriteBytes(other, "changed");
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine run by root writes read-only files anyway; then the install simply completes.
    HANDLE probe = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool writable = probe != INVALID_HANDLE_VALUE;
    if (writable)
        CloseHandle(probe);

    EXPECT_EQ(Install(), writable ? exit_code::kInstalled : exit_code::kNotAllInstalled);
    EXPECT_EQ(ReadBytes(other), about) << "the files after the read-only one were still unpacked";
    EXPECT_EQ(Log().find("Can't install all files!") != std::string::npos, !writable);

    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(LogPath().c_str());
    EXPECT_EQ(Install(), exit_code::kInstalled);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(Adversity, SomethingAlreadyAtTheTemporaryArchiveNeverGetsUnpacked)
{
    // A foreign archive where ours is written: it must never be unpacked instead of ours.
    const std::string foreign = MakeZip({{"planted.txt", "not ours"}});
    struct Case {
        const char* label;
    };
    for (const Case& c : {Case{"read-only file"}, Case{"folder"}, Case{"held open"}}) {
        SCOPED_TRACE(c.label);
        RemoveTree(kFolder);
        DeleteFileW(LogPath().c_str());
        SetFileAttributesW(TempArchive().c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(TempArchive());
        DeleteFileW(TempArchive().c_str());
        HANDLE held = INVALID_HANDLE_VALUE;
        if (std::string(c.label) == "folder") {
            ASSERT_TRUE(CreateDirectoryW(TempArchive().c_str(), nullptr));
        } else {
            WriteBytes(TempArchive(), foreign);
            if (std::string(c.label) == "read-only file")
                SetFileAttributesW(TempArchive().c_str(), FILE_ATTRIBUTE_READONLY);
            else
                held = CreateFileW(TempArchive().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        const int result = Install(L" /assoc=0");
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        // Either the failure is reported, or our own payload was installed completely.
        EXPECT_FALSE(FileExists(kFolder + L"\\planted.txt"));
        ASSERT_TRUE(result == exit_code::kInstalled || result == exit_code::kNotAllInstalled) << result;
        if (result == exit_code::kNotAllInstalled) {
            EXPECT_NE(Log().find("Can't install all files!"), std::string::npos);
        } else {
            EXPECT_TRUE(FileExists(kFolder + L"\\" + variant::kMainProgram));
        }
        std::printf("temporary archive already there as %s: exit %d\n", c.label, result);
    }
    SetFileAttributesW(TempArchive().c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(TempArchive());
    DeleteFileW(TempArchive().c_str());
}

TEST_F(Adversity, RunsKilledHalfWayAreMendedByTheNextRun)
{
    ASSERT_EQ(Install(), exit_code::kInstalled);
    const State clean = Capture();
    // A run that finds an installation keeps the settings in the product folder.
    ASSERT_EQ(Install(), exit_code::kInstalled);
    const State reinstalled = Capture();

    struct Point {
        const char* label;
        bool (*reached)();
        const State& mended;  // what the next run leaves
    };
    const Point points[] = {
        // Unpacking has begun: the first files are there, the last not yet.
        {"unpacking", [] { return FileExists(kFolder + L"\\Plugins\\Icons.dll") || FolderExists(kFolder + L"\\Languages"); },
         clean},
        // Registration has begun: the product's open command is there, so the next run finds it.
        {"registration",
         [] { return ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command", nullptr) != L"<missing>"; },
         reinstalled},
    };
    for (const Point& point : points) {
        SCOPED_TRACE(point.label);
        ClearShellState();
        RemoveTree(kFolder);
        const bool killed = KillWhen(L"/silent /folder=" + kFolder + kAllSwitches, m_start.Path(), point.reached);
        if (!killed)
            std::printf("note: the run ended before the kill at %s\n", point.label);
        ASSERT_EQ(Install(), exit_code::kInstalled);
        const State mended = Capture();
        EXPECT_EQ(mended.files, point.mended.files);  // names and sizes, a half-written file among them
        EXPECT_TRUE(mended.registry == point.mended.registry);
        EXPECT_FALSE(FileExists(TempArchive()));
    }

    // A run killed while writing the plug-in leaves at most its temporary copy, never a cut
    // Icons.dll (one of ours with the reference version but the wrong size would be kept).
    const std::wstring plugin = kFolder + L"\\Plugins\\Icons.dll";
    const std::string whole = ReadBytes(plugin);
    ASSERT_GT(whole.size(), 20000u);
    DeleteFileW(plugin.c_str());
    WriteBytes(plugin + L".partial", whole.substr(0, 20000));
    ASSERT_EQ(Install(), exit_code::kInstalled);
    EXPECT_EQ(ReadBytes(plugin), whole);
    EXPECT_FALSE(FileExists(plugin + L".partial"));
}

// A folder a user prepared, holding open a file where an unpacked file's temporary copy used to
// be written (to write their own program through it later) and a second name of a file outside
// the installation at another: neither is written through, and what is installed is ours alone.
TEST_F(Adversity, FilesPlantedInAPreparedFolderAreNeverWrittenThrough)
{
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
    KernelHandle held(CreateFileW((kFolder + L"\\pt_uninstall.exe.partial").c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    TempFolder outside;
    const std::wstring system = outside / L"system.txt";
    WriteBytes(system, "a file outside the installation");
    ASSERT_TRUE(CreateHardLinkW((kFolder + L"\\readme.txt.partial").c_str(), system.c_str(), nullptr));
    std::vector<ZipEntry> payload = BuiltPayloadEntries(0);

    EXPECT_EQ(Install(), exit_code::kInstalled) << Log();
    DWORD written = 0;
    const char planted[] = "MZ the user's own program";
    SetFilePointer(held.Get(), 0, nullptr, FILE_BEGIN);
    WriteFile(held.Get(), planted, sizeof(planted), &written, nullptr);
    held.Reset();
    EXPECT_EQ(ReadBytes(kFolder + L"\\pt_uninstall.exe"), EntryNamed(payload, "pt_uninstall.exe").data);
    EXPECT_EQ(ReadBytes(kFolder + L"\\readme.txt"), EntryNamed(payload, "readme.txt").data);
    EXPECT_EQ(ReadBytes(system), "a file outside the installation");
}

// Things in the way of four targets: each is logged once with its reason, the run goes on with the
// rest and ends with "not everything could be installed".
TEST_F(Adversity, BlockedTargetsAreLoggedOnceEachAndTheRestIsInstalled)
{
    const std::wstring programs = SpecialFolder(CSIDL_PROGRAMS), desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    const std::wstring link = desktop + (variant::kIs32Bit ? L"Pictarn.lnk" : L"Pictarn 64.lnk");
    const std::wstring ini = kFolder + (variant::kIs32Bit ? L"\\pt_main32.ini" : L"\\pt_main64.ini");
    const std::wstring cfg = L"C:\\PtBlockedCfg";
    WriteBytes(programs + L"Pictarn", "a file where the group goes");
    ASSERT_TRUE(CreateDirectoryW(link.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(ini.c_str(), nullptr));
    // A volatile key takes no lasting sub-key: the Default Programs list cannot be made below it.
    HKEY capabilities = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn", &capabilities), ERROR_SUCCESS);  // a lasting parent
    RegCloseKey(capabilities);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\Capabilities", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &capabilities, nullptr), ERROR_SUCCESS);
    RegCloseKey(capabilities);

    EXPECT_EQ(Install(L" /group=1 /desktop=1 /thumbs=1 /ini=" + cfg), exit_code::kNotAllInstalled);
    const std::string log = Log();
    const std::string lines[] = {
        "Can't create the program group: " + ToUtf8(programs) + "Pictarn\\: ",
        "Can't create the shortcut: " + ToUtf8(link) + ": ",
        "Can't write the settings file: " + ToUtf8(ini) + ": ",
        "Can't write the registry key: HKEY_LOCAL_MACHINE\\SOFTWARE\\Pictarn\\Capabilities\\FileAssociations: "};
    size_t entries = 0;
    for (size_t at = log.find("\r\n---"); at != std::string::npos; at = log.find("\r\n---", at + 1))
        ++entries;
    EXPECT_EQ(entries, std::size(lines)) << log;
    for (const std::string& line : lines) {
        const size_t at = log.find(line);
        EXPECT_NE(at, std::string::npos) << line << "\n" << log;
        EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "once: " << line;
        EXPECT_GT(log.find("\r\n", at) - at, line.size() + 5) << "with the reason: " << line;
    }
    // The rest is there: the product, its settings, the other desktop link, the uninstall entry.
    EXPECT_TRUE(FileExists(kFolder + L"\\" + variant::kMainProgram));
    EXPECT_TRUE(FileExists(cfg + (variant::kIs32Bit ? L"\\pt_main32.ini" : L"\\pt_main64.ini")));
    EXPECT_TRUE(FileExists(desktop + (variant::kIs32Bit ? L"Pictarn Thumbnails.lnk" : L"Pictarn 64 Thumbnails.lnk")));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation"), kFolder + L"\\");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.png", nullptr), L"Pictarn.png");
    // The detection rule (DisplayVersion is this version) says "not installed", so the next
    // scheduled run tries again; once the cause is gone it completes and says so.
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayVersion"), L"<missing>");
    DeleteFileW((programs + L"Pictarn").c_str());
    RemoveDirectoryW(link.c_str());
    RemoveDirectoryW(ini.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\Capabilities");
    EXPECT_EQ(Install(L" /group=1 /desktop=1 /thumbs=1 /ini=" + cfg), exit_code::kInstalled) << Log();
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayVersion"), L"4.58");
    RemoveTree(cfg);
}

TEST_F(Adversity, UnusualFolderNamesInstallCompletelyOrFailAsDocumented)
{
    const std::wstring names[] = {L"C:\\\x041F\x0438\x043A\x0442\x0430\x0440\x043D \x0422\x0435\x0441\x0442",
                                  L"C:\\\x753B\x50CF \x30C6\x30B9\x30C8", L"C:\\Caf\xE9 Pictarn \xC5ngstr\xF6m"};
    for (const std::wstring& folder : names) {
        SCOPED_TRACE(ToUtf8(folder));
        ClearShellState();
        // Blanks at both ends are no part of the folder.
        ASSERT_EQ(RunSetup(L"/silent /group=1 /assoc=1 /ini=" + folder + L"\\Settings /folder=  " + folder + L"  ",
                           m_start.Path()),
                  exit_code::kInstalled);
        EXPECT_TRUE(FileExists(folder + L"\\" + variant::kMainProgram));
        EXPECT_TRUE(FileExists(folder + L"\\Settings\\" + variant::kSettingsFile));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation"), folder + L"\\");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn.jpg\\DefaultIcon", nullptr),
                  folder + L"\\" + variant::kMainProgram + L",0");
        EXPECT_EQ(ReadShortcut(ProgramGroup(false) + L"Pictarn - Thumbnails.lnk").iconPath,
                  folder + L"\\" + variant::kMainProgram);
        RemoveTree(folder);
    }

    // Long folders: an install, or a reported failure; never a cut path in the registry.
    for (size_t length : {200u, 259u, 260u, 300u, 519u, 520u}) {
        SCOPED_TRACE(length);
        ClearShellState();
        DeleteFileW(LogPath().c_str());
        std::wstring folder = L"C:\\Long";
        while (folder.size() < length)
            folder += folder.size() % 60 == 59 ? L'\\' : L'x';
        folder.resize(length);
        if (folder.back() == L'\\')
            folder.back() = L'y';
        const int result = RunSetup(L"/silent /folder=" + folder, m_start.Path());
        const std::wstring location = ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation");
        std::printf("folder of %zu characters: exit %d, registered %s\n", length, result,
                    location == L"<missing>" ? "nothing" : "its folder");
        if (result == exit_code::kInstalled) {
            EXPECT_EQ(location, folder + L"\\");
        } else {
            EXPECT_EQ(location, L"<missing>");
            EXPECT_FALSE(Log().empty()) << "a failure is logged";
        }
        RemoveTree(L"C:\\Long");
    }

    // Long settings folders: the folder as given, or none when the settings file's path would pass
    // the Windows limit or the switch reader would cut the folder.
    for (size_t length : {200u, 245u, 246u, 256u, 300u}) {
        SCOPED_TRACE(length);
        std::wstring ini = L"C:\\LongIni\\";
        ini += std::wstring(length - ini.size(), L'i');
        ASSERT_EQ(Install(L" /ini=" + ini), exit_code::kInstalled);
        const std::wstring pointer = IniKey(kFolder + L"\\" + variant::kSettingsFile, L"Others", L"INI_Folder");
        EXPECT_EQ(pointer, length <= 245 ? ini : L"<none>");
        if (length == 200) {
            EXPECT_TRUE(FileExists(ini + L"\\" + variant::kSettingsFile));
        }
        RemoveTree(L"C:\\LongIni");
    }

    // Relative folders are meant from the start directory: installed there and registered in full.
    const std::wstring start = m_start.Path();
    const std::wstring parent = start.substr(0, start.rfind(L'\\'));
    const std::pair<std::wstring, std::wstring> relative[] = {{L"Apps\\Pictarn", start + L"\\Apps\\Pictarn"},
                                                              {L"..\\Up\\Pictarn", parent + L"\\Up\\Pictarn"},
                                                              {L"C:Apps", start + L"\\Apps"},
                                                              {L"\\PictarnRooted", L"C:\\PictarnRooted"}};
    for (const auto& [given, folder] : relative) {
        SCOPED_TRACE(ToUtf8(given));
        ClearShellState();
        ASSERT_EQ(RunSetup(L"/silent /group=1 /folder=" + given, start), exit_code::kInstalled);
        const std::wstring program = folder + L"\\" + variant::kMainProgram;
        EXPECT_TRUE(FileExists(program));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation"), folder + L"\\");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"UninstallString"),
                  L"\"" + folder + L"\\pt_uninstall.exe\"");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayIcon"), program + L",0");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command", nullptr),
                  L"\"" + program + L"\" \"%1\"");
        EXPECT_EQ(ReadShortcut(ProgramGroup(false) + L"Pictarn - Thumbnails.lnk").target, program);
        EXPECT_EQ(IniKey(folder + L"\\" + variant::kSettingsFile, L"Others", L"INI_Folder"), L"%APPDATA%\\Pictarn");
        RemoveTree(folder);
    }

    // Settings folders that name no usable folder: the settings stay in the installation folder,
    // with no pointer, and the log says what became of the value.
    for (const wchar_t* ini : {L"%PT_UNDEFINED%\\Cfg", L"rel\\cfg", L"%PT_UNDEFINED%", L"Q:\\NoSuchDrive"}) {
        SCOPED_TRACE(ToUtf8(ini));
        DeleteFileW(LogPath().c_str());
        ASSERT_EQ(Install(std::wstring(L" /ini=") + ini), exit_code::kInstalled);
        const std::wstring settings = kFolder + L"\\" + variant::kSettingsFile;
        EXPECT_EQ(IniKey(settings, L"Others", L"INI_Folder"), L"<none>");
        EXPECT_EQ(IniKey(settings, L"Language", L"Lang"), L"English");
        EXPECT_EQ(ReadBytes(settings).substr(0, 2), "\xFF\xFE");
        EXPECT_FALSE(FolderExists(L"C:\\Cfg"));
        EXPECT_FALSE(FolderExists(m_start / L"rel"));
        EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_WINDOWS) + variant::kSettingsFile));
        EXPECT_NE(Log().find(": " + ToUtf8(ini) + "\r\n"), std::string::npos) << Log();
    }
}

TEST_F(Adversity, AFullDiskStopsTheInstallWithItsReportAndKeepsTheLog)
{
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(L"T:\\", &freeBytes, nullptr, nullptr))
        GTEST_SKIP() << "no small drive T: (the test script maps one where it may mount a tmpfs)";
    ASSERT_LT(freeBytes.QuadPart, static_cast<ULONGLONG>(kStandInBytes));
    const std::string earlier = "an earlier entry\r\n";
    WriteBytes(LogPath(), earlier);

    EXPECT_EQ(RunSetup(L"/silent /folder=T:\\Pictarn /ini=", m_start.Path()), exit_code::kNotAllInstalled);
    const std::string log = Log();
    EXPECT_EQ(log.substr(0, earlier.size()), earlier) << "the log is appended to, not rewritten";
    EXPECT_NE(log.find("T:\\Pictarn\\: Can't install all files!"), std::string::npos) << log;
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation"), L"<missing>");
    EXPECT_FALSE(FolderExists(L"T:\\Pictarn")) << "no empty folders are left behind";
    RemoveTree(L"T:\\Pictarn");
}

namespace {

std::wstring ReadViewValue(REGSAM view, const wchar_t* key, const wchar_t* name)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t value[600] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    const bool read = RegQueryValueExW(opened, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                      ERROR_SUCCESS;
    RegCloseKey(opened);
    return read ? value : L"<missing>";
}

}  // namespace

TEST_F(Adversity, TheOtherBuildIgnoresThisInstallationAndBothEntriesStayInTheirViews)
{
    const bool is32 = variant::kIs32Bit;
    const std::wstring other = BuildFolder() + (is32 ? L"\\..\\x64\\" : L"\\..\\x86\\") + SetupProgramName(true);
    ASSERT_TRUE(FileExists(other));
    const REGSAM ownView = is32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const REGSAM otherView = is32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const wchar_t* ownKey = variant::kUninstallKey;
    const wchar_t* otherKey = is32 ? L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64"
                                   : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn";
    const wchar_t* otherProgram = is32 ? L"pt_main64.exe" : L"pt_main32.exe";

    ASSERT_EQ(Install(L" /assoc=0"), exit_code::kInstalled);
    // Started without a folder, the other build does not take this installation for its own.
    ASSERT_EQ(RunAndWait(L"\"" + other + L"\" /silent /assoc=0 /ini=", m_start.Path()), exit_code::kInstalled);
    const std::wstring otherFolder = ReadViewValue(otherView, otherKey, L"InstallLocation");
    EXPECT_NE(otherFolder, L"<missing>");
    EXPECT_NE(otherFolder, kFolder + L"\\");
    EXPECT_FALSE(FileExists(kFolder + L"\\" + otherProgram));
    EXPECT_EQ(ReadViewValue(ownView, ownKey, L"InstallLocation"), kFolder + L"\\");
    EXPECT_EQ(ReadViewValue(otherView, ownKey, L"InstallLocation"), L"<missing>");
    EXPECT_EQ(ReadViewValue(ownView, otherKey, L"InstallLocation"), L"<missing>");

    // And the other way round: this build started without a folder does not go into the other's.
    RemoveTree(kFolder);
    ClearShellState();
    ASSERT_EQ(RunSetup(L"/silent /assoc=0 /ini=", m_start.Path()), exit_code::kInstalled);
    const std::wstring ownFolder = ReadViewValue(ownView, ownKey, L"InstallLocation");
    EXPECT_NE(ownFolder, otherFolder);
    EXPECT_EQ(ReadViewValue(otherView, otherKey, L"InstallLocation"), otherFolder);

    // Both removed as a user would, so that nothing of the other build's registration is left
    // behind for later tests to find (a class it wrote counts as a product still in use).
    for (const std::wstring& folder : {otherFolder, ownFolder})
        EXPECT_EQ(RunAndWait(L"\"" + folder + L"pt_uninstall.exe\" /silent /purge", m_start.Path()), 0) << ToUtf8(folder);
    if (otherFolder.size() > 3)
        RemoveTree(otherFolder.substr(0, otherFolder.size() - 1));
    if (ownFolder.size() > 3)
        RemoveTree(ownFolder.substr(0, ownFolder.size() - 1));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, otherKey, otherView, 0);
}

// Started from a folder the user can write, the program's file is renamed away while it runs
// and a copy carrying another payload put in its place: what is unpacked is still its own.
TEST_F(Adversity, AProgramFileSwappedWhileItRunsNeverInstallsAnotherPayload)
{
    ASSERT_EQ(Install(L" /assoc=0"), exit_code::kInstalled);
    const std::vector<std::wstring> ours = TreeListing(kFolder);
    RemoveTree(kFolder);
    ClearShellState();
    std::string planted = ReadBytes(SetupProgramPath());
    const std::string payload = ReadBytes(BuildFolder() + L"\\payload\\pt_payload.zip");
    const size_t at = planted.find(payload);
    ASSERT_NE(at, std::string::npos);
    // The same length at the same place; the archive reader skips what comes before an archive.
    const std::string other = MakeZip({{"planted.txt", "not ours"}, {variant::kIs32Bit ? "pt_main32.exe" : "pt_main64.exe", "x"}});
    planted.replace(at, payload.size(), std::string(payload.size() - other.size(), 'P') + other);
    const std::wstring program = m_start / SetupProgramName();
    ASSERT_TRUE(CopyFileW(SetupProgramPath().c_str(), program.c_str(), FALSE));
    std::wstring line = L"\"" + program + L"\" /silent /folder=" + kFolder + L" /assoc=0";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, m_start.Path().c_str(),
                               &startup, &process));
    EXPECT_TRUE(MoveFileW(program.c_str(), (program + L".old").c_str()));
    WriteBytes(program, planted);
    DWORD result = 99;
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &result);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_FALSE(FileExists(kFolder + L"\\planted.txt"));
    EXPECT_EQ(result, 0u) << Log();
    EXPECT_EQ(TreeListing(kFolder), ours);  // names and sizes
}

// Outside the program-files folders an elevated install gives the installation folder, and a
// payload folder a user made before, a protected access list of their own.
TEST_F(Adversity, FoldersOutsideProgramFilesGetAProtectedAccessList)
{
    auto entries = [](const std::wstring& folder) {
        PACL acl = nullptr;
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        std::vector<std::wstring> found;
        if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                                  &owner, nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
            return found;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        found.push_back(control & SE_DACL_PROTECTED ? L"protected" : L"inherits");
        for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            wchar_t* sid = nullptr;
            GetAce(acl, i, reinterpret_cast<void**>(&ace));
            ConvertSidToStringSidW(&ace->SidStart, &sid);
            found.push_back(std::wstring(sid) + L" " + std::to_wstring(ace->Mask) + L" " + std::to_wstring(ace->Header.AceFlags));
            LocalFree(sid);
        }
        LocalFree(descriptor);
        return found;
    };
    // SYSTEM and the Administrators full control, Users read and execute; folders and files inherit.
    const std::vector<std::wstring> expected = {L"protected", L"S-1-5-18 2032127 3", L"S-1-5-32-544 2032127 3",
                                                L"S-1-5-32-545 1179817 3"};
    // A folder a user made, open to everybody.
    CreateDirectoryW(kFolder.c_str(), nullptr);
    SECURITY_ATTRIBUTES everyone{sizeof(everyone), nullptr, FALSE};
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &everyone.lpSecurityDescriptor, nullptr);
    ASSERT_TRUE(CreateDirectoryW((kFolder + L"\\Plugins").c_str(), &everyone));
    LocalFree(everyone.lpSecurityDescriptor);
    if (entries(kFolder + L"\\Plugins") != std::vector<std::wstring>{L"protected", L"S-1-1-0 2032127 3"})
        GTEST_SKIP() << "this Wine keeps no access list for files: it answers one made from the Unix mode";
    ASSERT_EQ(Install(L" /ini=C:\\PtSharedSettings\\Pictarn"), exit_code::kInstalled);
    EXPECT_EQ(entries(kFolder), expected);
    EXPECT_EQ(entries(kFolder + L"\\Plugins"), expected);
    // A settings folder the setup made: Users may write settings but not delete or re-permit them.
    EXPECT_EQ(entries(L"C:\\PtSharedSettings"),
              (std::vector<std::wstring>{L"protected", L"S-1-5-18 2032127 3", L"S-1-5-32-544 2032127 3",
                                         L"S-1-5-32-545 1180095 3", L"S-1-3-4 1180095 3"}));
    RemoveTree(L"C:\\PtSharedSettings");
}
