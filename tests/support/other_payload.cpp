#include "support/other_payload.h"

#include "engine/payload.h"
#include "framework/sha256.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ctime>

namespace {

void AddFolder(const std::wstring& root, const std::string& relative, int64_t utcTime, std::vector<ZipEntry>& out)
{
    std::wstring pattern = root + L"\\" + std::wstring(relative.begin(), relative.end()) + L"*";
    std::replace(pattern.begin(), pattern.end(), L'/', L'\\');
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> files, folders;
    do {
        const std::string name = ToUtf8(found.cFileName);
        if (name == "." || name == "..")
            continue;
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files).push_back(relative + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& file : files) {
        if (file == "pt_setup_files.txt" || file == "pt_main64.ini" || file == "pt_main32.ini")
            continue;
        std::wstring path = root + L"\\" + std::wstring(file.begin(), file.end());
        std::replace(path.begin(), path.end(), L'/', L'\\');
        ZipEntry entry{file, ReadBytes(path)};
        entry.utcTime = utcTime;
        out.push_back(entry);
    }
    for (const std::string& folder : folders) {
        ZipEntry entry{folder + "/", ""};
        entry.utcTime = utcTime;
        out.push_back(entry);
        AddFolder(root, folder + "/", utcTime, out);
    }
}

}  // namespace

std::vector<ZipEntry> EntriesOfFolder(const std::wstring& folder, int64_t utcTime)
{
    std::vector<ZipEntry> entries;
    AddFolder(folder, "", utcTime, entries);
    return entries;
}

std::vector<ZipEntry> BuiltPayloadEntries(int64_t utcTime)
{
    HMODULE setup = LoadLibraryExW(SetupProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = setup ? FindResourceW(setup, MAKEINTRESOURCEW(1974), L"ZIP") : nullptr;
    HGLOBAL loaded = found ? LoadResource(setup, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    EXPECT_NE(bytes, nullptr) << "the built setup's payload";
    TempFolder work;
    WriteBytes(work / L"payload.zip", bytes ? std::string(bytes, SizeofResource(setup, found)) : std::string());
    if (setup)
        FreeLibrary(setup);
    CreateDirectoryW((work / L"files").c_str(), nullptr);
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(UnpackArchive((work / L"payload.zip").c_str(), (work / L"files\\").c_str(), 0), kExtractComplete);
    SetCurrentDirectoryW(current);
    return EntriesOfFolder(work / L"files", utcTime);
}

ZipEntry& EntryNamed(std::vector<ZipEntry>& entries, const std::string& name)
{
    auto found = std::find_if(entries.begin(), entries.end(), [&](const ZipEntry& e) { return e.name == name; });
    EXPECT_NE(found, entries.end()) << name;
    static ZipEntry none;
    return found == entries.end() ? none : *found;
}

bool WriteSetupWithPayload(const std::wstring& path, const std::vector<ZipEntry>& entries)
{
    if (!CopyFileW(SetupProgramPath().c_str(), path.c_str(), FALSE))
        return false;
    std::string zip = MakeZip(entries);
    Sha256 hash;
    hash.Update(zip.data(), zip.size());
    uint8_t digest[kSha256Size];
    hash.Finish(digest);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    return update != nullptr
           && UpdateResourceW(update, L"ZIP", MAKEINTRESOURCEW(1974), english, zip.data(), static_cast<DWORD>(zip.size()))
           && UpdateResourceW(update, L"SHA256", MAKEINTRESOURCEW(1975), english, digest, sizeof(digest))
           && EndUpdateResourceW(update, FALSE);
}

int64_t UtcNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}
