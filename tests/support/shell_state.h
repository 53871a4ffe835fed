#pragma once
// Reading back, comparing and clearing what the shell registration leaves in the registry
// and in the shortcut folders.
#include <windows.h>

#include <map>
#include <string>

// Every key and value below the watched keys, as "ROOT\key|name" -> "type:data".
using RegistrySnapshot = std::map<std::wstring, std::wstring>;

// The keys a complete install writes, each with its whole subtree.
RegistrySnapshot SnapshotShellState();
// Removes everything the registration writes (keys, extension defaults, shortcuts) and gives
// the machine the RegisteredApplications key that Windows has and a fresh Wine prefix lacks.
void ClearShellState();

// Leaves the machine without any installation in `folder`, at the start and at the end of a test.
class CleanInstallState {
public:
    explicit CleanInstallState(std::wstring folder);
    ~CleanInstallState();
    CleanInstallState(const CleanInstallState&) = delete;
    CleanInstallState& operator=(const CleanInstallState&) = delete;

private:
    std::wstring m_folder;
};

bool KeyExists(HKEY root, const std::wstring& key);
// The value as text ("<missing>" when absent); REG_DWORD values as decimal numbers.
std::wstring ReadValue(HKEY root, const std::wstring& key, const wchar_t* name);
DWORD ReadValueType(HKEY root, const std::wstring& key, const wchar_t* name);

// A special folder's path with a trailing backslash.
std::wstring SpecialFolder(int csidl);
std::wstring ProgramGroup(bool allUsers);

// The program group's shortcuts to the product's documents: (file name, the file it opens).
struct DocumentShortcut {
    const wchar_t* name;
    const wchar_t* file;
};
inline constexpr DocumentShortcut kDocumentShortcuts[] = {
    {L"About Pictarn.lnk", L"pt_about.txt"},         {L"What's New.lnk", L"pt_changes.txt"},
    {L"Command line Options.lnk", L"pt_options.txt"}, {L"Available PlugIns.lnk", L"pt_plugins.txt"},
    {L"Available Languages.lnk", L"pt_languages.txt"}, {L"Pictarn Help.lnk", L"pt_main32.chm"}};

struct ShortcutInfo {
    bool loaded = false;
    std::wstring target;
    std::wstring arguments;
    std::wstring iconPath;
    int iconIndex = 0;
    std::wstring description;
    // The item list the link holds: it carries the folders' dates, which move while a test runs.
    std::string itemIds;
};
ShortcutInfo ReadShortcut(const std::wstring& path);
// What the shell's own IPersistFile::Save writes for a link with these parts.
std::string SavedByTheShell(const ShortcutInfo& parts);

// Makes Wine report another Windows version to one program for the length of a test.
class WineVersion {
public:
    WineVersion(const std::wstring& program, const wchar_t* version);
    ~WineVersion();
    WineVersion(const WineVersion&) = delete;
    WineVersion& operator=(const WineVersion&) = delete;

private:
    std::wstring m_key;
};
