// Generated command lines and paths through the switch reader and the path helpers, checking
// the invariants they promise. A fixed seed makes every run repeat the same inputs; CI runs a
// slice, tools/fuzz.sh the long run (PT_FUZZ_ITERATIONS).
#include "framework/path.h"
#include "model/install_folder.h"
#include "model/install_options.h"
#include "engine/payload.h"
#include "engine/settings_ini.h"
#include "support/test_support.h"
#include "support/zip_writer.h"
#include "xz_samples.h"
#include "wizard/hyperlink.h"
#include "wizard/wizard_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <random>
#include <cstdio>
#include <set>
#include <string>

namespace {

long Iterations()
{
    wchar_t text[32] = {};
    if (GetEnvironmentVariableW(L"PT_FUZZ_ITERATIONS", text, 32) == 0)
        return 20000;
    return wcstol(text, nullptr, 10);
}

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    std::wstring Text(size_t maxLength)
    {
        static const wchar_t* const pieces[] = {
            L"/folder=", L"/ini=", L"/assoc=", L"/assocallusers", L"/silent", L"/desktop=", L"/group=",
            L"/thumbs=", L"/allusers=", L"\"", L" ", L"  ", L"/", L"=", L"%", L"%APPDATA%", L"%TEMP%", L"%1",
            L"\"%1\"", L"C:\\", L"\\", L":", L"..", L"1", L"2", L"-7", L"x", L"Pictarn", L"\x0416\x0443\x043A",
            L"\x753B\x50CF", L"\xE9", L"\t", L".", L"!", L"\r\n", L"\xFEFF"};
        std::wstring text;
        const size_t target = Pick(maxLength + 1);
        while (text.size() < target) {
            if (Pick(4) == 0)
                text += static_cast<wchar_t>(0x20 + Pick(0x60));
            else
                text += pieces[Pick(sizeof(pieces) / sizeof(pieces[0]))];
        }
        text.resize(target);
        return text;
    }
    size_t Pick(size_t bound) { return bound ? std::uniform_int_distribution<size_t>(0, bound - 1)(m_random) : 0; }

private:
    std::mt19937 m_random;
};

bool Contains(const std::wstring& haystack, const wchar_t* needle)
{
    return haystack.find(needle) != std::wstring::npos;
}

}  // namespace

TEST(Fuzz, SwitchReaderAndPathHelpersKeepTheirPromises)
{
    const long iterations = Iterations();
    Generator generate(20261208);
    long checked = 0;
    for (long i = 0; i < iterations; ++i) {
        // The switch reader: bounded values without '/', flags of 0 or 1.
        const std::wstring command = generate.Text(1100);
        InstallOptions options;
        ReadSwitches(command.c_str(), options);
        const std::wstring folder = options.installFolder, ini = options.iniFolder;
        ASSERT_LE(folder.size(), 260u - 8u) << i;
        ASSERT_LE(ini.size(), 260u - 5u) << i;
        ASSERT_EQ(folder.find(L'/'), std::wstring::npos) << i;
        ASSERT_EQ(ini.find(L'/'), std::wstring::npos) << i;
        for (int slot = 0; slot < kAssocSlots; ++slot)
            ASSERT_TRUE(options.assocSelection[slot] == 0 || options.assocSelection[slot] == 1) << i;
        ASSERT_TRUE(options.assocAllUsers == 0 || options.assocAllUsers == 1) << i;

        // Unquoting only removes characters, from the ends, and leaves no trailing blank.
        std::wstring value = generate.Text(300);
        wchar_t buffer[1200];
        wcscpy_s(buffer, value.c_str());
        UnquoteValue(buffer);
        const std::wstring unquoted = buffer;
        ASSERT_TRUE(Contains(value, unquoted.c_str())) << i;
        ASSERT_TRUE(unquoted.empty() || unquoted.back() != L' ') << i;

        // Trimming: no trailing blank; no leading blank for paths under 260 characters.
        value = generate.Text(600);
        wcscpy_s(buffer, value.c_str());
        TrimSpaces(buffer);
        const std::wstring trimmed = buffer;
        ASSERT_TRUE(Contains(value, trimmed.c_str())) << i;
        ASSERT_TRUE(trimmed.empty() || trimmed.back() != L' ') << i;
        if (trimmed.size() < 260 && !trimmed.empty()) {
            ASSERT_NE(trimmed.front(), L' ') << i;
        }

        // Expanding the settings folder stays inside its buffer; text without '%' is kept.
        value = generate.Text(700);
        wchar_t expanded[kIniPathSize];
        ExpandIniFolder(value.c_str(), expanded, kIniPathSize);
        ASSERT_LT(wcslen(expanded), kIniPathSize) << i;
        if (value.find(L'%') == std::wstring::npos && value.size() < 260) {
            ASSERT_EQ(value, expanded) << i;
        }

        // Release notes end at their last letter or digit and keep everything before it.
        value = generate.Text(400);
        wcscpy_s(buffer, value.c_str());
        TrimReleaseNotes(buffer);
        const std::wstring notes = buffer;
        ASSERT_EQ(value.compare(0, notes.size(), notes), 0) << i;
        ASSERT_TRUE(notes.empty() || iswalnum(notes.back())) << i;

        // The browser command: whole or nothing, and it ends with the address.
        const std::wstring registered = generate.Text(600), url = generate.Text(300);
        wchar_t line[kLinkTextSize];
        if (BuildBrowserCommand(registered.c_str(), url.c_str(), line, kLinkTextSize)) {
            const std::wstring built = line;
            ASSERT_LT(built.size(), kLinkTextSize) << i;
            ASSERT_GE(built.size(), url.size()) << i;
            ASSERT_EQ(built.compare(built.size() - url.size(), url.size(), url), 0) << i;
        } else {
            ASSERT_EQ(line[0], L'\0') << i;
        }
        ++checked;
    }
    // Seven generated texts a round: command line, two paths, settings folder, notes, command, address.
    RecordProperty("inputs", static_cast<int>(checked * 7));
    std::printf("%ld rounds, %ld generated inputs checked\n", checked, checked * 7);
}

TEST(Fuzz, ChangedArchivesNeverWriteOutsideNorUnpackWhatWasNotPacked)
{
    // An archive of .xz entries (one through the x86 branch filter) and a stored one, with bytes
    // changed or cut anywhere: whatever the unpacking says, nothing lands outside the target,
    // and whatever it unpacks is what was packed.
    const auto bytes = [](const unsigned char* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); };
    ZipEntry text{"Docs/text.txt", bytes(kSampleText, sizeof(kSampleText))};
    text.packed = bytes(kSampleTextXz, sizeof(kSampleTextXz));
    ZipEntry code{"code.bin", bytes(kSampleCode, sizeof(kSampleCode))};
    code.packed = bytes(kSampleCodeXz, sizeof(kSampleCodeXz));
    const std::string original = MakeZip({{"Docs/", ""}, text, code, {"plain.txt", "stored as is"}});
    const std::set<std::string> packed = {text.data, code.data, "stored as is"};
    const long rounds = std::max(20L, Iterations() / 40);
    Generator generate(20261210);
    TempFolder work;
    const std::wstring archive = work / L"changed.zip";
    long completed = 0;
    for (long i = 0; i < rounds; ++i) {
        std::string changed = original;
        for (size_t n = 1 + generate.Pick(4); n > 0; --n)
            changed[generate.Pick(changed.size())] = static_cast<char>(generate.Pick(256));
        if (generate.Pick(8) == 0)
            changed.resize(generate.Pick(changed.size()));
        WriteBytes(archive, changed);
        TempFolder outer;
        const std::wstring target = outer / L"target";
        CreateDirectoryW(target.c_str(), nullptr);
        completed += UnpackArchive(archive.c_str(), (target + L"\\").c_str(), 0) == kExtractComplete;
        SetCurrentDirectoryW(work.Path().c_str());
        for (const std::wstring& entry : TreeListing(outer.Path())) {
            ASSERT_EQ(entry.rfind(L"target", 0), 0u) << i << " " << ToUtf8(entry);
            const std::wstring path = outer / entry;
            if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::string content = ReadBytes(path);
            // The record of installed files is the unpacking's own.
            if (entry.find(L"pt_setup_files") == std::wstring::npos) {
                ASSERT_TRUE(packed.count(content) == 1) << i << " " << ToUtf8(entry);
            }
        }
    }
    std::printf("%ld changed archives, %ld unpacked whole\n", rounds, completed);
}
