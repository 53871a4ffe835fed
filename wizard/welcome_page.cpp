// The Welcome page: greeting, licence link, shortcut choices and the installation folder.
#include "engine/folder_check.h"
#include "framework/failure_tally.h"
#include "framework/folder_access.h"
#include "framework/path.h"
#include "model/messages.h"
#include "model/install_folder.h"
#include "model/running_product.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <cwchar>

namespace {

constexpr size_t kTextSize = 512;
constexpr const wchar_t* kBitness = variant::kIs32Bit ? L"32" : L"64";

// The template's text is the format: each "%s" in turn takes the next argument.
void FillPlaceholders(HWND item, const wchar_t* const* arguments, int count)
{
    wchar_t format[kTextSize] = {};
    GetWindowTextW(item, format, kTextSize);
    wchar_t text[kTextSize] = {};
    size_t length = 0;
    int used = 0;
    for (const wchar_t* p = format; *p && length + 1 < kTextSize; ++p) {
        if (p[0] == L'%' && p[1] == L's' && used < count) {
            CopyText(text + length, kTextSize - length, arguments[used++]);
            length = wcslen(text);
            ++p;
            continue;
        }
        text[length++] = *p;
        text[length] = L'\0';
    }
    SetWindowTextW(item, text);
}

}  // namespace

void CWizPropertyPage::BindEulaLink()
{
    m_pSheet->m_linkEula.Attach(Item(IDC_EULA_LINK));
    m_pSheet->m_linkEula.SetUnderlineMode(1);
    wchar_t url[128];
    FormatText(url, 128, L"%ls/eula.htm", kProductSite);
    m_pSheet->m_linkEula.SetUrl(url);
}

void CWizPropertyPage::WarnIfProductRuns()
{
    if (FindProductWindow())
        ShowMessage(IDS_PRODUCT_RUNNING, MB_ICONEXCLAMATION | MB_OK);
}

void CWizPropertyPage::ActivateWelcome()
{
    m_pSheet->EnableButton(ModalPropertySheet::kBackButton, false);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP));
    SendMessageW(m_pSheet->Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (m_bFirstActivation) {
        m_pSheet->SetHeadingFont(Item(IDC_WELCOME_HEADLINE));
        const wchar_t* headline[] = {kBitness};
        FillPlaceholders(Item(IDC_WELCOME_HEADLINE), headline, 1);
        wchar_t version[16];
        FormatText(version, 16, L"%d.%d", variant::kVersionMajor, variant::kVersionMinor);
        const wchar_t* introduction[] = {version, kBitness};
        FillPlaceholders(Item(IDC_WELCOME_TEXT), introduction, 2);

        wchar_t folder[kFolderBufferSize];
        const bool earlier = FindEarlierInstallation(folder, kFolderBufferSize);
        if (!earlier)
            DefaultInstallFolder(folder, kFolderBufferSize);
        SetItemText(IDC_FOLDER, folder);
        m_pSheet->m_updating = earlier && ReadEarlierChoices(folder, m_pSheet->m_earlier);
        ShowEarlierChoices();
    }
    WarnIfProductRuns();
    m_bFirstActivation = 0;
}

// A first install offers every shortcut for the current user; an update starts from what the
// installation it updates has, and says so.
void CWizPropertyPage::ShowEarlierChoices()
{
    const bool updating = m_pSheet->m_updating;
    const ShortcutChoices& earlier = m_pSheet->m_earlier.shortcuts;
    SetChecked(IDC_DESKTOP_SHORTCUT, !updating || earlier.desktop);
    SetChecked(IDC_THUMBS_SHORTCUT, !updating || earlier.thumbnails);
    SetChecked(IDC_GROUP_SHORTCUTS, !updating || earlier.group);
    CheckRadioButton(Window(), IDC_CURRENT_USER, IDC_ALL_USERS, updating && earlier.allUsers ? IDC_ALL_USERS : IDC_CURRENT_USER);
    OnShortcutClicked();
    if (!updating)
        return;
    wchar_t format[128], note[160];
    LoadMessage(IDS_UPDATE_FROM, format, 128);
    FormatText(note, 160, format, m_pSheet->m_earlier.versionMajor, m_pSheet->m_earlier.versionMinor);
    SetItemText(IDC_UPDATE_NOTE, note);
    ShowWindow(Item(IDC_UPDATE_NOTE), SW_SHOW);
}

void CWizPropertyPage::OnShortcutClicked()
{
    const bool any = IsChecked(IDC_DESKTOP_SHORTCUT) || IsChecked(IDC_THUMBS_SHORTCUT) ||
                     IsChecked(IDC_GROUP_SHORTCUTS);
    EnableItem(IDC_CURRENT_USER, any);
    EnableItem(IDC_ALL_USERS, any);
}

void CWizPropertyPage::OnUncheckAll()
{
    SetChecked(IDC_DESKTOP_SHORTCUT, false);
    SetChecked(IDC_THUMBS_SHORTCUT, false);
    SetChecked(IDC_GROUP_SHORTCUTS, false);
    EnableItem(IDC_CURRENT_USER, false);
    EnableItem(IDC_ALL_USERS, false);
}

// What is wrong with the folder is said here, where it can be mended, naming the folder: the
// install run would find most of it only three pages later. Blanks around it are judged as the
// install run will treat them: removed.
bool CWizPropertyPage::WelcomeFolderIsValid()
{
    wchar_t folder[kFolderBufferSize];
    ItemText(IDC_FOLDER, folder, static_cast<int>(kFolderBufferSize));
    TrimSpaces(folder);
    const FolderVerdict verdict = CheckInstallFolder(folder);
    if (verdict.problem == FolderProblem::kNone)
        return true;
    if (verdict.problem == FolderProblem::kNoDrive) {
        ShowMessage(IDS_INVALID_DESTINATION, MB_ICONERROR | MB_OK);
        return false;
    }
    constexpr size_t kSize = 2048;
    wchar_t format[kSize], text[kSize], reason[kSize], needed[64], free[64];
    auto load = [&format](unsigned id) { return LoadMessage(id, format, kSize), format; };
    switch (verdict.problem) {
    case FolderProblem::kForbiddenCharacters: FormatText(text, kSize, load(IDS_FOLDER_FORBIDDEN_CHARACTERS), folder); break;
    case FolderProblem::kTooLong:
        FormatText(text, kSize, load(IDS_FOLDER_TOO_LONG), static_cast<int>(wcslen(folder)),
                   static_cast<int>(MaxInstallFolderLength()), folder);
        break;
    case FolderProblem::kAccessDenied:
        // Starting as administrator helps only a setup that is not already.
        FormatText(text, kSize, load(RunsAsAdministrator() ? IDS_FOLDER_DENIED_TO_ADMIN : IDS_FOLDER_ACCESS_DENIED), folder);
        break;
    case FolderProblem::kReadOnly: FormatText(text, kSize, load(IDS_FOLDER_READ_ONLY), folder); break;
    case FolderProblem::kNotCreatable:
        SystemErrorText(verdict.error, reason, kSize);
        FormatText(text, kSize, load(IDS_FOLDER_NOT_CREATABLE), reason, folder);
        break;
    default:
        FormatByteSize(verdict.needed, needed, 64);
        FormatByteSize(verdict.free, free, 64);
        FormatText(text, kSize, load(IDS_FOLDER_NO_SPACE), needed, free, folder);
        break;
    }
    MessageBoxW(Window(), text, m_pSheet->m_szTitle, MB_ICONERROR | MB_OK);
    return false;
}
