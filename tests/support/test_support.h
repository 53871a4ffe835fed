#pragma once
// Helpers for tests that run the real setup program under Wine and inspect what it left.
#include <windows.h>

#include <string>
#include <vector>

// The folder of the test program; the deliverable and the stand-in product are built beside it.
std::wstring BuildFolder();
// A program built once per bitness, "<stem>64.exe" or "<stem>32.exe": this build's or the other's.
std::wstring ProgramName(const std::wstring& stem, bool otherBuild = false);
// The deliverable's file name, pt_setup64.exe or pt_setup32.exe.
std::wstring SetupProgramName(bool otherBuild = false);
std::wstring SetupProgramPath();
std::wstring StandInProductPath();
// The stand-in payload's entry count and unpacked bytes in this build, as tools/payload makes it.
inline constexpr int kStandInEntries = sizeof(void*) == 8 ? 37 : 36;
inline constexpr unsigned long kStandInBytes = sizeof(void*) == 8 ? 7230823 : 5919997;

// Starts a program and waits for it; returns its exit code, or -1 when it did not start or end.
int RunAndWait(const std::wstring& commandLine, const std::wstring& startFolder, DWORD timeoutMs = 120000);
// Runs the setup program with `arguments` from `startFolder`.
int RunSetup(const std::wstring& arguments, const std::wstring& startFolder);

// A fresh empty folder under the temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ToUtf8(const std::wstring& text);
// A settings-file key as the profile functions read it; "<none>" when it is missing.
std::wstring IniKey(const std::wstring& file, const wchar_t* section, const wchar_t* key);

// Sets or removes an HKEY_LOCAL_MACHINE string value for one test and puts the old state back.
class MachineValueOverride {
public:
    MachineValueOverride(const std::wstring& key, const std::wstring& name);
    ~MachineValueOverride();
    MachineValueOverride(const MachineValueOverride&) = delete;
    MachineValueOverride& operator=(const MachineValueOverride&) = delete;
    void Set(const std::wstring& value);
    void Remove();

private:
    std::wstring m_key;
    std::wstring m_name;
    bool m_hadValue = false;
    bool m_keyExisted = false;
    std::vector<BYTE> m_oldData;
    DWORD m_oldType = 0;
};

// The key of the product's own open command, which tells where an earlier installation is.
inline constexpr wchar_t kOpenCommandKey[] = L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command";

// Ends every process that shows the product's window (the stand-in a wizard run started).
void CloseProductWindow();

// The stand-in product running for the length of a test (its window has the class "Pictarn").
class RunningProduct {
public:
    RunningProduct();
    ~RunningProduct();
    RunningProduct(const RunningProduct&) = delete;
    RunningProduct& operator=(const RunningProduct&) = delete;
    bool WindowFound() const { return m_window != nullptr; }

private:
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
};

// Sets an environment variable that the setup program inherits, for one test.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* m_name;
    bool m_had = false;
    std::wstring m_old;
};

// A file's last-write time as the file system keeps it (UTC).
FILETIME LastWrite(const std::wstring& path);

// Names and sizes of everything below a folder, sorted, folders ending in a backslash.
std::vector<std::wstring> TreeListing(const std::wstring& folder);
