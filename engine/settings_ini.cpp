#include "engine/settings_ini.h"

#include "framework/path.h"
#include "model/install_folder.h"
#include "framework/ensure_directory.h"
#include "framework/folder_access.h"
#include "framework/handles.h"
#include "framework/plain_file.h"
#include "framework/text.h"
#include "model/messages.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kValueSize = 260;
constexpr size_t kVariableNameMax = 260;
constexpr char kUnicodeHeader[] = "; UNICODE FILE - edit with care ;-)\r\n\r\n";
// Larger than any settings file the product writes; a bigger one is left as it is.
constexpr LONGLONG kMaxSettingsBytes = 16 * 1024 * 1024;

// False when not every byte reached the file.
bool WriteAll(HANDLE file, const void* data, DWORD bytes)
{
    DWORD written = 0;
    return WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

constexpr ToolbarSkin kLargeSkin{L"gnome-colors-human_48.png", L"48"};
constexpr ToolbarSkin kMediumSkin{L"gnome-colors-wise_32.png", L"32"};
constexpr ToolbarSkin kSmallSkin{L"Tindra_16.png", L"16"};
constexpr ToolbarSkin kDefaultSkin{L"Mossvik_24.png", L"24"};

// Appends the value of the variable `name`: 1 done, -1 undefined (nothing appended), 0 when
// it does not fit.
int AppendVariable(const wchar_t* name, wchar_t* out, size_t outSize)
{
    wchar_t value[kValueSize];
    DWORD len = GetEnvironmentVariableW(name, value, kValueSize);
    if (len == 0)
        return -1;  // undefined: the reference is dropped
    if (len >= kValueSize)
        return 0;  // the buffer holds no usable value
    return AppendText(out, outSize, value);
}

// 1 when the settings folder can take the settings: `expanded` (520) then holds it, created,
// every level held in `held`. Only a folder somebody named is used: every variable defined,
// absolute, short enough for the settings file's path, reached through no link, and created.
int PrepareIniFolder(const wchar_t* iniFolder, wchar_t* expanded, HeldPath& held)
{
    const int allDefined = ExpandIniFolder(iniFolder, expanded, kIniPathSize);
    TrimSpaces(expanded);
    if (!allDefined || !IsAbsoluteFolder(expanded))
        return 0;
    // A settings file whose path passes the Windows limit could be named but never written.
    const size_t fileLength = wcslen(expanded) + (EndsWith(expanded, L'\\') ? 0 : 1) + wcslen(variant::kSettingsFile);
    if (fileLength >= MAX_PATH)
        return 0;
    wchar_t madeFolder[kIniPathSize], link[kIniPathSize];
    if (held.Hold(expanded, link, kIniPathSize) != HoldResult::kHeld)
        return 0;  // a link could lead the settings, and /purge later, anywhere
    const bool makesFolder = TopmostMissingFolder(expanded, madeFolder, kIniPathSize);
    if (!EnsureDirectory(expanded) || held.Hold(expanded, link, kIniPathSize) != HoldResult::kHeld)
        return 0;
    // Made elevated outside the user's profile, the folder would take the rights of its parent,
    // often one where every user may replace what others wrote.
    if (makesFolder && RunsAsAdministrator() && !IsInUserProfile(expanded))
        ProtectFolder(madeFolder, FolderUse::kSharedSettings);
    return 1;
}

}  // namespace

ToolbarSkin ChooseToolbarSkin(int height, int pixelsPerInch)
{
    int scale = pixelsPerInch > 0 ? pixelsPerInch * 100 / 96 : 100;
    if (height > 1599 || scale > 169)
        return kLargeSkin;
    if (height > 1200 || scale > 149)
        return kMediumSkin;
    if (height < 768)
        return kSmallSkin;
    return kDefaultSkin;
}

ToolbarSkin ChooseToolbarSkin()
{
    int pixelsPerInch = 0;
    CreatedDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (display)
        pixelsPerInch = GetDeviceCaps(display.Get(), LOGPIXELSX);
    return ChooseToolbarSkin(GetSystemMetrics(SM_CYFULLSCREEN), pixelsPerInch);
}

int ExpandIniFolder(const wchar_t* iniFolder, wchar_t* out, size_t outSize)
{
    int allDefined = 1;
    out[0] = L'\0';
    for (const wchar_t* p = iniFolder; *p != L'\0';) {
        if (*p != L'%') {
            wchar_t single[2] = {*p++, L'\0'};
            if (!AppendText(out, outSize, single)) {
                out[0] = L'\0';
                return 0;
            }
            continue;
        }
        const wchar_t* nameStart = ++p;
        while (*p != L'\0' && *p != L'%')
            ++p;
        size_t nameLength = static_cast<size_t>(p - nameStart);
        if (*p == L'%')
            ++p;
        wchar_t name[kVariableNameMax + 1];
        if (nameLength > kVariableNameMax || !CopyTextN(name, kVariableNameMax + 1, nameStart, nameLength)) {
            out[0] = L'\0';
            return 0;
        }
        const int appended = AppendVariable(name, out, outSize);
        if (appended == 0) {
            out[0] = L'\0';
            return 0;
        }
        allDefined &= appended > 0;
    }
    return allDefined;
}

namespace {

// Every write of the settings goes through here, so none that fails goes unseen. The settings
// folder may be one users write: a file is written only when it is, or is made, a plain file of
// its own, so no link planted at its name has this run write into another file.
class SettingsWriter {
public:
    explicit SettingsWriter(FailureTally& failures) : m_failures(failures) {}
    void Write(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* file)
    {
        if (IsPlain(file) && !WritePrivateProfileStringW(section, key, value, file))
            m_failures.Add(IDS_NOT_WRITTEN_SETTINGS, file, GetLastError());
    }
    // A pointer taken away leaves no empty section behind, so the file reads the same whether an
    // earlier run got as far as writing the pointer or not.
    void RemoveIfEmpty(const wchar_t* section, const wchar_t* file)
    {
        wchar_t keys[4];
        if (IsPlain(file) && GetPrivateProfileSectionW(section, keys, 4, file) == 0)
            WritePrivateProfileStringW(section, nullptr, nullptr, file);
    }

private:
    // Each file is checked once; a run writes two at most (the installation folder's and the
    // settings folder's).
    bool IsPlain(const wchar_t* file)
    {
        for (int i = 0; i < m_checkedCount; ++i)
            if (_wcsicmp(m_checked[i].path, file) == 0)
                return m_checked[i].plain;
        const bool plain = static_cast<bool>(
            OpenPlainFile(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS));
        if (!plain)
            m_failures.Add(IDS_NOT_WRITTEN_SETTINGS, file, GetLastError());
        if (m_checkedCount < 2) {
            CopyText(m_checked[m_checkedCount].path, kIniPathSize, file);
            m_checked[m_checkedCount++].plain = plain;
        }
        return plain;
    }

    struct CheckedFile {
        wchar_t path[kIniPathSize];
        bool plain;
    };
    FailureTally& m_failures;
    CheckedFile m_checked[2]{};
    int m_checkedCount = 0;
};

}  // namespace

int WriteInitialSettings(const wchar_t* installFolder, wchar_t* iniFolder, int silent, wchar_t* effectiveIni,
                         FailureTally& failures, HeldPath& held)
{
    SettingsWriter settings(failures);
    wchar_t installIni[kIniPathSize];
    CopyText(installIni, kIniPathSize, installFolder);
    TrimSpaces(installIni);
    if (!EndsWith(installIni, L'\\'))
        AppendText(installIni, L"\\");
    AppendText(installIni, variant::kSettingsFile);
    CopyText(effectiveIni, kIniPathSize, installIni);

    if (silent && iniFolder[0] == L'\0') {
        // A silent install into the default folder keeps its settings per user.
        wchar_t defaultFolder[kIniPathSize];
        DefaultInstallFolder(defaultFolder, kIniPathSize);
        if (wcsstr(installFolder, defaultFolder) != nullptr)
            CopyText(iniFolder, kIniPathSize, variant::kDefaultIniFolder);
    }

    wchar_t expanded[kIniPathSize];
    int usable = 1;
    if (iniFolder[0] != L'\0' && !PrepareIniFolder(iniFolder, expanded, held)) {
        iniFolder[0] = L'\0';  // the settings stay where the product looks without a pointer
        usable = 0;
    }
    bool redirected = iniFolder[0] != L'\0';
    if (redirected) {
        settings.Write(L"Others", L"INI_Folder", iniFolder, installIni);
        CopyText(effectiveIni, kIniPathSize, expanded);
        AppendText(effectiveIni, kIniPathSize, variant::kSettingsFile);
    } else {
        settings.Write(L"Others", L"INI_Folder", nullptr, installIni);
        settings.RemoveIfEmpty(L"Others", installIni);
    }
    bool appFolder = redirected && (wcsstr(effectiveIni, L"Pictarn32_App") != nullptr
                                    || wcsstr(effectiveIni, L"Pictarn64_App") != nullptr);

    settings.Write(L"Language", L"DLL", L"ENGLISH", effectiveIni);
    settings.Write(L"Language", L"Lang", L"English", effectiveIni);

    wchar_t skin[kValueSize] = L"";
    GetPrivateProfileStringW(L"Toolbar", L"Skin", L"", skin, kValueSize, effectiveIni);
    if (skin[0] != L'\0')
        return usable;  // a reinstall keeps the user's skin
    ToolbarSkin chosen = ChooseToolbarSkin();
    settings.Write(L"Toolbar", L"Skin", chosen.skin, effectiveIni);
    settings.Write(L"Toolbar", L"Size", chosen.size, effectiveIni);
    if (appFolder) {
        settings.Write(L"Toolbar", L"Skin", kDefaultSkin.skin, installIni);
        settings.Write(L"Toolbar", L"Size", kDefaultSkin.size, installIni);
    }
    return usable;
}

int ConvertIniToUnicode(const wchar_t* iniPath, FailureTally& failures)
{
    // The settings folder may be one every user writes: the file is read through a handle to a
    // plain file of its own, so a link planted at its name never has this run copy another file
    // into the settings.
    KernelHandle source = OpenPlainFile(iniPath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!source) {
        if (GetLastError() != ERROR_CANT_ACCESS_FILE)
            return 1;  // no file to convert
        failures.Add(IDS_NOT_WRITTEN_SETTINGS, iniPath, ERROR_CANT_ACCESS_FILE);
        return 0;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(source.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxSettingsBytes)
        return 1;  // nothing to convert (or not a settings file), and no temporary file left behind
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HeapBuffer<char> ansi = AllocateBuffer<char>(bytes);
    DWORD read = 0;
    if (!ansi || !ReadFile(source.Get(), ansi.Get(), bytes, &read, nullptr)) {
        failures.Add(IDS_NOT_WRITTEN_SETTINGS, iniPath, ansi ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    source.Reset();
    if (read >= 2 && static_cast<unsigned char>(ansi.Get()[0]) == 0xFF && static_cast<unsigned char>(ansi.Get()[1]) == 0xFE)
        return 1;

    // The whole file is converted at once, so no multi-byte character is split.
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.Get(), static_cast<int>(read), nullptr, 0);
    HeapBuffer<wchar_t> wide = AllocateBuffer<wchar_t>(static_cast<size_t>(wideLength) + 1);
    if (!wide) {
        failures.Add(IDS_NOT_WRITTEN_SETTINGS, iniPath, ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    MultiByteToWideChar(CP_ACP, 0, ansi.Get(), static_cast<int>(read), wide.Get(), wideLength);

    wchar_t tempPath[kIniPathSize];
    FolderOfPath(iniPath, tempPath, kIniPathSize);
    AppendText(tempPath, variant::kSettingsTempFile);
    // Whatever is at the temporary name (a killed run's copy, or something planted) goes; the
    // copy is then made new, never opened through what stood there.
    DeleteFileW(tempPath);
    bool written = false;
    DWORD error = ERROR_WRITE_FAULT;
    if (KernelHandle target = OpenPlainFile(tempPath, GENERIC_WRITE, 0, CREATE_NEW)) {
        wchar_t header[64];
        const int headerLength = MultiByteToWideChar(CP_ACP, 0, kUnicodeHeader, -1, header, 64) - 1;
        const unsigned char bom[2] = {0xFF, 0xFE};
        written = WriteAll(target.Get(), bom, sizeof(bom))
                  && WriteAll(target.Get(), header, static_cast<DWORD>(headerLength) * sizeof(wchar_t))
                  && WriteAll(target.Get(), wide.Get(), static_cast<DWORD>(wideLength) * sizeof(wchar_t));
        if (!written)
            error = GetLastError();
    } else {
        error = GetLastError();
    }
    if (written && MoveFileExW(tempPath, iniPath, MOVEFILE_REPLACE_EXISTING))
        return 1;
    if (written)
        error = GetLastError();
    DeleteFileW(tempPath);  // the settings stay as they were, in the ANSI code page
    failures.Add(IDS_NOT_WRITTEN_SETTINGS, iniPath, error);
    return 0;
}
