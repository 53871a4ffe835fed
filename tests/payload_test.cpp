// Unpacking: folders, dates, Icons.dll, locked files and archives that are damaged or hostile.
#include "framework/ensure_directory.h"
#include "engine/payload.h"
#include "support/test_support.h"
#include "support/zip_writer.h"
#include "xz_samples.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

template <size_t N>
std::string Bytes(const unsigned char (&bytes)[N])
{
    return std::string(reinterpret_cast<const char*>(bytes), N);
}

// An .xz entry of the sample text, changed by `change`.
ZipEntry TextXz(const char* name, void (*change)(ZipEntry&) = nullptr)
{
    ZipEntry entry{name, Bytes(kSampleText)};
    entry.packed = Bytes(kSampleTextXz);
    if (change)
        change(entry);
    return entry;
}

// Keeps the current directory across a test, since unpacking changes it on purpose.
class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override { GetCurrentDirectoryW(MAX_PATH, m_previous); }
    void TearDown() override { SetCurrentDirectoryW(m_previous); }

    int Unpack(const std::string& zip, const std::wstring& target, int skipIconsDll = 0)
    {
        std::wstring archive = m_work / L"test.zip";
        WriteBytes(archive, zip);
        return UnpackArchive(archive.c_str(), (target + L"\\").c_str(), skipIconsDll);
    }

    static std::wstring CurrentDirectory()
    {
        wchar_t now[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, now);
        return now;
    }

    wchar_t m_previous[MAX_PATH] = L"";
    TempFolder m_work;
};

}  // namespace

TEST_F(PayloadTest, EntriesKeepTheirFoldersAndTheirRealTimeOrTheirDosDateAsLocalTime)
{
    TempFolder target;
    // Files bigger than all the unpacking's buffers together, each byte telling where it belongs.
    std::string big(700001, '\0'), bigger(900007, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 251);
    for (size_t i = 0; i < bigger.size(); ++i)
        bigger[i] = static_cast<char>(i / 3 + i / 65536);
    // One entry also carries its real time (UTC), an odd second no DOS date can hold.
    ZipEntry stamped{"stamped.txt", "s"};
    stamped.utcTime = 1672628645;  // 2023-01-02 03:04:05 UTC
    std::string zip = MakeZip({{"Docs/", ""}, {"Docs/a.txt", "alpha"}, {"Docs/big.bin", big}, {"Deep/er/b.txt", "beta"},
                               {"bigger.bin", bigger}, {"top.txt", "t"}, stamped});
    EXPECT_EQ(Unpack(zip, target.Path()), kExtractComplete);
    EXPECT_EQ(ReadBytes(target / L"Docs\\a.txt"), "alpha");
    EXPECT_TRUE(ReadBytes(target / L"Docs\\big.bin") == big);
    EXPECT_TRUE(ReadBytes(target / L"bigger.bin") == bigger);
    EXPECT_EQ(ReadBytes(target / L"Deep\\er\\b.txt"), "beta");  // no folder entry: made on demand
    EXPECT_EQ(ReadBytes(target / L"top.txt"), "t");
    EXPECT_EQ(CurrentDirectory() + L"\\", target.Path() + L"\\");

    SYSTEMTIME local{2024, 5, 0, 1, 12, 0, 0, 0};
    FILETIME localTime, expected;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &expected);
    FILETIME written = LastWrite(target / L"Docs\\a.txt");
    EXPECT_EQ(CompareFileTime(&written, &expected), 0);
    SYSTEMTIME utc{2023, 1, 0, 2, 3, 4, 5, 0};
    SystemTimeToFileTime(&utc, &expected);
    written = LastWrite(target / L"stamped.txt");
    EXPECT_EQ(CompareFileTime(&written, &expected), 0);
}

TEST_F(PayloadTest, IconsDllIsLeftAloneOnlyWhenAskedWithOne)
{
    TempFolder target;
    CreateDirectoryW((target / L"Plugins").c_str(), nullptr);
    WriteBytes(target / L"Plugins\\Icons.dll", "installed");
    std::string zip = MakeZip({{"Plugins/", ""}, {"Plugins/Icons.dll", "archive"}, {"Plugins/Other.dll", "o"}});
    EXPECT_EQ(Unpack(zip, target.Path(), 1), kExtractComplete);
    EXPECT_EQ(ReadBytes(target / L"Plugins\\Icons.dll"), "installed");
    EXPECT_EQ(ReadBytes(target / L"Plugins\\Other.dll"), "o");
    EXPECT_EQ(Unpack(zip, target.Path(), 2), kExtractComplete);
    EXPECT_EQ(ReadBytes(target / L"Plugins\\Icons.dll"), "archive");
}

// An update replaces every file or none: with one file held, every earlier file stays as it was
// and the problem names the held file; once free, the update goes through and removes the file
// only the earlier version carried, unless somebody changed it.
TEST_F(PayloadTest, AnUpdateReplacesEveryFileOrNoneAndDropsWhatTheEarlierVersionAloneHad)
{
    TempFolder target;
    const std::string first = MakeZip({{"Docs/", ""}, {"Docs/kept.txt", "1"}, {"held.txt", "old"},
                                       {"dropped.txt", "d"}, {"Docs/changed.txt", "c"}, {"Old/only.txt", "o"}});
    ASSERT_EQ(Unpack(first, target.Path()), kExtractComplete);
    WriteBytes(target / L"Docs\\changed.txt", "changed by the user");
    const std::vector<std::wstring> before = TreeListing(target.Path());

    const std::string second = MakeZip({{"Docs/kept.txt", "2"}, {"held.txt", "new"}, {"added.txt", "a"}});
    WriteBytes(m_work / L"second.zip", second);
    HANDLE held = CreateFileW((target / L"held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ExtractProblem problem{};
    EXPECT_EQ(UnpackArchive((m_work / L"second.zip").c_str(), (target.Path() + L"\\").c_str(), 0, &problem),
              kExtractNotReplaced);
    CloseHandle(held);
    EXPECT_EQ(std::wstring(problem.path), target / L"held.txt");
    EXPECT_EQ(TreeListing(target.Path()), before);  // nothing staged, moved aside or journalled is left
    EXPECT_EQ(ReadBytes(target / L"Docs\\kept.txt"), "1");
    EXPECT_EQ(ReadBytes(target / L"held.txt"), "old");

    // Held only a moment, as a virus scanner holds a file: the moves are tried again and go through.
    held = CreateFileW((target / L"held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([held] { Sleep(500); CloseHandle(held); });
    ExtractProblem briefly{};
    EXPECT_EQ(UnpackArchive((m_work / L"second.zip").c_str(), (target.Path() + L"\\").c_str(), 0, &briefly),
              kExtractComplete);
    scanner.join();
    EXPECT_GE(briefly.moveRetries, 2);
    EXPECT_EQ(ReadBytes(target / L"Docs\\kept.txt"), "2");
    EXPECT_EQ(ReadBytes(target / L"held.txt"), "new");
    EXPECT_EQ(ReadBytes(target / L"added.txt"), "a");
    EXPECT_FALSE(FileExists(target / L"dropped.txt"));
    EXPECT_FALSE(FolderExists(target / L"Old"));
    EXPECT_EQ(ReadBytes(target / L"Docs\\changed.txt"), "changed by the user");
    // The record keeps what the earlier version had, marked, beside what this one placed:
    // sizes and SHA-256 as written (the digests of "2" and "o", computed apart).
    const std::string record = ReadBytes(target / L"pt_setup_files.txt");
    EXPECT_NE(record.find("+ 1 d4735e3a265e16eee03f59718b9b5d03019c07d8b6c51f90da3a666eec13ab35 Docs\\kept.txt\r\n"),
              std::string::npos) << record;
    EXPECT_NE(record.find("- 1 65c74c15a686187bb6bbf9958f494fc6b80068034a659a9ad44991b08c58f2d2 Old\\only.txt\r\n"),
              std::string::npos) << record;
    EXPECT_NE(record.find("- 1 2e7d2c03a9507ae265ecf5b5356885a53393a2029d241394997265a1a25aefc6 Docs\\changed.txt\r\n"), std::string::npos) << record;
}

TEST_F(PayloadTest, DamagedArchivesStopOrFailAndNeverReportSuccess)
{
    TempFolder target;
    std::string good = MakeZip({{"a.txt", "aaaa"}, {"b.txt", "bbbb"}});
    EXPECT_EQ(Unpack(good.substr(0, good.size() / 2), target.Path()), kExtractFailed);  // no end record
    EXPECT_NE(Unpack(good.substr(0, good.size() - 10), target.Path()), kExtractComplete);
    EXPECT_EQ(Unpack(std::string("not a zip at all"), target.Path()), kExtractFailed);

    TempFolder crc;
    EXPECT_EQ(Unpack(MakeZip({{"a.txt", "aaaa", true}, {"b.txt", "bbbb"}}), crc.Path()), kExtractStopped);
    EXPECT_FALSE(FileExists(crc / L"b.txt"));  // the walk stopped at the bad entry

    // A damaged entry never replaces the file already there, nor leaves a half-written one.
    TempFolder kept;
    WriteBytes(kept / L"bad.txt", "good");
    WriteBytes(kept / L"big.txt", "good");
    EXPECT_EQ(Unpack(MakeZip({{"bad.txt", "data", true}}), kept.Path()), kExtractStopped);
    EXPECT_NE(Unpack(MakeZip({{"big.txt", "data", false, 0x58A16000, 1000}}), kept.Path()), kExtractComplete);
    EXPECT_EQ(ReadBytes(kept / L"bad.txt"), "good");
    EXPECT_EQ(ReadBytes(kept / L"big.txt"), "good");
    EXPECT_FALSE(FileExists(kept / L"bad.txt.partial"));
    EXPECT_FALSE(FileExists(kept / L"big.txt.partial"));

    EXPECT_EQ(UnpackArchive(nullptr, target.Path().c_str(), 0), kExtractFailed);
    EXPECT_EQ(UnpackArchive((m_work / L"missing.zip").c_str(), target.Path().c_str(), 0), kExtractFailed);
    std::string zip = MakeZip({{"a.txt", "a"}});
    WriteBytes(m_work / L"ok.zip", zip);
    EXPECT_EQ(UnpackArchive((m_work / L"ok.zip").c_str(), L"Q:\\no\\such\\folder\\", 0), kExtractFailed);
}

TEST_F(PayloadTest, NamesLeavingTheTargetAreNeverWritten)
{
    TempFolder outer;
    std::wstring target = outer / L"target";
    CreateDirectoryW(target.c_str(), nullptr);
    std::string zip = MakeZip({{"../escaped.txt", "x"}, {"..\\escaped2.txt", "x"}, {"sub/../../escaped3.txt", "x"},
                               {"/rooted.txt", "x"}, {"C:x.txt", "x"}, {"ok.txt", "fine"}, {"x.txt:stream", "x"}});
    EXPECT_EQ(Unpack(zip, target), kExtractStopped);
    EXPECT_FALSE(FileExists(target + L"\\ok.txt"));  // an archive with such a name changes nothing
    EXPECT_FALSE(FileExists(outer / L"escaped.txt"));
    EXPECT_FALSE(FileExists(outer / L"escaped2.txt"));
    EXPECT_FALSE(FileExists(outer / L"escaped3.txt"));
    EXPECT_FALSE(FileExists(target + L"\\x.txt"));
    EXPECT_EQ(IsSafeEntryName("a/b..c/..d"), 1);
    EXPECT_EQ(IsSafeEntryName("a/.."), 0);
    // Device names, with or without an extension, and names Windows would cut short.
    for (const char* name : {"CON", "nul.txt", "Plugins/com1.dll", "lpt9", "aux .ini", "prn", "readme.", "Html/a ", "x./y"})
        EXPECT_EQ(IsSafeEntryName(name), 0) << name;
    for (const char* name : {"console.txt", "com10.txt", "nulls/x", "lpt.txt", "com0", ".hidden", "Html/./index.htm"})
        EXPECT_EQ(IsSafeEntryName(name), 1) << name;
}

TEST_F(PayloadTest, EnsureDirectoryTrimsCreatesLevelsAndKeepsTheCurrentDirectory)
{
    TempFolder base;
    std::wstring before = CurrentDirectory();
    wchar_t path[520];
    std::wstring given = L" " + base.Path() + L"\\One\\Two ";
    wchar_t made[520];
    EXPECT_TRUE(TopmostMissingFolder((base / L"One\\Two\\").c_str(), made, 520));
    EXPECT_EQ(std::wstring(made), base / L"One");
    wcscpy(path, given.c_str());
    EXPECT_EQ(EnsureDirectory(path), 1);
    EXPECT_FALSE(TopmostMissingFolder(path, made, 520));
    EXPECT_EQ(std::wstring(path), base.Path() + L"\\One\\Two\\");
    EXPECT_TRUE(FolderExists(base / L"One\\Two"));
    EXPECT_EQ(CurrentDirectory(), before);

    wcscpy(path, L"    ");
    EXPECT_EQ(EnsureDirectory(path), 0);
    wcscpy(path, L"");
    EXPECT_EQ(EnsureDirectory(path), 0);
    wcscpy(path, L"Q:\\Nowhere\\At All ");
    EXPECT_EQ(EnsureDirectory(path), 0);
    EXPECT_EQ(std::wstring(path), L"Q:\\Nowhere\\At All\\");
    EXPECT_EQ(CurrentDirectory(), before);

    // Two threads making folders at once (the settings and the shortcuts do) leave it as it was.
    for (int round = 0; round < 50; ++round) {
        auto make = [&](const wchar_t* name) {
            wchar_t level[520];
            wcscpy(level, (base / (name + std::to_wstring(round))).c_str());
            EnsureDirectory(level);
        };
        std::thread settings(make, L"Settings"), shortcuts(make, L"Group");
        settings.join();
        shortcuts.join();
    }
    EXPECT_EQ(CurrentDirectory(), before);

    // Too long to be rebuilt whole: refused rather than cut short.
    std::wstring tooLong = base.Path() + L"\\" + std::wstring(260 - base.Path().size(), L'L');
    wcscpy(path, tooLong.c_str());
    EXPECT_EQ(EnsureDirectory(path), 0);

    EXPECT_EQ(MakeDirectoryPath(L""), 0);
    EXPECT_EQ(MakeDirectoryPath((base.Path() + L"/m/n/").c_str()), 1);
    EXPECT_TRUE(FolderExists(base / L"m\\n"));
}

TEST_F(PayloadTest, HostileArchivesWriteNothingOutsideTheTargetAndNeverClaimSuccess)
{
    struct Case {
        const char* label;
        std::vector<ZipEntry> entries;
        size_t truncateTo;
    };
    const std::string longName(300, 'n');
    const std::vector<Case> cases = {
        {"dot-dot backslash", {{"..\\x", "x"}, {"ok.txt", "ok"}}, 0},
        {"dot-dot inside", {{"a/../../x", "x"}, {"ok.txt", "ok"}}, 0},
        {"rooted backslash", {{"\\x", "x"}, {"ok.txt", "ok"}}, 0},
        {"rooted slash", {{"/x", "x"}, {"ok.txt", "ok"}}, 0},
        {"drive and root", {{"C:\\x", "x"}, {"ok.txt", "ok"}}, 0},
        {"drive relative", {{"C:x", "x"}, {"ok.txt", "ok"}}, 0},
        {"stream", {{"x:stream", "x"}, {"ok.txt", "ok"}}, 0},
        {"NUL in name", {{std::string("a\0b.txt", 7), "x"}, {"ok.txt", "ok"}}, 0},
        {"300 characters", {{longName, "x"}, {"ok.txt", "ok"}}, 0},
        {"escaping folder", {{"../evil/", ""}, {"../evil/x", "x"}, {"ok.txt", "ok"}}, 0},
        {"CRC mismatch", {{"ok.txt", "ok"}, {"bad.txt", "data", true}}, 0},
        {"declared size too large", {{"ok.txt", "ok"}, {"big.txt", "data", false, 0x58A16000, 1000}}, 0},
        {"truncated", {{"ok.txt", "ok"}, {"b.txt", std::string(200, 'b')}}, 150},
        {"xz stream damaged", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.packed[60] ^= 0x55; })}, 0},
        {"xz stream cut short", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.packed.resize(80); })}, 0},
        {"xz stream with bytes after it", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.packed += "tail"; })}, 0},
        {"xz unpacks to more than declared", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.declaredExtra = -1; })}, 0},
        {"xz unpacks to less than declared", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.declaredExtra = 1; })}, 0},
        {"xz CRC mismatch", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.badCrc = true; })}, 0},
        {"xz asking for 4 GiB", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.packed = Bytes(kSampleHugeDictionaryXz); })}, 0},
        {"deflate, no longer read", {{"ok.txt", "ok"}, TextXz("x.txt", [](ZipEntry& e) { e.method = 8; })}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder outer;
        const std::wstring target = outer / L"target";
        CreateDirectoryW(target.c_str(), nullptr);
        const int result = Unpack(MakeZip(c.entries, c.truncateTo), target);
        SetCurrentDirectoryW(m_previous);
        EXPECT_NE(result, kExtractComplete) << "a case with a bad entry never counts as complete";
        for (const std::wstring& entry : TreeListing(outer.Path()))
            EXPECT_EQ(entry.rfind(L"target\\", 0), 0u) << ToUtf8(entry);
        EXPECT_FALSE(FileExists(L"C:\\x"));
        EXPECT_FALSE(FileExists(L"C:\\evil\\x"));
    }

    // The same name twice: both are unpacked, the later one wins. Beside them, the two .xz
    // entries, one through the x86 branch filter, unpack to what was packed.
    TempFolder twice;
    ZipEntry code{"code.bin", Bytes(kSampleCode)};
    code.packed = Bytes(kSampleCodeXz);
    EXPECT_EQ(Unpack(MakeZip({{"dup.txt", "first"}, {"dup.txt", "second"}, TextXz("text.txt"), code}), twice.Path()),
              kExtractComplete);
    EXPECT_EQ(ReadBytes(twice / L"dup.txt"), "second");
    EXPECT_EQ(ReadBytes(twice / L"text.txt"), Bytes(kSampleText));
    EXPECT_EQ(ReadBytes(twice / L"code.bin"), Bytes(kSampleCode));
}
