#include "framework/system_library.h"

#include "framework/text.h"

#include <commctrl.h>
#include <delayimp.h>

#include <cstring>
#include <initializer_list>

int SystemFolderFile(const wchar_t* fileName, wchar_t* out, size_t outSize)
{
    UINT len = GetSystemDirectoryW(out, static_cast<UINT>(outSize));
    if (len == 0 || len >= outSize)
        return 0;
    return AppendBackslash(out, outSize) && AppendText(out, outSize, fileName);
}

namespace {

// Restricts the DLL search path to the system folder where Windows offers that.
void RestrictDllSearch()
{
    wchar_t kernelPath[MAX_PATH];
    if (!SystemFolderFile(L"kernel32.dll", kernelPath, MAX_PATH))
        return;
    HMODULE kernel = GetModuleHandleW(kernelPath);
    if (kernel == nullptr)
        return;
    auto setDirectories = ProcAddress<BOOL(WINAPI*)(DWORD)>(kernel, "SetDefaultDllDirectories");
    if (setDirectories != nullptr && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Windows without it (XP, Vista and 7 before their update): at least the current directory
    // leaves the search; the program's own folder stays in it there.
    auto setDirectory = ProcAddress<BOOL(WINAPI*)(LPCWSTR)>(kernel, "SetDllDirectoryW");
    if (setDirectory != nullptr)
        setDirectory(L"");
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    return SystemFolderFile(fileName, path, MAX_PATH) ? LoadLibraryW(path) : nullptr;
}

void PrepareCommonControls()
{
    // The common controls import msimg32; loaded from outside the system folder they would look
    // for it beside the program first (Wine does), so it is there, from the system folder, before
    // them. Kept for the whole run.
    LoadSystemLibrary(L"msimg32.dll");
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);
}

HMODULE PrepareLibraryLoading()
{
    RestrictDllSearch();
    // What ole32 and shlwapi bind to, first: Windows keeps these among its known libraries, Wine
    // looks for them beside the program. They stay loaded for the run, like ole32.
    for (const wchar_t* name : {L"rpcrt4.dll", L"combase.dll", L"shcore.dll"})
        LoadSystemLibrary(name);
    return LoadSystemLibrary(L"ole32.dll");
}

namespace {

// The libraries bound on first use are loaded by full path from the system folder, never by
// bare name. Common controls are the exception: the program's manifest names version 6, which
// Windows keeps outside the system folder and finds only by name (the search is already
// restricted to the system folder, so no copy beside the program is taken instead).
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr
        || _stricmp(info->szDll, "comctl32.dll") == 0)
        return nullptr;
    wchar_t name[64];
    if (MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, 64) == 0)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;
}
