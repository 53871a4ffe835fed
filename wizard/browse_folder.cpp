#include "wizard/browse_folder.h"

#include "model/messages.h"
#include "framework/handles.h"
#include "framework/property_page.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <shlobj.h>
#include <windows.h>

#include <cwchar>

namespace {

// Selects the current folder when the browser opens; a root keeps its backslash.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message != BFFM_INITIALIZED)
        return 0;
    wchar_t start[MAX_PATH];
    CopyText(start, reinterpret_cast<const wchar_t*>(data));
    size_t length = wcslen(start);
    if (length > 3 && start[length - 1] == L'\\')
        start[length - 1] = L'\0';
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
    return 0;
}

}  // namespace

void ApplyProductFolderRule(wchar_t* path, size_t pathSize)
{
    AppendBackslash(path, pathSize);
    const size_t length = wcslen(path);
    size_t previous = 0;
    bool found = false;
    for (size_t i = length >= 2 ? length - 2 : 0; i > 0; --i) {
        if (path[i] == L'\\') {
            previous = i;
            found = true;
            break;
        }
    }
    wchar_t productLevel[32];  // "\Pictarn\"
    FormatText(productLevel, 32, L"\\%ls\\", variant::kProductFolderName);
    if (found) {
        if (_wcsicmp(path + previous, productLevel) != 0)
            AppendText(path, pathSize, productLevel + 1);
    } else if (length == 3) {
        AppendText(path, pathSize, productLevel + 1);
    }
}

int BrowseForFolder(void* owner, wchar_t* path)
{
    wchar_t title[50];
    LoadMessage(IDS_INSTALLATION_FOLDER, title, 50);
    wchar_t displayName[MAX_PATH];
    BROWSEINFOW info{};
    info.hwndOwner = static_cast<HWND>(owner);
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(path);
    ComApartment apartment;  // the folder browser is a COM client
    CoTaskMemory<ITEMIDLIST> chosen(SHBrowseForFolderW(&info));
    if (!chosen)
        return 0;
    wchar_t picked[MAX_PATH];
    if (!SHGetPathFromIDListW(chosen.Get(), picked))
        return 0;
    CopyText(path, MAX_PATH, picked);
    AppendBackslash(path, MAX_PATH);
    return 1;
}

void BrowseInstallFolder(PropertyPage& page)
{
    wchar_t folder[MAX_PATH];
    page.ItemText(IDC_FOLDER, folder, MAX_PATH);
    if (!BrowseForFolder(GetActiveWindow(), folder))
        return;
    ApplyProductFolderRule(folder, MAX_PATH);
    page.SetItemText(IDC_FOLDER, folder);
}
