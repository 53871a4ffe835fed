// The silent run's switch reader: substring search, value cutting, numbers and unquoting.
#include "model/install_options.h"
#include "support/format_rows.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

InstallOptions Read(const std::wstring& commandLine)
{
    InstallOptions options;
    ReadSwitches(commandLine.c_str(), options);
    return options;
}

int CountSelected(const InstallOptions& options)
{
    int count = 0;
    for (int slot : options.assocSelection)
        count += slot;
    return count;
}

}  // namespace

TEST(Switches, ValuesEndAtTheNextSlashOrTheEndOfTheLine)
{
    InstallOptions cut = Read(L"setup.exe /silent /folder=C:\\Apps\\Pictarn/desktop=1");
    EXPECT_STREQ(cut.installFolder, L"C:\\Apps\\Pictarn");
    EXPECT_EQ(cut.desktopShortcut, 1);

    // An empty value empties the folder even when a default was there.
    InstallOptions empty;
    wcscpy(empty.installFolder, L"C:\\Default\\");
    ReadSwitches(L"x /silent /folder=/desktop=1", empty);
    EXPECT_STREQ(empty.installFolder, L"");
    EXPECT_EQ(empty.desktopShortcut, 1);

    // The last value runs to the end of the line; a number with trailing blanks still reads.
    InstallOptions last = Read(L"x /silent /group=1   ");
    EXPECT_EQ(last.groupShortcuts, 1);
    InstallOptions iniLast = Read(L"x /silent /ini=D:\\Settings  ");
    EXPECT_STREQ(iniLast.iniFolder, L"D:\\Settings");
}

TEST(Switches, NamesAreCaseSensitiveSubstringsAndTheFirstOccurrenceCounts)
{
    InstallOptions capital = Read(L"x /silent /Folder=D:\\X /DESKTOP=1 /thumbs=1");
    EXPECT_STREQ(capital.installFolder, L"");
    EXPECT_EQ(capital.desktopShortcut, 0);
    EXPECT_EQ(capital.thumbsShortcut, 1);

    InstallOptions twice = Read(L"x /group=2 /group=0 a/allusers=7");
    EXPECT_EQ(twice.groupShortcuts, 2);
    EXPECT_EQ(twice.allUsers, 7);  // no blank needed before a switch
}

TEST(Switches, NumbersAreBase10WithSignAndNoDigitsGivesZero)
{
    InstallOptions options = Read(L"x /desktop= 12abc /thumbs=yes /group=-3 /allusers=+2");
    EXPECT_EQ(options.desktopShortcut, 12);
    EXPECT_EQ(options.thumbsShortcut, 0);
    EXPECT_EQ(options.groupShortcuts, -3);
    EXPECT_EQ(options.allUsers, 2);
    EXPECT_EQ(Read(L"x /desktop=010").desktopShortcut, 10);  // base 10, not octal
}

TEST(Switches, AssocSelectsImageRowsAllRowsOrNothing)
{
    InstallOptions images = Read(L"x /assoc=1");
    EXPECT_EQ(images.associate, 1);
    for (const ExpectedFormatRow& row : ExpectedFormatRows())
        EXPECT_EQ(images.assocSelection[row.row], row.image ? 1 : 0) << ToUtf8(row.label);

    InstallOptions all = Read(L"x /assoc=2");
    EXPECT_EQ(all.associate, 1);
    EXPECT_EQ(CountSelected(all), static_cast<int>(ExpectedFormatRows().size()) + 1);  // and the slot nothing reads

    for (const wchar_t* other : {L"x /assoc=3", L"x /assoc=0", L"x /assoc=-1", L"x /assoc=", L"x"}) {
        InstallOptions none = Read(other);
        EXPECT_EQ(none.associate, 0) << other;
        EXPECT_EQ(CountSelected(none), 0) << other;
    }
}

TEST(Switches, AssocAllUsersCountsOnlyInThe32BitBuild)
{
    InstallOptions options = Read(L"x /silent /assoc=1 /assocallusers");
    EXPECT_EQ(options.assocAllUsers, variant::kIs32Bit ? 1 : 0);
    EXPECT_EQ(options.associate, 1);
    EXPECT_EQ(Read(L"x /assoc=1").assocAllUsers, 0);
}

TEST(Switches, PathValuesAreUnquotedOnceAtEachEnd)
{
    InstallOptions quoted = Read(L"x /silent /folder=\"C:\\Program Files\\Pictarn\" /desktop=1");
    EXPECT_STREQ(quoted.installFolder, L"C:\\Program Files\\Pictarn");

    InstallOptions leading = Read(L"x /folder=  \"\"D:\\A B\"\"  ");
    EXPECT_STREQ(leading.installFolder, L"  \"\"D:\\A B\"");  // leading blanks stay; one quote each end

    InstallOptions blanks = Read(L"x /folder=    ");
    EXPECT_STREQ(blanks.installFolder, L"");

    InstallOptions ini = Read(L"x /ini=\"%APPDATA%\\Pictarn\"");
    EXPECT_STREQ(ini.iniFolder, L"%APPDATA%\\Pictarn");  // stays unexpanded

    wchar_t value[] = L"\"";
    UnquoteValue(value);
    EXPECT_STREQ(value, L"");
}

TEST(Switches, OnlyTheFirst519CharactersAreSearchedAndValuesEndAt260MinusK)
{
    // The copy holds characters 0 to 518: "/group=" at 506..512 leaves six digits of the value.
    EXPECT_EQ(Read(std::wstring(505, L'a') + L" /group=123456789").groupShortcuts, 123456);
    EXPECT_EQ(Read(std::wstring(511, L' ') + L"/group=1").groupShortcuts, 1);  // '1' is character 518
    EXPECT_EQ(Read(std::wstring(512, L' ') + L"/group=1").groupShortcuts, 0);  // the value starts at 519
    EXPECT_EQ(Read(std::wstring(519, L' ') + L"/group=1").groupShortcuts, 0);  // the switch is not seen

    // A folder that fits is read whole; one the reader would cut off counts as no folder at all,
    // so the install stops with "invalid destination" instead of using a shortened folder.
    std::wstring longFolder(300, L'F');
    EXPECT_EQ(wcslen(Read(L"/folder=" + longFolder.substr(0, 252)).installFolder), 252u);
    EXPECT_EQ(wcslen(Read(L"/folder=" + longFolder.substr(0, 252) + L" /group=1").installFolder), 252u);
    EXPECT_STREQ(Read(L"/folder=" + longFolder).installFolder, L"");
    EXPECT_STREQ(Read(std::wstring(480, L' ') + L"/folder=C:\\" + longFolder).installFolder, L"");
    // The same for the settings folder: whole when it fits, else no settings folder.
    EXPECT_EQ(wcslen(Read(L"/ini=" + longFolder.substr(0, 255)).iniFolder), 255u);
    EXPECT_EQ(wcslen(Read(L"/ini=" + longFolder.substr(0, 255) + L"  /group=1").iniFolder), 255u);
    EXPECT_STREQ(Read(L"/ini=" + longFolder.substr(0, 256)).iniFolder, L"");
    EXPECT_STREQ(Read(L"/ini=" + longFolder).iniFolder, L"");
}
