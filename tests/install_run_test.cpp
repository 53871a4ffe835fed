// Silent installs by the real setup program: what lands on disk, and the three reported failures.
#include "engine/install_run.h"
#include "model/payload_entries.h"
#include "support/format_rows.h"
#include "support/expected_exit_codes.h"
#include "support/shell_state.h"
#include "support/silent_setup.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kSeparator = std::string(48, '-') + "\r\n";
const std::wstring kSettingsFile = variant::kSettingsFile;
const std::string kCantInstall =
    "Can't install all files!\r\n\r\nPlease close all running Pictarn instances and check your destination "
    "directory for free space or write protection!\r\n\r\n(the installer should be started in ADMIN mode, use "
    "e.g. right mouse button click on installer)";

struct PayloadEntry {
    std::wstring name;  // with backslashes
    uint64_t size;
    uint32_t dosDate;
    bool folder;
};

uint32_t Little(const unsigned char* at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = value << 8 | at[i];
    return value;
}

// The payload as the test program itself carries it (the same resource script as the deliverable),
// listed from its central directory as the ZIP format lays it out (no comment, no ZIP64).
std::vector<PayloadEntry> PayloadEntries(const TempFolder&)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1974), L"ZIP");
    const unsigned char* zip = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    const unsigned char* end = zip + SizeofResource(nullptr, found) - 22;
    std::vector<PayloadEntry> entries;
    const unsigned char* record = zip + Little(end + 16, 4);
    for (uint32_t i = 0; i < Little(end + 10, 2); ++i) {
        const uint32_t nameLength = Little(record + 28, 2);
        std::wstring wide(record + 46, record + 46 + nameLength);
        for (wchar_t& ch : wide)
            ch = ch == L'/' ? L'\\' : ch;
        bool folder = !wide.empty() && wide.back() == L'\\';
        entries.push_back({wide, Little(record + 24, 4), Little(record + 12, 4), folder});
        record += 46 + nameLength + Little(record + 30, 2) + Little(record + 32, 2);
    }
    return entries;
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint32_t LocalDosDate(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    FILETIME local;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    WORD date = 0, time = 0;
    FileTimeToDosDateTime(&local, &date, &time);
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::vector<std::wstring> Listing(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::wstring TempArchive()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + (variant::kIs32Bit ? L"ptpack_x32.zip" : L"ptpack_x64.zip");
}

// Every silent install here starts without an earlier installation registered.
class SilentInstall : public SilentSetupTest {
protected:
    SilentInstall() : m_openCommand(kOpenCommandKey, L"") { m_openCommand.Remove(); }

    MachineValueOverride m_openCommand;
    TempFolder m_target;
};

}  // namespace

TEST_F(SilentInstall, EveryPayloadFileLandsWithItsArchiveDateAndTheSettingsAreUnicode)
{
    std::wstring folder = m_target / L"Pictarn Demo";
    ASSERT_EQ(Install(L"/folder=\"" + folder + L"\" /ini="), exit_code::kInstalled);

    TempFolder work;
    std::vector<PayloadEntry> entries = PayloadEntries(work);
    ASSERT_EQ(static_cast<int>(entries.size()), kStandInEntries);
    // The entry list compiled into the program is the archive's, entry for entry.
    ASSERT_EQ(kPayloadItemCount, static_cast<int>(entries.size()));
    for (int i = 0; i < kPayloadItemCount; ++i)
        EXPECT_EQ(std::wstring(kPayloadItems[i].name) + (kPayloadItems[i].folder ? L"\\" : L""),
                  entries[static_cast<size_t>(i)].name);
    uint64_t total = 0;
    for (const PayloadEntry& entry : entries) {
        std::wstring path = folder + L"\\" + entry.name;
        if (entry.folder) {
            EXPECT_TRUE(FolderExists(path)) << ToUtf8(path);
            continue;
        }
        ASSERT_TRUE(FileExists(path)) << ToUtf8(path);
        EXPECT_EQ(FileSize(path), entry.size) << ToUtf8(path);
        EXPECT_EQ(LocalDosDate(path), entry.dosDate) << ToUtf8(path);
        total += FileSize(path);
    }
    EXPECT_EQ(total, kStandInBytes);

    std::wstring ini = folder + L"\\" + kSettingsFile;
    std::string bytes = ReadBytes(ini);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(text.rfind(L"\xFEFF; UNICODE FILE - edit with care ;-)\r\n", 0), 0u);
    EXPECT_NE(text.find(L"[Language]\r\nDLL=ENGLISH\r\nLang=English\r\n"), std::wstring::npos);
    EXPECT_NE(IniKey(ini, L"Toolbar", L"Skin"), L"<none>");
    EXPECT_NE(IniKey(ini, L"Toolbar", L"Size"), L"<none>");
    EXPECT_EQ(IniKey(ini, L"Others", L"INI_Folder"), L"<none>");

    EXPECT_FALSE(FileExists(LogPath()));  // success logs nothing
    EXPECT_FALSE(FileExists(TempArchive()));
}

TEST_F(SilentInstall, DefaultSettingsFolderIsPerUserAndTheInstallationKeepsThePointer)
{
    wchar_t appData[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    std::wstring userIni = std::wstring(appData) + L"\\Pictarn\\" + kSettingsFile;
    DeleteFileW(userIni.c_str());

    ASSERT_EQ(Install(L"/folder=" + m_target.Path()), exit_code::kInstalled);
    std::string installIni = ReadBytes(m_target / kSettingsFile);
    EXPECT_EQ(installIni, "[Others]\r\nINI_Folder=%APPDATA%\\Pictarn\r\n");  // unexpanded, ANSI
    std::string user = ReadBytes(userIni);
    ASSERT_GE(user.size(), 2u);
    EXPECT_EQ(user.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(IniKey(userIni, L"Language", L"DLL"), L"ENGLISH");
    DeleteFileW(userIni.c_str());
}

TEST_F(SilentInstall, FolderOnAMissingDriveIsReportedWithTheTrimmedFolder)
{
    EXPECT_EQ(Install(L"/folder=  Q:\\No\\Such  /desktop=1"), exit_code::kFolderNotCreated);
    std::string log = Log();
    std::string expected = ": Can't create destination directory!\r\n\r\nPlease check your write permissions and system "
                           "policies!\r\n\r\nTry to create the destination folder manually and restart.: Q:\\No\\Such\\\r\n"
                           + kSeparator;
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(log.substr(log.find(':', log.find(" - ") + 9)), expected) << log;
}

// The longest folder the install takes is what every file needs to stay within 259 characters
// once written beside its place as "<name>.<32 hex>.new": at the limit everything is installed,
// one character more is refused up front, naming the limit, before anything is made.
TEST_F(SilentInstall, TheLongestFolderAtItsLimitInstallsWholeAndOneMoreIsRefusedUpFront)
{
    const std::wstring plain = m_target / L"Plain";
    ASSERT_EQ(Install(L"/folder=" + plain + L" /ini="), exit_code::kInstalled);
    const std::vector<std::wstring> files = TreeListing(plain);
    size_t longest = 0;
    for (const std::wstring& entry : files) {
        const size_t name = entry.back() == L'\\' ? entry.size() - 1 : entry.rfind(L' ');
        if (entry.compare(0, name, std::wstring(variant::kSettingsFile)) != 0)  // the settings file is no payload file
            longest = std::max(longest, name);
    }
    const size_t limit = 259 - 1 - longest - (1 + 32 + 4);
    ClearShellState();  // one installation per build: this one only told the names
    const std::wstring base = m_target / L"L";
    const std::wstring atLimit = base + std::wstring(limit - base.size(), L'x');
    EXPECT_EQ(Install(L"/folder=" + atLimit + L"y /ini="), exit_code::kInvalidFolder);
    EXPECT_NE(Log().find("is too long: " + std::to_string(limit + 1) + " characters, where Pictarn's files allow at most "
                         + std::to_string(limit) + "!"),
              std::string::npos) << Log();
    EXPECT_FALSE(FolderExists(atLimit + L"y"));
    ASSERT_EQ(Install(L"/folder=" + atLimit + L" /ini="), exit_code::kInstalled);
    EXPECT_EQ(TreeListing(atLimit), files);
}

// A program whose payload is not the one it was built with unpacks nothing. (No temporary
// archive is written any more, so an unusable temporary folder changes nothing.)
TEST_F(SilentInstall, ADamagedPayloadLeavesNothingAndLogsFolderFirst)
{
    std::string program = ReadBytes(SetupProgramPath());
    const size_t at = program.find(ReadBytes(BuildFolder() + L"\\payload\\pt_payload.zip"));
    ASSERT_NE(at, std::string::npos);
    program[at + 1000] ^= 1;
    const std::wstring damaged = m_start / SetupProgramName();
    WriteBytes(damaged, program);
    std::wstring folder = m_target / L"Inst";
    {
        ScopedVariable tmp(L"TMP", m_target / L"missing-temp");
        ScopedVariable temp(L"TEMP", m_target / L"missing-temp");
        EXPECT_EQ(RunAndWait(L"\"" + damaged + L"\" /silent /folder=" + folder, m_start.Path()), exit_code::kNotAllInstalled);
        EXPECT_EQ(Install(L"/folder=" + m_target / L"Fine"), exit_code::kInstalled);
    }
    std::string log = Log();
    EXPECT_NE(log.find(": " + ToUtf8(folder) + "\\: " + kCantInstall + "\r\n" + kSeparator), std::string::npos)
        << log;
    // The folders the run made went again with it.
    RemoveTree(m_target / L"Fine");
    EXPECT_TRUE(Listing(m_target.Path()).empty());
}

TEST_F(SilentInstall, FileHeldOpenStopsTheUpdateBeforeAnyFileIsReplacedAndARerunCompletes)
{
    std::wstring folder = m_target / L"Inst";
    ASSERT_EQ(Install(L"/folder=" + folder + L" /ini="), exit_code::kInstalled);
    std::string about = ReadBytes(folder + L"\\pt_about.txt");
    WriteBytes(folder + L"\\pt_about.txt", "");
    HANDLE lock = CreateFileW((folder + L"\\readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    EXPECT_EQ(Install(L"/folder=" + folder + L" /ini="), exit_code::kNotAllInstalled);
    CloseHandle(lock);
    EXPECT_EQ(ReadBytes(folder + L"\\pt_about.txt"), "");  // replaced only together with the held file
    std::string log = Log();
    EXPECT_NE(log.find(ToUtf8(folder) + "\\: " + kCantInstall), std::string::npos) << log;
    EXPECT_NE(log.find("This file could not be written or replaced: " + ToUtf8(folder) + "\\readme.txt ("),
              std::string::npos) << log;
    EXPECT_FALSE(FileExists(folder + L"\\Pictarn_Install.log"));  // the log stays in the start folder

    DeleteFileW(LogPath().c_str());
    EXPECT_EQ(Install(L"/folder=" + folder + L" /ini="), exit_code::kInstalled);
    EXPECT_EQ(ReadBytes(folder + L"\\pt_about.txt"), about);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(SilentInstall, NewerIconsPluginIsKeptAndAnOlderOneOfOursReplaced)
{
    std::wstring folder = m_target / L"Inst";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Plugins").c_str(), nullptr);
    std::wstring icons = folder + L"\\Plugins\\Icons.dll";
    std::string newer = ReadBytes(BuildFolder() + L"\\test_plugins\\v431_zorvan.dll");
    ASSERT_FALSE(newer.empty());
    CopyFileW((BuildFolder() + L"\\test_plugins\\v431_zorvan.dll").c_str(), icons.c_str(), FALSE);
    ASSERT_EQ(Install(L"/folder=" + folder + L" /ini="), exit_code::kInstalled);
    EXPECT_EQ(ReadBytes(icons), newer);

    CopyFileW((BuildFolder() + L"\\test_plugins\\v429_zorvan.dll").c_str(), icons.c_str(), FALSE);
    ASSERT_EQ(Install(L"/folder=" + folder + L" /ini="), exit_code::kInstalled);
    EXPECT_EQ(FileSize(icons), 226816u);
}

// The install run in this process, through a reporter that records instead of showing: the
// question with a "No", and a failure. No window is involved.
TEST_F(SilentInstall, TheRunReportsAndAsksOnlyThroughItsReporter)
{
    struct Recorder : InstallReporter {
        std::vector<std::wstring> said;
        void ReportFailure(const wchar_t* message, const wchar_t* entry) override
        {
            said.push_back(L"failure " + std::wstring(message) + L" | " + entry);
        }
        void ReportNote(const wchar_t* entry) override { said.push_back(L"note " + std::wstring(entry)); }
        bool ConfirmAssociations(const wchar_t* question) override
        {
            said.push_back(L"question " + std::wstring(question));
            return false;
        }
    };
    ClearShellState();
    InstallOptions options;
    wcscpy(options.installFolder, m_target.Path().c_str());
    wcscpy(options.iniFolder, L"%PT_UNDEFINED%\\Cfg");
    options.assocSelection[RowOf(L"JPG/JPEG/JPE")] = 1;
    options.associate = 1;
    Recorder recorder;
    ASSERT_EQ(static_cast<int>(RunInstall(options, recorder)), exit_code::kInstalled);
    // The question comes before anything is written.
    const std::wstring question = L"question You want to change current associations and to associate one or many "
                                  L"file types with Pictarn!\n\nAre you REALLY sure!?";
    EXPECT_EQ(recorder.said, (std::vector<std::wstring>{question,
        L"note Can't use the INI file folder! The settings are kept in the installation folder: %PT_UNDEFINED%\\Cfg"}));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg", nullptr), L"<missing>");
    ClearShellState();

    Recorder failed;
    wcscpy(options.installFolder, L"  Q:\\No\\Such  ");
    ASSERT_EQ(static_cast<int>(RunInstall(options, failed)), exit_code::kFolderNotCreated);
    const std::wstring message = L"Can't create destination directory!\n\nPlease check your write permissions and "
                                 L"system policies!\n\nTry to create the destination folder manually and restart.";
    EXPECT_EQ(failed.said, (std::vector<std::wstring>{question, L"failure " + message + L" | " + message + L": Q:\\No\\Such\\"}));

    // Run as SYSTEM, or by an administrator who is not the signed-in user: nothing lands in the
    // running account's own profile, and the run says so; the machine's parts are all made.
    wchar_t appData[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    const std::wstring ownSettings = std::wstring(appData) + L"\\Pictarn";
    RemoveTree(ownSettings);
    const std::wstring link = variant::kIs32Bit ? L"Pictarn.lnk" : L"Pictarn 64.lnk";
    const std::wstring desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + link;
    TempFolder fresh;
    wcscpy(options.installFolder, fresh.Path().c_str());
    wcscpy(options.iniFolder, L"%APPDATA%\\Pictarn");
    options.groupShortcuts = options.desktopShortcut = options.silent = 1;
    options.forAnotherAccount = 1;
    Recorder another;
    ASSERT_EQ(static_cast<int>(RunInstall(options, another)), exit_code::kInstalled);
    EXPECT_EQ(another.said, (std::vector<std::wstring>{L"note This setup runs as SYSTEM or as an administrator who is "
        L"not the signed-in user: that account's own shortcuts, file type choices and first settings were left out "
        L"(/allusers=1 makes shortcuts for everyone; each user's Pictarn starts with its own settings)"}));
    EXPECT_EQ(ReadBytes(fresh / kSettingsFile), "[Others]\r\nINI_Folder=%APPDATA%\\Pictarn\r\n");
    EXPECT_FALSE(FolderExists(ownSettings));
    EXPECT_FALSE(FileExists(desktopLink));
    EXPECT_FALSE(FolderExists(ProgramGroup(false)));
    // The user's own keys: the explorer choice before Windows 8, the store apps' block from 8 on.
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.jpg\\UserChoice",
                        L"Progid"), L"<missing>");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\AppXvhc4p7vz4b485xfp46hhk3fq3grkdgjg", L"NoOpenWith"),
              L"<missing>");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.jpg", nullptr), L"Pictarn.jpg");
    // Shortcuts for everyone are nobody's own: they are made.
    options.allUsers = 1;
    ASSERT_EQ(static_cast<int>(RunInstall(options, another)), exit_code::kInstalled);
    EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + link));
    ClearShellState();
}
