#include "model/install_folder.h"

#include "framework/path.h"
#include "framework/registry.h"
#include "framework/text.h"
#include "model/registry_rows.h"
#include "payload_size.h"  // generated with the payload entry list
#include "variants/variant.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

namespace {

// Values are read with a 260-byte limit: at most 129 characters and the terminator.
constexpr DWORD kValueByteLimit = 260;
constexpr size_t kValueChars = kValueByteLimit / sizeof(wchar_t) + 1;

int ReadMachineString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t (&value)[kValueChars])
{
    return ReadStringValue(HKEY_LOCAL_MACHINE, keyPath, valueName, kValueByteLimit, value, kValueChars);
}

}  // namespace

int DefaultInstallFolder(wchar_t* out, size_t outSize)
{
    CopyText(out, outSize, variant::kFallbackInstallFolder);
    wchar_t programFiles[kValueChars];
    if (!ReadMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", programFiles)
        || programFiles[0] == L'\0')
        return 1;
    wchar_t folder[MAX_PATH];
    CopyText(folder, programFiles);
    AppendBackslash(folder);
    AppendText(folder, variant::kProductFolderName);
    CopyText(out, outSize, folder);
    return 1;
}

int FindEarlierInstallation(wchar_t* out, size_t outSize)
{
    out[0] = L'\0';
    wchar_t command[kValueChars];
    if (!ReadMachineString(kProductOpenCommandKey, nullptr, command)
        || command[0] == L'\0')
        return 0;
    if (wcsstr(command, variant::kMainProgram) == nullptr)
        return 0;

    // The command starts with a double quote; the executable path runs to the next one.
    wchar_t program[kValueChars];
    const wchar_t* start = command + 1;
    const wchar_t* quote = wcschr(start, L'"');
    CopyTextN(program, kValueChars, start, quote ? static_cast<size_t>(quote - start) : wcslen(start));

    wchar_t folder[MAX_PATH];
    FolderOfPath(program, folder, MAX_PATH);
    if (!EndsWith(folder, L'\\'))
        AppendText(folder, L"\\");
    CopyText(out, outSize, folder);
    return 1;
}


namespace {

// `folder` is `parent` or below it; `parent` gains a trailing backslash so "C:\\Pictarn2" is not
// taken for a folder below "C:\\Pictarn".
template <size_t N>
bool IsInFolder(const wchar_t* folder, wchar_t (&parent)[N])
{
    return parent[0] != L'\0' && AppendBackslash(parent) && _wcsnicmp(folder, parent, wcslen(parent)) == 0;
}

}  // namespace

bool IsInUserProfile(const wchar_t* folder)
{
    wchar_t profile[MAX_PATH + 1];
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile))
           && IsInFolder(folder, profile);
}

bool IsBelowProgramFiles(const wchar_t* folder)
{
    // Each view names its own folder first; 64-bit Windows names the other view's beside it.
    for (const wchar_t* name : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"}) {
        wchar_t programFiles[kValueChars];
        if (ReadMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", name, programFiles)
            && IsInFolder(folder, programFiles))
            return true;
    }
    return false;
}

size_t MaxInstallFolderLength()
{
    // Each file is written first as "<name>.<32 hex digits>.new" beside its place.
    constexpr size_t kStagedSuffix = 1 + 32 + 4;
    // The folder, its backslash, the name and the suffix, within MAX_PATH and its terminator.
    return MAX_PATH - 1 - 1 - kLongestEntryName - kStagedSuffix;
}

unsigned long long InstallSpaceNeeded()
{
    return static_cast<unsigned long long>(kPayloadKilobytes) * 1024;
}

bool IsForbiddenNameCharacter(wchar_t c)
{
    return c < 32 || wcschr(L"<>:\"/|?*", c) != nullptr;
}
