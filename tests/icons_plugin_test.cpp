// Which installed Icons.dll the archive's copy replaces: version, company and size.
#include "engine/icons_plugin.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of a test plug-in built with the given version resource, padded to `size` bytes.
std::wstring PluginCopy(const TempFolder& folder, const std::wstring& name, long size = 0)
{
    std::wstring source = BuildFolder() + L"\\test_plugins\\" + name + L".dll";
    std::wstring copy = folder / (name + L".dll");
    std::string bytes = ReadBytes(source);
    EXPECT_FALSE(bytes.empty()) << "missing test plug-in " << ToUtf8(source);
    if (size > 0)
        bytes.resize(static_cast<size_t>(size), '\x5A');  // overlay after the image keeps the resource readable
    WriteBytes(copy, bytes);
    return copy;
}

}  // namespace

TEST(IconsPlugin, VersionTextIsProductVersionAndTheFileVersionsThirdNumber)
{
    TempFolder folder;
    wchar_t version[260] = L"";
    wchar_t company[260] = L"x";
    ASSERT_EQ(ReadFileVersion(PluginCopy(folder, L"v431_zorvan").c_str(), version, company), 1);
    EXPECT_STREQ(version, L"4.31");
    EXPECT_STREQ(company, L"Zorvan Kettu");
    ASSERT_EQ(ReadFileVersion(PluginCopy(folder, L"v429_none").c_str(), version, company), 1);
    EXPECT_STREQ(version, L"4.29");
    EXPECT_STREQ(company, L"");
    EXPECT_EQ(ReadFileVersion((folder / L"missing.dll").c_str(), version, company), 0);
    EXPECT_EQ(ReadFileVersion(L"C:\\windows\\win.ini", version, nullptr), 0);
}

TEST(IconsPlugin, SinglePrecisionArithmeticGivesTheExpectedThousandths)
{
    EXPECT_EQ(VersionThousandths(L"4.30"), 4300);
    EXPECT_EQ(VersionThousandths(L"4.29"), 4290);
    EXPECT_EQ(VersionThousandths(L"4.31"), 4310);
    EXPECT_EQ(VersionThousandths(L" 4.3x"), 4300);
    EXPECT_EQ(VersionThousandths(L"abc"), 0);
}

TEST(IconsPlugin, ReplacementFollowsVersionCompanyAndSize)
{
    TempFolder folder;
    EXPECT_EQ(ShouldReplaceIconsDll((folder / L"Icons.dll").c_str()), 1);  // none installed
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v431_zorvan").c_str()), 0);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v429_zorvan").c_str()), 1);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v429_lower").c_str()), 1);  // case ignored
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v429_other").c_str()), 0);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v429_none").c_str()), 0);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v430_zorvan", 226816).c_str()), 1);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v430_zorvan", 226817).c_str()), 0);
    EXPECT_EQ(ShouldReplaceIconsDll(PluginCopy(folder, L"v430_other", 226816).c_str()), 0);
}
