// Folder defaults against registry contents the test writes, and the blank-trimming rule.
#include "framework/folder_access.h"
#include "framework/path.h"
#include "wizard/browse_folder.h"
#include "model/install_folder.h"
#include "model/install_options.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

namespace {

constexpr wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const std::wstring kOwnProgram = variant::kIs32Bit ? L"pt_main32.exe" : L"pt_main64.exe";
const std::wstring kOtherProgram = variant::kIs32Bit ? L"pt_main64.exe" : L"pt_main32.exe";

std::wstring Earlier()
{
    wchar_t out[kFolderBufferSize];
    int found = FindEarlierInstallation(out, kFolderBufferSize);
    return found ? std::wstring(out) : L"<none:" + std::wstring(out) + L">";
}

std::wstring Default()
{
    wchar_t out[kFolderBufferSize];
    EXPECT_EQ(DefaultInstallFolder(out, kFolderBufferSize), 1);
    return out;
}

std::wstring Trimmed(std::wstring path)
{
    std::wstring buffer = path;
    buffer.resize(path.size() + 1);
    TrimSpaces(buffer.data());
    return buffer.c_str();
}

}  // namespace

TEST(InstallFolder, EarlierInstallationComesFromTheQuotedOpenCommandOfThisBuild)
{
    MachineValueOverride command(kOpenCommandKey, L"");
    command.Set(L"\"C:\\Apps\\Pictarn\\" + kOwnProgram + L"\" \"%1\"");
    EXPECT_EQ(Earlier(), L"C:\\Apps\\Pictarn\\");

    command.Set(L"\"C:\\Apps\\Pictarn\\" + kOtherProgram + L"\" \"%1\"");
    EXPECT_EQ(Earlier(), L"<none:>");

    std::wstring upper = kOwnProgram;
    for (wchar_t& ch : upper)
        ch = towupper(ch);
    command.Set(L"\"C:\\Apps\\Pictarn\\" + upper + L"\" \"%1\"");
    EXPECT_EQ(Earlier(), L"<none:>");

    // 129 characters fit the 260-byte limit, 130 do not.
    std::wstring head = L"\"C:\\";
    std::wstring tail = L"\\" + kOwnProgram + L"\"";
    command.Set(head + std::wstring(129 - head.size() - tail.size(), L'd') + tail);
    EXPECT_EQ(Earlier(), L"C:\\" + std::wstring(129 - head.size() - tail.size(), L'd') + L"\\");
    command.Set(head + std::wstring(130 - head.size() - tail.size(), L'd') + tail);
    EXPECT_EQ(Earlier(), L"<none:>");

    // The first character is skipped whatever it is; the path then runs to the end.
    command.Set(L"XD:\\Tools\\" + kOwnProgram);
    EXPECT_EQ(Earlier(), L"D:\\Tools\\");

    command.Set(L"");
    EXPECT_EQ(Earlier(), L"<none:>");
    command.Remove();
    EXPECT_EQ(Earlier(), L"<none:>");
}

TEST(InstallFolder, DefaultFolderIsTheProgramFilesFolderOrTheFallback)
{
    MachineValueOverride programFiles(kCurrentVersionKey, L"ProgramFilesDir");
    programFiles.Set(L"D:\\Programs");
    EXPECT_EQ(Default(), L"D:\\Programs\\Pictarn");
    programFiles.Set(L"D:\\Programs\\");
    EXPECT_EQ(Default(), L"D:\\Programs\\Pictarn");
    programFiles.Set(L"D:\\" + std::wstring(127, L'p'));  // 130 characters: too long to be read
    EXPECT_EQ(Default(), L"C:\\Pictarn\\");
    programFiles.Remove();
    EXPECT_EQ(Default(), L"C:\\Pictarn\\");
}

TEST(InstallFolder, SilentDefaultsFollowTheEarlierInstallation)
{
    MachineValueOverride command(kOpenCommandKey, L"");
    command.Remove();
    InstallOptions fresh;
    BuildSilentOptions(L"setup.exe /silent", fresh);
    EXPECT_EQ(std::wstring(fresh.installFolder), Default());
    EXPECT_STREQ(fresh.iniFolder, L"%APPDATA%\\Pictarn");
    EXPECT_STREQ(fresh.caption, variant::kIs32Bit ? L"Pictarn 32-bit Setup" : L"Pictarn 64-bit Setup");
    EXPECT_EQ(fresh.silent, 1);
    EXPECT_EQ(fresh.groupShortcuts + fresh.desktopShortcut + fresh.thumbsShortcut + fresh.allUsers, 0);
    EXPECT_EQ(fresh.associate, 0);

    command.Set(L"\"E:\\Old Place\\" + kOwnProgram + L"\" \"%1\"");
    InstallOptions update;
    BuildSilentOptions(L"setup.exe /silent /desktop=1", update);
    EXPECT_STREQ(update.installFolder, L"E:\\Old Place\\");
    EXPECT_STREQ(update.iniFolder, L"");
    EXPECT_EQ(update.desktopShortcut, 1);

    InstallOptions overridden;
    BuildSilentOptions(L"setup.exe /silent /folder=F:\\New /ini=%TEMP%\\x", overridden);
    EXPECT_STREQ(overridden.installFolder, L"F:\\New");
    EXPECT_STREQ(overridden.iniFolder, L"%TEMP%\\x");
}

TEST(InstallFolder, TrimSpacesRemovesBlanksButNotTabs)
{
    EXPECT_EQ(Trimmed(L"  C:\\A B  "), L"C:\\A B");
    EXPECT_EQ(Trimmed(L"\tC:\\A\t "), L"\tC:\\A\t");
    EXPECT_EQ(Trimmed(L"    "), L"");
    std::wstring longPath = L" " + std::wstring(259, L'x') + L"  ";
    EXPECT_EQ(Trimmed(longPath), L" " + std::wstring(259, L'x'));  // 260 characters: leading blank kept
    std::wstring shorter = L" " + std::wstring(258, L'x') + L"  ";
    EXPECT_EQ(Trimmed(shorter), std::wstring(258, L'x'));
}

TEST(InstallFolder, BrowseResultGetsItsOwnProductFolder)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"D:\\Tools", L"D:\\Tools\\Pictarn\\"},        {L"D:\\", L"D:\\Pictarn\\"},
        {L"D:\\Tools\\PICTARN", L"D:\\Tools\\PICTARN\\"}, {L"D:\\pictarn\\", L"D:\\pictarn\\"},
        {L"D:\\Tools\\Pictarn2\\", L"D:\\Tools\\Pictarn2\\Pictarn\\"}};
    for (const auto& [picked, expected] : cases) {
        wchar_t path[MAX_PATH];
        wcscpy_s(path, picked);
        ApplyProductFolderRule(path, MAX_PATH);
        EXPECT_STREQ(path, expected) << ToUtf8(picked);
    }
}

// Whom a folder's rights let change it decides whether an elevated run installs there; whom a file
// belongs to, whether an installed plug-in is kept and a log appended to. Wine keeps no access
// lists for files, so the decisions are tried on descriptors as Windows gives them.
TEST(FolderRights, OnlyWhatAdministratorsAloneCanChangeIsUsedElevated)
{
    struct Case {
        const char* label;
        const wchar_t* descriptor;
        bool usable;
        bool ownedByAdministrators;  // what decides whether a plug-in or a log there is ours
        bool aboveAnother;           // usable as a level above the folder used
        bool setupsSettingsList;     // the list the setup gives a settings folder it makes
    };
    const wchar_t* installer = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::wstring programFiles = std::wstring(L"O:") + installer + L"D:P(A;;FA;;;" + installer +
                                      L")(A;OICIIO;GA;;;CO)(A;;0x1301bf;;;SY)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)";
    // Users may read, write and make files there, never delete, rename or re-permit them.
    const wchar_t* settings = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;BU)(A;OICI;0x1201bf;;;OW)";
    const Case cases[] = {
        {"as the setup protects one", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", true, true, true, false},
        {"the program-files folder", programFiles.c_str(), true, true, true, false},
        // Windows' ProgramData: users may make folders and files there, but move nothing of others.
        {"ProgramData", L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x100116;;;BU)",
         false, true, true, false},
        {"as the setup makes a settings folder", settings, false, true, true, true},
        {"a settings list owned by a user", L"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;BU)(A;OICI;0x1201bf;;;OW)",
         false, false, false, false},
        {"a settings list with users' delete", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)(A;OICI;0x1201bf;;;OW)",
         false, true, false, false},
        {"a settings list passed down, not protected", L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;BU)(A;OICI;0x1201bf;;;OW)",
         false, true, true, false},
        {"made under a drive's root", L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)", false, true, false, false},
        {"owned by a user", L"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false, false, false, false},
        {"users may add files", L"O:BAD:P(A;;FA;;;BA)(A;;0x2;;;BU)", false, true, true, false},
        {"users may delete what is inside", L"O:BAD:P(A;;FA;;;BA)(A;;0x40;;;BU)", false, true, false, false},
        {"everybody may delete it", L"O:BAD:P(A;;FA;;;BA)(A;;0x10000;;;WD)", false, true, false, false},
        {"users may re-permit it", L"O:BAD:P(A;;FA;;;BA)(A;;0x40000;;;BU)", false, true, false, false},
        {"the creator's rights, for what is made inside only", L"O:BAD:P(A;;FA;;;BA)(A;OICIIO;FA;;;CO)", true, true, true, false},
        {"a denial grants nothing", L"O:BAD:P(A;;FA;;;BA)(D;;FA;;;BU)", true, true, true, false},
        {"no list at all", L"O:BA", false, true, false, false},
        {"the elevated account's own", L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;S-1-5-21-1-2-3-1000)", true, true, true, false},
        {"another account's", L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;S-1-5-21-1-2-3-1001)", false, false, false, false},
    };
    PSID self = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1000", &self));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.descriptor, SDDL_REVISION_1, &descriptor,
                                                                         nullptr));
        EXPECT_EQ(OnlyAdministratorsCanChange(descriptor, self), c.usable);
        EXPECT_EQ(OwnedByAdministrators(descriptor, self), c.ownedByAdministrators);
        EXPECT_EQ(NobodyElseCanMoveWhatItHolds(descriptor, self), c.aboveAnother);
        EXPECT_EQ(IsOwnAccessList(descriptor, FolderUse::kSharedSettings), c.setupsSettingsList);
        LocalFree(descriptor);
    }
    LocalFree(self);
}
