#include "engine/settings_ini.h"

#include "framework/path.h"
#include "model/install_folder.h"
#include "framework/ensure_directory.h"
#include "framework/folder_access.h"
#include "framework/handles.h"
#include "engine/settings_text.h"
#include "framework/text.h"
#include "model/messages.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kValueSize = 260;
constexpr size_t kVariableNameMax = 260;
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
    // Elevated, a folder outside this user's profile that others could change or swap could have
    // the settings, and /purge later, work on their files; one this setup made is known by its list.
    bool (*accept)(HANDLE, bool) = nullptr;
    if (RunsAsAdministrator() && !IsInUserProfile(expanded))
        accept = [](HANDLE handle, bool last) {
            return last ? OnlyAdministratorsCanChange(handle) || HasOwnAccessList(handle, FolderUse::kSharedSettings)
                        : NobodyElseCanMoveWhatItHolds(handle);
        };
    if (held.Hold(expanded, link, kIniPathSize, accept) != HoldResult::kHeld)
        return 0;  // a link could lead the settings, and /purge later, anywhere
    const bool makesFolder = TopmostMissingFolder(expanded, madeFolder, kIniPathSize);
    if (!EnsureDirectory(expanded) || held.Hold(expanded, link, kIniPathSize) != HoldResult::kHeld)
        return 0;
    // Made elevated outside the user's profile, the folder would take the rights of its parent,
    // often one where every user may replace what others wrote.
    if (makesFolder && RunsAsAdministrator() && !IsInUserProfile(expanded) && !IsRemotePath(expanded))
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

// True when the ANSI code page holds `text` exactly.
bool FitsAnsiCodePage(const wchar_t* text)
{
    BOOL lost = FALSE;
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lost) > 0 && !lost;
}

// A settings file of this run: read once, changed in memory, written once. One that cannot be
// read as a plain file of its own (a link planted at its name among them) is neither read nor
// written, and the run hears of it once.
class SettingsFile {
public:
    explicit SettingsFile(FailureTally& failures) : m_failures(failures) {}
    void Open(const wchar_t* path)
    {
        m_path = path;
        m_usable = m_text.Load(path) != 0;
        if (!m_usable)
            m_failures.Add(IDS_NOT_WRITTEN_SETTINGS, path, GetLastError());
    }
    SettingsText& Text() { return m_text; }
    void Save(bool unicode)
    {
        if (m_usable && !m_text.Save(m_path, unicode || m_text.WasUnicode()))
            m_failures.Add(IDS_NOT_WRITTEN_SETTINGS, m_path, GetLastError());
    }

private:
    const wchar_t* m_path = L"";
    FailureTally& m_failures;
    SettingsText m_text;
    bool m_usable = false;
};

}  // namespace

int WriteInitialSettings(const wchar_t* installFolder, wchar_t* iniFolder, int silent, wchar_t* effectiveIni,
                         FailureTally& failures, HeldPath& held, bool forAnotherAccount)
{
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
    bool leftToUsers = false;
    if (forAnotherAccount && iniFolder[0] != L'\0' && ExpandIniFolder(iniFolder, expanded, kIniPathSize)) {
        TrimSpaces(expanded);
        leftToUsers = IsInUserProfile(expanded);
    }
    if (iniFolder[0] != L'\0' && !leftToUsers && !PrepareIniFolder(iniFolder, expanded, held)) {
        iniFolder[0] = L'\0';  // the settings stay where the product looks without a pointer
        usable = 0;
    }
    const bool redirected = iniFolder[0] != L'\0';
    SettingsFile install(failures);
    install.Open(installIni);
    if (redirected) {
        install.Text().Set(L"Others", L"INI_Folder", iniFolder);
        CopyText(effectiveIni, kIniPathSize, expanded);
        AppendText(effectiveIni, kIniPathSize, variant::kSettingsFile);
    } else {
        // A pointer taken away leaves no empty section behind, so the file reads the same whether
        // an earlier run got as far as writing the pointer or not.
        install.Text().Set(L"Others", L"INI_Folder", nullptr);
        install.Text().RemoveSectionIfEmpty(L"Others");
    }
    const bool appFolder = redirected && (wcsstr(effectiveIni, L"Pictarn32_App") != nullptr
                                          || wcsstr(effectiveIni, L"Pictarn64_App") != nullptr);

    // Beside a pointer the installation's own file stays in the ANSI code page the product
    // reads it in; the settings themselves are written in UTF-16.
    SettingsFile redirectedSettings(failures);
    if (redirected && !leftToUsers)
        redirectedSettings.Open(effectiveIni);
    SettingsText& settings = redirected ? redirectedSettings.Text() : install.Text();
    settings.Set(L"Language", L"DLL", L"ENGLISH");
    settings.Set(L"Language", L"Lang", L"English");

    wchar_t skin[kValueSize];
    settings.Get(L"Toolbar", L"Skin", skin, kValueSize);
    if (skin[0] == L'\0') {  // a reinstall keeps the user's skin
        const ToolbarSkin chosen = ChooseToolbarSkin();
        settings.Set(L"Toolbar", L"Skin", chosen.skin);
        settings.Set(L"Toolbar", L"Size", chosen.size);
        if (appFolder) {
            install.Text().Set(L"Toolbar", L"Skin", kDefaultSkin.skin);
            install.Text().Set(L"Toolbar", L"Size", kDefaultSkin.size);
        }
    }
    // A pointer the ANSI code page cannot hold would come back as question marks: in UTF-16 then.
    install.Save(!redirected || !FitsAnsiCodePage(iniFolder));
    redirectedSettings.Save(true);
    return usable;
}
