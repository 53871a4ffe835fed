#include "support/shell_state.h"

#include "model/format_table.h"
#include "support/test_support.h"
#include "variants/variant.h"

#include <shlobj.h>

#include <utility>
#include <vector>

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
constexpr const wchar_t* kStoreApps[] = {
    L"AppXvhc4p7vz4b485xfp46hhk3fq3grkdgjg", L"AppXk0g4vb8gvt7b93tg50ybcy892pge6jmt",
    L"AppX43hnxtbyyps62jhe9sqpdzxn1790zetc", L"AppX9rkaq77s0jzh1tyccadx9ghba15r6t3h",
    L"AppX6eg8h5sxqq90pv53845wmnbewywdqq5h"};

struct WatchedKey {
    HKEY root;
    const wchar_t* rootName;
    std::wstring key;
};

std::vector<WatchedKey> WatchedKeys()
{
    std::vector<WatchedKey> keys = {
        {HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn"},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn"},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\Classes\\Pictarn"},
        {HKEY_LOCAL_MACHINE, L"HKLM",
         variant::kIs32Bit ? L"SOFTWARE\\Classes\\Applications\\pt_main32.exe" : L"SOFTWARE\\Classes\\Applications\\pt_main64.exe"},
        {HKEY_LOCAL_MACHINE, L"HKLM", variant::kUninstallKey},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\Pictarn"},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\RegisteredApplications"},
    };
    for (const wchar_t* app : kStoreApps)
        keys.push_back({HKEY_CURRENT_USER, L"HKCU", std::wstring(L"SOFTWARE\\Classes\\") + app});
    for (const FormatRow& row : kFormatTable)
        for (int m = 0; m < row.memberCount; ++m) {
            const std::wstring ext = row.Member(m).extension;
            keys.push_back({HKEY_LOCAL_MACHINE, L"HKLM", L"SOFTWARE\\Classes\\." + ext});
            keys.push_back({HKEY_LOCAL_MACHINE, L"HKLM",
                            std::wstring(L"SOFTWARE\\Classes\\Pictarn.") + row.Member(m).progIdSuffix});
            keys.push_back({HKEY_CURRENT_USER, L"HKCU", kFileExts + ext});
        }
    return keys;
}

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    if (type == REG_DWORD && size == sizeof(DWORD))
        return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // The stored length tells whether the terminator was written with the text.
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return L"sz(" + std::to_wstring(size) + L"):" + text;
    }
    return L"type" + std::to_wstring(type) + L":" + std::to_wstring(size) + L" bytes";
}

void SnapshotTree(HKEY root, const std::wstring& rootName, const std::wstring& path, RegistrySnapshot& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    out[rootName + L"\\" + path] = L"<key>";
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + sizeof(wchar_t));
        nameLength = 512;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        out[rootName + L"\\" + path + L"|" + name] = ValueText(type, data, size);
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& child : children)
        SnapshotTree(root, rootName, path + L"\\" + child, out);
}

void RemoveShortcutsIn(const std::wstring& folder)
{
    for (const wchar_t* name : {variant::kDesktopShortcut, variant::kThumbsShortcut})
        DeleteFileW((folder + name).c_str());
}

}  // namespace

RegistrySnapshot SnapshotShellState()
{
    RegistrySnapshot snapshot;
    for (const WatchedKey& watched : WatchedKeys())
        SnapshotTree(watched.root, watched.rootName, watched.key, snapshot);
    return snapshot;
}

void ClearShellState()
{
    for (const WatchedKey& watched : WatchedKeys()) {
        // Both views share this list, as on Windows: only the product's entry goes.
        if (watched.key == L"SOFTWARE\\RegisteredApplications") {
            HKEY list = nullptr;
            if (RegOpenKeyExW(watched.root, watched.key.c_str(), 0, KEY_SET_VALUE, &list) == ERROR_SUCCESS) {
                RegDeleteValueW(list, L"Pictarn");
                RegCloseKey(list);
            }
            continue;
        }
        // The extension keys belong to Windows too: only the default value and the offers are ours.
        if (watched.key.rfind(L"SOFTWARE\\Classes\\.", 0) == 0) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(watched.root, watched.key.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                RegDeleteValueW(key, nullptr);
                RegDeleteTreeW(key, L"OpenWithProgids");
                DWORD subKeys = 1, values = 1;
                RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                                 nullptr, nullptr);
                RegCloseKey(key);
                // Left empty, it is what an install made, as a fresh machine has none.
                if (subKeys == 0 && values == 0)
                    RegDeleteKeyW(watched.root, watched.key.c_str());
            }
            continue;
        }
        RegDeleteTreeW(watched.root, watched.key.c_str());
        RegDeleteKeyW(watched.root, watched.key.c_str());
    }
    // A fresh prefix has no "shell" key under Directory and Drive; an install makes them.
    for (const wchar_t* owner : {L"SOFTWARE\\Classes\\Directory\\shell", L"SOFTWARE\\Classes\\Drive\\shell"})
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, owner);  // only while empty
    // The record of replaced values, kept in the 64-bit view wherever there is one.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY software = nullptr;
        if (RegOpenKeyExW(root, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &software) == ERROR_SUCCESS) {
            RegDeleteTreeW(software, L"Pictarn Setup");
            RegCloseKey(software);
        }
    }

    RemoveShortcutsIn(SpecialFolder(CSIDL_DESKTOPDIRECTORY));
    RemoveShortcutsIn(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
    RemoveTree(ProgramGroup(false));
    RemoveTree(ProgramGroup(true));
}

CleanInstallState::CleanInstallState(std::wstring folder) : m_folder(std::move(folder))
{
    ClearShellState();
    RemoveTree(m_folder);
}

CleanInstallState::~CleanInstallState()
{
    ClearShellState();
    RemoveTree(m_folder);
}

bool KeyExists(HKEY root, const std::wstring& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::wstring ReadValue(HKEY root, const std::wstring& key, const wchar_t* name)
{
    DWORD type = 0, size = 0;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS)
        return L"<missing>";
    std::vector<BYTE> data(size + sizeof(wchar_t));
    RegGetValueW(root, key.c_str(), name, RRF_RT_ANY, &type, data.data(), &size);
    if (type == REG_DWORD)
        return std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    return reinterpret_cast<const wchar_t*>(data.data());
}

DWORD ReadValueType(HKEY root, const std::wstring& key, const wchar_t* name)
{
    DWORD type = REG_NONE;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return REG_NONE;
    return type;
}

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    std::wstring folder = path;
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring ProgramGroup(bool allUsers)
{
    return SpecialFolder(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + L"Pictarn\\";
}

namespace {

// Runs `use` with a new shell link object and its file interface, inside COM.
template <typename Use>
void WithShellLink(Use use)
{
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        use(link, file);
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
}

}  // namespace

ShortcutInfo ReadShortcut(const std::wstring& path)
{
    ShortcutInfo info;
    WithShellLink([&](IShellLinkW* link, IPersistFile* file) {
        if (FAILED(file->Load(path.c_str(), STGM_READ)))
            return;
        wchar_t text[1024];
        info.loaded = true;
        if (SUCCEEDED(link->GetPath(text, 1024, nullptr, SLGP_RAWPATH)))
            info.target = text;
        if (SUCCEEDED(link->GetArguments(text, 1024)))
            info.arguments = text;
        if (SUCCEEDED(link->GetIconLocation(text, 1024, &info.iconIndex)))
            info.iconPath = text;
        if (SUCCEEDED(link->GetDescription(text, 1024)))
            info.description = text;
        LPITEMIDLIST items = nullptr;
        if (SUCCEEDED(link->GetIDList(&items)) && items) {
            info.itemIds.assign(reinterpret_cast<const char*>(items), ILGetSize(items));
            CoTaskMemFree(items);
        }
    });
    return info;
}

std::string SavedByTheShell(const ShortcutInfo& parts)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"pt_reference.lnk";
    WithShellLink([&](IShellLinkW* link, IPersistFile* file) {
        if (!parts.iconPath.empty())
            link->SetIconLocation(parts.iconPath.c_str(), parts.iconIndex);
        link->SetPath(parts.target.c_str());
        // The shell makes the item list from the path in both files; only its folder dates may differ by now.
        if (!parts.itemIds.empty())
            link->SetIDList(reinterpret_cast<LPCITEMIDLIST>(parts.itemIds.data()));
        if (!parts.arguments.empty())
            link->SetArguments(parts.arguments.c_str());
        if (!parts.description.empty())
            link->SetDescription(parts.description.c_str());
        file->Save(path.c_str(), TRUE);
    });
    std::string bytes = ReadBytes(path);
    DeleteFileW(path.c_str());
    return bytes;
}

WineVersion::WineVersion(const std::wstring& program, const wchar_t* version)
    : m_key(L"Software\\Wine\\AppDefaults\\" + program)
{
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, m_key.c_str(), &key) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

WineVersion::~WineVersion()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
}
