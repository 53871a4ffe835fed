#include "support/test_support.h"

#include <algorithm>
#include <cstdio>

#include <cwchar>

std::wstring BuildFolder()
{
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, len);
    return full.substr(0, full.find_last_of(L'\\'));
}

std::wstring ProgramName(const std::wstring& stem, bool otherBuild)
{
    return stem + ((sizeof(void*) == 8) != otherBuild ? L"64.exe" : L"32.exe");
}

std::wstring SetupProgramName(bool otherBuild)
{
    return ProgramName(L"pt_setup", otherBuild);
}

std::wstring SetupProgramPath()
{
    return BuildFolder() + L"\\" + SetupProgramName();
}

std::wstring StandInProductPath()
{
    return BuildFolder() + L"\\tools\\payload\\bin\\" + ProgramName(L"pt_main");
}

int RunAndWait(const std::wstring& commandLine, const std::wstring& startFolder, DWORD timeoutMs)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const wchar_t* folder = startFolder.empty() ? nullptr : startFolder.c_str();
    // Now and then Wine loses a new process before any of its code runs (once in many suite
    // runs); one more start tells that apart from a program that cannot start at all.
    for (int attempt = 0;; ++attempt) {
        std::wstring line = commandLine;
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process))
            break;
        if (attempt == 1)
            return -1;
        std::printf("note: the process did not start (error %lu); starting it once more\n", GetLastError());
        Sleep(100);
    }
    int result = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

int RunSetup(const std::wstring& arguments, const std::wstring& startFolder)
{
    return RunAndWait(L"\"" + SetupProgramPath() + L"\" " + arguments, startFolder);
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"pt_test_%lu_%u", GetCurrentProcessId(), ++counter);
        m_path = std::wstring(temp) + name;
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring IniKey(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[1024];
    GetPrivateProfileStringW(section, key, L"<none>", value, 1024, file.c_str());
    return value;
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ToUtf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr,
                        nullptr);
    return out;
}

namespace {

bool KeyIsEmpty(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    LONG status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                   nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

// Removes a key the test created and the parents that it alone kept alive.
void RemoveKeyAndEmptyParents(std::wstring key)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    for (size_t cut = key.find_last_of(L'\\'); cut != std::wstring::npos; cut = key.find_last_of(L'\\')) {
        key.resize(cut);
        if (!KeyIsEmpty(key) || RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()) != ERROR_SUCCESS)
            break;
    }
}

}  // namespace

MachineValueOverride::MachineValueOverride(const std::wstring& key, const std::wstring& name)
    : m_key(key), m_name(name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return;
    m_keyExisted = true;
    DWORD size = 0;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExW(handle, valueName, nullptr, &m_oldType, nullptr, &size) == ERROR_SUCCESS) {
        m_oldData.resize(size);
        m_hadValue = RegQueryValueExW(handle, valueName, nullptr, &m_oldType, m_oldData.data(), &size)
                     == ERROR_SUCCESS;
    }
    RegCloseKey(handle);
}

MachineValueOverride::~MachineValueOverride()
{
    if (!m_keyExisted) {
        RemoveKeyAndEmptyParents(m_key);
        return;
    }
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
        return;
    const wchar_t* valueName = m_name.empty() ? nullptr : m_name.c_str();
    if (m_hadValue)
        RegSetValueExW(handle, valueName, 0, m_oldType, m_oldData.data(), static_cast<DWORD>(m_oldData.size()));
    else
        RegDeleteValueW(handle, valueName);
    RegCloseKey(handle);
}

void MachineValueOverride::Set(const std::wstring& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(handle, m_name.empty() ? nullptr : m_name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

void MachineValueOverride::Remove()
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(handle, m_name.empty() ? nullptr : m_name.c_str());
    RegCloseKey(handle);
}

void CloseProductWindow()
{
    for (int i = 0; i < 20; ++i) {
        HWND product = FindWindowW(L"Pictarn", nullptr);
        if (!product)
            return;
        DWORD processId = 0;
        GetWindowThreadProcessId(product, &processId);
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId)) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

RunningProduct::RunningProduct()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring line = L"\"" + StandInProductPath() + L"\"";
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
        return;
    for (int tries = 0; tries < 600 && m_window == nullptr; ++tries) {
        m_window = FindWindowW(L"Pictarn", nullptr);
        if (m_window == nullptr)
            Sleep(50);
    }
}

RunningProduct::~RunningProduct()
{
    if (m_process.hProcess == nullptr)
        return;
    if (m_window != nullptr)
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(m_process.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(m_process.hProcess, 1);
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

ScopedVariable::ScopedVariable(const wchar_t* name, const std::wstring& value) : m_name(name)
{
    wchar_t old[MAX_PATH];
    DWORD len = GetEnvironmentVariableW(name, old, MAX_PATH);
    m_had = len > 0 && len < MAX_PATH;
    m_old = m_had ? old : L"";
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableW(m_name, m_had ? m_old.c_str() : nullptr);
}

namespace {

void ListInto(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + name + L"\\");
            ListInto(folder + L"\\" + name, prefix + name + L"\\", out);
        } else {
            out.push_back(prefix + name + L" " + std::to_wstring(found.nFileSizeLow));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::vector<std::wstring> TreeListing(const std::wstring& folder)
{
    std::vector<std::wstring> out;
    ListInto(folder, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

FILETIME LastWrite(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}
