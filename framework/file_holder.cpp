#include "framework/file_holder.h"

#include "framework/handles.h"
#include "framework/system_library.h"
#include "framework/text.h"

#include <windows.h>
#include <restartmanager.h>

int ProgramHolding(const wchar_t* path, wchar_t* out, size_t outSize)
{
    // Bound on first use: only a run that meets a held file needs the library.
    LibraryModule library(LoadSystemLibrary(L"rstrtmgr.dll"));
    if (!library)
        return 0;
    auto start = ProcAddress<decltype(&RmStartSession)>(library.Get(), "RmStartSession");
    auto add = ProcAddress<decltype(&RmRegisterResources)>(library.Get(), "RmRegisterResources");
    auto list = ProcAddress<decltype(&RmGetList)>(library.Get(), "RmGetList");
    auto end = ProcAddress<decltype(&RmEndSession)>(library.Get(), "RmEndSession");
    DWORD session = 0;
    wchar_t key[CCH_RM_SESSION_KEY + 1] = {};
    if (!start || !add || !list || !end || start(&session, 0, key) != ERROR_SUCCESS)
        return 0;
    int named = 0;
    const wchar_t* files[] = {path};
    RM_PROCESS_INFO holders[4];
    UINT needed = 0, count = 4;
    DWORD reasons = 0;
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS
        && list(session, &needed, &count, holders, &reasons) == ERROR_SUCCESS && count > 0)
        named = CopyText(out, outSize, holders[0].strAppName[0] ? holders[0].strAppName : L"?");
    end(session);
    return named;
}
