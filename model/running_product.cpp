#include "model/running_product.h"

#include "framework/handles.h"
#include "framework/path.h"
#include "framework/text.h"
#include "framework/system_library.h"
#include "variants/variant.h"

#include <tlhelp32.h>

HWND FindProductWindow()
{
    return FindWindowW(variant::kProductWindowClass, nullptr);
}

namespace {

constexpr size_t kPathSize = 600;

// The installation's main program as a full path, as Windows names a running program's image.
bool MainProgramPath(const wchar_t* folder, wchar_t* out, size_t outSize)
{
    wchar_t given[kPathSize], joined[kPathSize];
    if (!CopyText(given, kPathSize, folder))
        return false;
    TrimSpaces(given);
    if (given[0] == L'\0' || !AppendBackslash(given, kPathSize) || !FormatText(joined, kPathSize, L"%ls%ls", given,
                                                                                 variant::kMainProgram))
        return false;
    const DWORD length = GetFullPathNameW(joined, static_cast<DWORD>(outSize), out, nullptr);
    return length > 0 && length < outSize;
}

// A process of any session whose program is `mainProgram`. Only the program's own path counts:
// a file merely held open, or another program of that name, is nobody's running product.
bool RunsAnywhere(const wchar_t* mainProgram)
{
    using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    const auto query = ProcAddress<QueryImageName>(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW");
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!snapshot || !query || !Process32FirstW(snapshot.Get(), &entry))
        return false;
    do {
        if (_wcsicmp(entry.szExeFile, variant::kMainProgram) != 0)
            continue;
        KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[kPathSize];
        DWORD size = kPathSize;
        if (process && query(process.Get(), 0, image, &size) && _wcsicmp(image, mainProgram) == 0)
            return true;
    } while (Process32NextW(snapshot.Get(), &entry));
    return false;
}

}  // namespace

bool ProductRunning(const wchar_t* folder)
{
    if (FindProductWindow() != nullptr)
        return true;
    wchar_t mainProgram[kPathSize];
    return MainProgramPath(folder, mainProgram, kPathSize) && RunsAnywhere(mainProgram);
}
