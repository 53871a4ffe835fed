// The install log's entry format, its place, and how entries accumulate.
#include "engine/install_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

const std::string kSeparator = std::string(48, '-') + "\r\n";

std::string TodayShortDate()
{
    wchar_t date[256] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 256);
    return ToUtf8(date);
}

// Runs `body` with `folder` as the current directory, as the program sees it at start-up.
template <typename Body>
void FromFolder(const std::wstring& folder, Body body)
{
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.c_str());
    body();
    SetCurrentDirectoryW(previous);
}

}  // namespace

TEST(InstallLog, EntryIsDateTimeTextAndSeparatorWithCrLf)
{
    TempFolder start;
    FromFolder(start.Path(), [] {
        InstallLog::FixLocation();
        InstallLog::Append(L"Warning: Pictarn is running!\nPlease close all Pictarn instances before you install this version!");
    });
    std::string log = ReadBytes(start / L"Pictarn_Install.log");
    std::string date = TodayShortDate();
    ASSERT_EQ(log.compare(0, date.size(), date), 0) << log;
    std::string rest = log.substr(date.size());
    std::regex entry(" - [0-2][0-9]:[0-5][0-9]:[0-5][0-9]: Warning: Pictarn is running!\r\n"
                     "Please close all Pictarn instances before you install this version!\r\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(rest, match, entry)) << rest;
    EXPECT_EQ(match.position(0), 0);
    EXPECT_EQ(rest.substr(static_cast<size_t>(match.length(0))), kSeparator);
}

TEST(InstallLog, StaysInTheStartFolderAccumulatesAndKeepsNonAsciiText)
{
    TempFolder start;
    TempFolder elsewhere;
    FromFolder(start.Path(), [&] {
        InstallLog::FixLocation();
        // A later step makes the installation folder current; the log must not follow it.
        SetCurrentDirectoryW(elsewhere.Path().c_str());
        InstallLog::Append(L"first");
        InstallLog::Append(L"Invalid destination directory!: D:\\Bilder\\\u0424\u043e\u0442\u043e \u5199\u771f\\");
    });
    EXPECT_FALSE(FileExists(elsewhere / L"Pictarn_Install.log"));
    std::string log = ReadBytes(start / L"Pictarn_Install.log");
    EXPECT_NE(log.find(": first\r\n" + kSeparator), std::string::npos) << log;
    EXPECT_NE(log.find(": Invalid destination directory!: D:\\Bilder\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE "
                       "\xE5\x86\x99\xE7\x9C\x9F\\\r\n" + kSeparator),
              std::string::npos)
        << log;
    size_t entries = 0;
    for (size_t at = log.find(kSeparator); at != std::string::npos; at = log.find(kSeparator, at + 1))
        ++entries;
    EXPECT_EQ(entries, 2u);
}

// A folder in the log's place, or the log's name linked to another file: the entry is lost,
// and nothing is written through the link.
TEST(InstallLog, ALogThatIsNoPlainFileOfItsOwnLosesTheEntry)
{
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "hard link to another file" : "folder");
        TempFolder start;
        const std::wstring log = start / L"Pictarn_Install.log", other = start / L"other.txt";
        WriteBytes(other, "keep me");
        ASSERT_TRUE(link ? CreateHardLinkW(log.c_str(), other.c_str(), nullptr)
                         : CreateDirectoryW(log.c_str(), nullptr));
        FromFolder(start.Path(), [] {
            InstallLog::FixLocation();
            InstallLog::Append(L"lost");
        });
        EXPECT_EQ(ReadBytes(other), "keep me");
        EXPECT_EQ(FolderExists(log), !link);
    }
}
