// The first settings file: skin thresholds, folder expansion, redirection and the UTF-16 conversion.
#include "engine/settings_ini.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Skin(int height, int pixelsPerInch)
{
    ToolbarSkin chosen = ChooseToolbarSkin(height, pixelsPerInch);
    return std::wstring(chosen.skin) + L"/" + chosen.size;
}

// The expansion, marked with a leading "!" when a variable was undefined or it did not fit.
std::wstring Expand(const wchar_t* text)
{
    wchar_t out[kIniPathSize];
    const int complete = ExpandIniFolder(text, out, kIniPathSize);
    return (complete ? L"" : L"!") + std::wstring(out);
}

std::wstring Effective(const std::wstring& installFolder, std::wstring iniFolder, int silent = 0)
{
    wchar_t ini[kIniPathSize];
    wcscpy(ini, iniFolder.c_str());
    wchar_t effective[kIniPathSize];
    FailureTally failures;
    HeldPath held;
    WriteInitialSettings(installFolder.c_str(), ini, silent, effective, failures, held);
    EXPECT_TRUE(failures.Empty()) << failures.Item(0).where;
    return effective;
}

const std::wstring kSettingsFile = variant::kSettingsFile;

}  // namespace

TEST(SettingsIni, ToolbarSkinFollowsScreenHeightAndScale)
{
    EXPECT_EQ(Skin(1200, 96), L"Mossvik_24.png/24");
    EXPECT_EQ(Skin(1201, 96), L"gnome-colors-wise_32.png/32");
    EXPECT_EQ(Skin(767, 96), L"Tindra_16.png/16");
    EXPECT_EQ(Skin(768, 96), L"Mossvik_24.png/24");
    EXPECT_EQ(Skin(1600, 96), L"gnome-colors-human_48.png/48");
    EXPECT_EQ(Skin(700, 144), L"gnome-colors-wise_32.png/32");   // 150 %
    EXPECT_EQ(Skin(700, 168), L"gnome-colors-human_48.png/48");  // 175 %
    EXPECT_EQ(Skin(700, 120), L"Tindra_16.png/16");              // 125 % does not lift a small screen
    EXPECT_EQ(Skin(1000, 0), L"Mossvik_24.png/24");              // no device context: 100 %
}

TEST(SettingsIni, ExpansionReplacesVariablesAndDropsUndefinedOnes)
{
    SetEnvironmentVariableW(L"PT_TEST_HOME", L"D:\\Home");
    EXPECT_EQ(Expand(L"%PT_TEST_HOME%\\Pictarn"), L"D:\\Home\\Pictarn");
    EXPECT_EQ(Expand(L"x%PT_TEST_UNDEFINED%y"), L"!xy");
    EXPECT_EQ(Expand(L"%PT_TEST_UNDEFINED%"), L"!");
    EXPECT_EQ(Expand(L"plain"), L"plain");
    EXPECT_EQ(Expand(L"a%PT_TEST_HOME"), L"aD:\\Home");  // an unclosed name runs to the end
    SetEnvironmentVariableW(L"PT_TEST_LONG", std::wstring(300, L'v').c_str());
    EXPECT_EQ(Expand(L"%PT_TEST_LONG%\\x"), L"!");  // never a value cut short
    SetEnvironmentVariableW(L"PT_TEST_HOME", nullptr);
    SetEnvironmentVariableW(L"PT_TEST_LONG", nullptr);
}

TEST(SettingsIni, SettingsStayInTheInstallationFolderWithoutAnIniFolder)
{
    TempFolder install;
    std::wstring ini = install / kSettingsFile;
    WritePrivateProfileStringW(L"Others", L"INI_Folder", L"old", ini.c_str());
    EXPECT_EQ(Effective(L"  " + install.Path() + L"  ", L""), ini);
    EXPECT_EQ(IniKey(ini, L"Others", L"INI_Folder"), L"<none>");
    EXPECT_EQ(IniKey(ini, L"Language", L"DLL"), L"ENGLISH");
    EXPECT_EQ(IniKey(ini, L"Language", L"Lang"), L"English");
    EXPECT_NE(IniKey(ini, L"Toolbar", L"Skin"), L"<none>");

    // A reinstall keeps the user's skin but resets the language.
    WritePrivateProfileStringW(L"Toolbar", L"Skin", L"Mine.png", ini.c_str());
    WritePrivateProfileStringW(L"Toolbar", L"Size", L"99", ini.c_str());
    WritePrivateProfileStringW(L"Language", L"Lang", L"Deutsch", ini.c_str());
    Effective(install.Path(), L"");
    EXPECT_EQ(IniKey(ini, L"Toolbar", L"Skin"), L"Mine.png");
    EXPECT_EQ(IniKey(ini, L"Toolbar", L"Size"), L"99");
    EXPECT_EQ(IniKey(ini, L"Language", L"Lang"), L"English");
}

TEST(SettingsIni, RedirectionStoresTheFolderUnexpandedAndWritesSettingsThere)
{
    TempFolder install;
    TempFolder home;
    SetEnvironmentVariableW(L"PT_TEST_HOME", home.Path().c_str());
    std::wstring effective = Effective(install.Path() + L"\\", L"%PT_TEST_HOME%\\Pictarn64_App");
    EXPECT_EQ(effective, home / (L"Pictarn64_App\\" + kSettingsFile));
    std::wstring installIni = install / kSettingsFile;
    EXPECT_EQ(IniKey(installIni, L"Others", L"INI_Folder"), L"%PT_TEST_HOME%\\Pictarn64_App");
    EXPECT_EQ(IniKey(effective, L"Language", L"DLL"), L"ENGLISH");
    // An "_App" settings folder also gives the installation folder the fixed 24-pixel toolbar.
    EXPECT_EQ(IniKey(installIni, L"Toolbar", L"Skin"), L"Mossvik_24.png");
    EXPECT_EQ(IniKey(installIni, L"Toolbar", L"Size"), L"24");
    EXPECT_EQ(IniKey(installIni, L"Language", L"DLL"), L"<none>");

    TempFolder plainInstall;
    std::wstring plain = Effective(plainInstall.Path(), L"%PT_TEST_HOME%\\Plain");
    EXPECT_EQ(plain, home / (L"Plain\\" + kSettingsFile));
    EXPECT_EQ(IniKey(plainInstall / kSettingsFile, L"Toolbar", L"Skin"), L"<none>");

    // A folder the ANSI code page cannot hold ("\u03A9" is no character of it): the pointer is
    // kept whole, in a file of UTF-16 the profile functions read back.
    TempFolder wideInstall;
    const std::wstring wide = L"%PT_TEST_HOME%\\J\u00FCrgen \u03A9";
    EXPECT_EQ(Effective(wideInstall.Path(), wide), home / (L"J\u00FCrgen \u03A9\\" + kSettingsFile));
    EXPECT_EQ(IniKey(wideInstall / kSettingsFile, L"Others", L"INI_Folder"), wide);
    EXPECT_EQ(ReadBytes(wideInstall / kSettingsFile).substr(0, 2), "\xFF\xFE");

    // A second name of another file at the settings file's name in a shared settings folder:
    // nothing is written through it, and the run hears of it once.
    CreateDirectoryW((home / L"Shared").c_str(), nullptr);
    const std::wstring other = home / L"other.txt", linked = home / (L"Shared\\" + kSettingsFile);
    WriteBytes(other, "[Secret]\r\nKey=value\r\n");
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), other.c_str(), nullptr));
    wchar_t ini[kIniPathSize] = L"%PT_TEST_HOME%\\Shared", effectiveIni[kIniPathSize];
    FailureTally failures;
    HeldPath held;
    WriteInitialSettings(plainInstall.Path().c_str(), ini, 0, effectiveIni, failures, held);
    EXPECT_EQ(ReadBytes(other), "[Secret]\r\nKey=value\r\n");
    ASSERT_EQ(failures.Count(), 1);
    EXPECT_EQ(std::wstring(failures.Item(0).where), linked);
    SetEnvironmentVariableW(L"PT_TEST_HOME", nullptr);
}

TEST(SettingsIni, AnAnsiFileBecomesUtf16WithCommentKeepingEveryLineAndAUnicodeOneStaysAsItIs)
{
    TempFolder folder;
    std::wstring ini = folder / kSettingsFile;
    WriteBytes(ini, "[Language]\r\nDLL=GERMAN\r\n[Long]\r\nKey=" + std::string(3000, 'a')
                        + "\xE9nd\r\n; the user's note\r\n[Toolbar]\r\n Skin = Mine.png\r\nSize=99");
    EXPECT_EQ(Effective(folder.Path(), L""), ini);
    std::string bytes = ReadBytes(ini);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::wstring expected = L"\xFEFF; UNICODE FILE - edit with care ;-)\r\n\r\n[Language]\r\nDLL=ENGLISH\r\nLang=English\r\n"
                            L"[Long]\r\nKey=" + std::wstring(3000, L'a') + L"\u00E9nd\r\n; the user's note\r\n"
                            L"[Toolbar]\r\n Skin = Mine.png\r\nSize=99";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(IniKey(ini, L"Long", L"Key"), std::wstring(1023, L'a'));  // readable by the profile functions
    EXPECT_EQ(IniKey(ini, L"Toolbar", L"Skin"), L"Mine.png");

    // Once in UTF-16 the file is written again as it is, without a second comment.
    Effective(folder.Path(), L"");
    EXPECT_EQ(ReadBytes(ini), bytes);
    EXPECT_EQ(TreeListing(folder.Path()).size(), 1u);  // no copy left beside it
}
