#include "engine/icons_plugin.h"

#include "framework/folder_access.h"
#include "framework/plain_file.h"

#include "framework/handles.h"
#include "framework/system_library.h"
#include "framework/text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kTextSize = 260;
constexpr wchar_t kReferenceVersion[] = L"4.30";
constexpr long kReferenceSize = 226816;
constexpr wchar_t kExpectedCompany[] = L"Zorvan Kettu";

using GetFileVersionInfoSizeWFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueWFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

long FileSize(const wchar_t* path)
{
    StdioFile file(_wfopen(path, L"rb"));
    if (!file || fseek(file.Get(), 0, SEEK_END) != 0)
        return -1;
    return ftell(file.Get());
}

bool FromExpectedCompany(const wchar_t* company)
{
    return _wcsicmp(company, kExpectedCompany) == 0;
}

}  // namespace

int ReadFileVersion(const wchar_t* path, wchar_t* versionText, wchar_t* company)
{
    // The system's own version.dll, never one planted beside the setup program.
    LibraryModule library(LoadSystemLibrary(L"version.dll"));
    if (!library)
        return 0;
    auto getSize = ProcAddress<GetFileVersionInfoSizeWFn>(library.Get(), "GetFileVersionInfoSizeW");
    auto getInfo = ProcAddress<GetFileVersionInfoWFn>(library.Get(), "GetFileVersionInfoW");
    auto query = ProcAddress<VerQueryValueWFn>(library.Get(), "VerQueryValueW");
    if (getSize == nullptr || getInfo == nullptr || query == nullptr)
        return 0;

    DWORD handle = 0;
    DWORD size = getSize(path, &handle);
    if (size == 0)
        return 0;
    HeapBuffer<void> buffer(calloc(2, size));
    if (!buffer)
        return 0;
    void* block = buffer.Get();
    int result = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    if (getInfo(path, 0, size, block) && query(block, L"\\", reinterpret_cast<void**>(&fixed), &fixedLength)
        && fixed != nullptr) {
        FormatText(versionText, kTextSize, L"%d.%d%d", static_cast<int>(HIWORD(fixed->dwProductVersionMS)),
                   static_cast<int>(LOWORD(fixed->dwProductVersionMS)),
                   static_cast<int>(HIWORD(fixed->dwFileVersionLS)));
        if (company != nullptr) {
            company[0] = L'\0';
            wchar_t* name = nullptr;
            UINT nameLength = 0;
            if (query(block, L"\\StringFileInfo\\040904E4\\CompanyName", reinterpret_cast<void**>(&name),
                      &nameLength)
                && name != nullptr)
                CopyTextN(company, kTextSize, name, kTextSize - 1);
        }
        result = 1;
    }
    return result;
}

namespace {

// The leading decimal number of a text, as wcstod reads one without an exponent: blanks, a sign,
// digits with at most one point; reading stops at the first other character (none: 0). Up to 15
// digits the quotient of two exact doubles is the correctly rounded value wcstod gives. Read by
// hand because MinGW's wcstod, which the C++ headers select, brings about 20 KB along.
double LeadingDecimal(const wchar_t* text)
{
    while (*text == L' ' || (*text >= L'\t' && *text <= L'\r'))
        ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    unsigned long long digits = 0;
    double scale = 1.0;
    bool point = false;
    for (;; ++text) {
        if (*text == L'.' && !point) {
            point = true;
        } else if (*text >= L'0' && *text <= L'9') {
            if (digits < 100000000000000000ULL) {
                digits = digits * 10 + static_cast<unsigned>(*text - L'0');
                if (point)
                    scale *= 10.0;
            } else if (!point) {
                scale /= 10.0;
            }
        } else {
            break;
        }
    }
    double value = static_cast<double>(digits) / scale;
    return negative ? -value : value;
}

}  // namespace

int VersionThousandths(const wchar_t* versionText)
{
    // volatile keeps the x87 unit of the 32-bit build from carrying extra precision.
    volatile float number = static_cast<float>(LeadingDecimal(versionText));
    volatile float thousandths = number * 1000.0f;
    return static_cast<int>(thousandths);
}

int ShouldReplaceIconsDll(const wchar_t* pluginPath)
{
    // Elevated, a plug-in some user put there (its owner is no administrator) is nobody's to keep:
    // an administrator's or SYSTEM's run of the product would load the user's code.
    if (RunsAsAdministrator()) {
        const KernelHandle plugin = OpenPlainFile(pluginPath, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  OPEN_EXISTING);
        if (plugin && !OwnedByAdministrators(plugin.Get()))
            return 1;
    }
    wchar_t version[kTextSize] = L"";
    wchar_t company[kTextSize] = L"";
    if (!ReadFileVersion(pluginPath, version, company))
        return 1;
    int installed = VersionThousandths(version);
    int reference = VersionThousandths(kReferenceVersion);
    if (installed > reference)
        return 0;  // a newer plug-in is never replaced
    if (installed == reference && FileSize(pluginPath) != kReferenceSize)
        return 0;
    return FromExpectedCompany(company) ? 1 : 0;  // nobody else's plug-in is replaced
}
