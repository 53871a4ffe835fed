// The What's new, Ready and Finished pages.
#include "engine/folder_check.h"
#include "framework/path.h"
#include "model/install_folder.h"
#include "model/running_product.h"
#include "model/messages.h"
#include "engine/install_run.h"
#include "framework/folder_access.h"
#include "framework/gdi_handles.h"
#include "framework/handles.h"
#include "framework/resource_bytes.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "variants/windows_version.h"
#include "wizard/install_worker.h"
#include "wizard/uninstall_hint.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <commctrl.h>

#include <cstring>
#include <cwctype>

namespace {

constexpr size_t kNotesUnits = 10240;
constexpr size_t kTextSize = 512;

}  // namespace

void TrimReleaseNotes(wchar_t* text)
{
    for (size_t length = wcslen(text); length > 0 && !iswalnum(text[length - 1]); --length)
        text[length - 1] = L'\0';
}

void CWizPropertyPage::BindReleaseNotes()
{
    m_pSheet->m_notesBox.Attach(Item(IDC_RELEASE_NOTES));
}

void CWizPropertyPage::LoadReleaseNotes()
{
    const ResourceBytes resource = FindResourceBytes(L"TXT", IDR_RELEASE_NOTES);
    if (!resource.data)
        return;
    // On the heap: a buffer of the program's own would be carried in the file, 20 KB of zeros.
    HeapBuffer<wchar_t> notes = AllocateBuffer<wchar_t>(kNotesUnits);
    if (!notes)
        return;
    memset(notes.Get(), 0, kNotesUnits * sizeof(wchar_t));
    // One unit short of the buffer, so the text always ends with a terminator.
    size_t bytes = resource.size;
    if (bytes > (kNotesUnits - 1) * sizeof(wchar_t))
        bytes = (kNotesUnits - 1) * sizeof(wchar_t);
    memcpy(notes.Get(), resource.data, bytes);
    TrimReleaseNotes(notes.Get());
    SetItemText(IDC_RELEASE_NOTES, notes.Get());
}

void CWizPropertyPage::BindInstallingNotice()
{
    CXColorStatic& notice = m_pSheet->m_textInstalling;
    notice.Attach(Item(IDC_INSTALLING));
    notice.SetTextColor(RGB(255, 0, 0));
    notice.SetBold();
    notice.SetFontHeight(CWizPropertySheet::HeadingHeight(m_pSheet->Dpi()));
}

void CWizPropertyPage::ActivateReady()
{
    m_pSheet->SetHeadingFont(Item(IDC_READY_HEADLINE));
    wchar_t folder[kFolderBufferSize];
    SheetPage(kWelcomePage)->ItemText(IDC_FOLDER, folder, static_cast<int>(kFolderBufferSize));
    TrimSpaces(folder);
    wchar_t label[50];
    LoadMessage(IDS_DESTINATION_DIRECTORY, label, 50);
    // The whole folder, however long: the line shortens it in the middle on screen, and its tip
    // and screen readers give it whole.
    wchar_t line[kFolderBufferSize + 64];
    FormatText(line, kFolderBufferSize + 64, L"%ls: %ls", label, folder);
    SetItemText(IDC_DESTINATION, line);
    m_pSheet->SetTip(Item(IDC_DESTINATION), line);
    const FolderVerdict verdict = CheckInstallFolder(folder);
    wchar_t format[128], needed[64], free[64], space[256];
    LoadMessage(IDS_SPACE_NEEDED, format, 128);
    FormatByteSize(verdict.needed, needed, 64);
    FormatByteSize(verdict.free, free, 64);
    FormatText(space, 256, format, needed, free);
    SetItemText(IDC_SPACE_NEEDED, space);
    // Where an update's settings were, else where this Windows keeps a user's settings.
    const bool appData = m_pSheet->m_updating ? !m_pSheet->m_earlier.settingsInProductFolder : IsVistaOrLater();
    SetChecked(IDC_INI_IN_APPDATA, appData);
    SetChecked(IDC_INI_IN_PRODUCT_FOLDER, !appData);
}

void CWizPropertyPage::GatherOptions(InstallOptions& options)
{
    const CWizPropertyPage* welcome = SheetPage(kWelcomePage);
    welcome->ItemText(IDC_FOLDER, options.installFolder, static_cast<int>(kFolderBufferSize));
    TrimSpaces(options.installFolder);
    options.groupShortcuts = welcome->IsChecked(IDC_GROUP_SHORTCUTS);
    options.desktopShortcut = welcome->IsChecked(IDC_DESKTOP_SHORTCUT);
    options.thumbsShortcut = welcome->IsChecked(IDC_THUMBS_SHORTCUT);
    options.allUsers = welcome->IsChecked(IDC_ALL_USERS);
    if (IsChecked(IDC_INI_IN_APPDATA))
        CopyText(options.iniFolder, variant::kDefaultIniFolder);
    const CWizPropertyPage* associations = SheetPage(kAssociationsPage);
    associations->ReadAssociationChoice(options);
    if constexpr (variant::kIs32Bit)
        options.assocAllUsers = associations->IsChecked(IDC_ASSOC_ALL_USERS);
    options.silent = 0;
    options.caption = m_pSheet->m_szTitle;
}

// The install runs on a thread of its own while the page keeps answering; the notice and the
// progress bar show only while it runs. Exit stays available to stop it.
int CWizPropertyPage::InstallFromReady()
{
    InstallOptions options;
    GatherOptions(options);
    if (ProductRunning(options.installFolder)) {
        ShowMessage(IDS_PRODUCT_RUNNING, MB_ICONEXCLAMATION | MB_OK);
        return -1;
    }
    options.forAnotherAccount = RunsForAnotherAccount();
    m_pSheet->EnableButton(ModalPropertySheet::kBackButton, false);
    m_pSheet->EnableButton(ModalPropertySheet::kNextButton, false);
    HWND progress = Item(IDC_INSTALL_PROGRESS);
    SendMessageW(progress, PBM_SETRANGE32, 0, kProgressSteps);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOW);
    ShowWindow(Item(IDC_INSTALLING), SW_SHOW);
    if (!m_pSheet->m_install.Start(options, Window()))
        PostMessageW(Window(), kInstallEndedMessage, 0, 0);
    return -1;
}

void CWizPropertyPage::OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kInstallProgressMessage: SendMessageW(Item(IDC_INSTALL_PROGRESS), PBM_SETPOS, wParam, 0); break;
    case kInstallCallMessage: m_pSheet->m_install.Answer(lParam); break;
    case kInstallEndedMessage: OnInstallEnded(); break;
    }
}

void CWizPropertyPage::OnInstallEnded()
{
    InstallWorker& install = m_pSheet->m_install;
    const SetupExitCode outcome = install.Finish();
    ShowWindow(Item(IDC_INSTALLING), SW_HIDE);
    ShowWindow(Item(IDC_INSTALL_PROGRESS), SW_HIDE);
    const int buttons[] = {ModalPropertySheet::kBackButton, ModalPropertySheet::kNextButton, ModalPropertySheet::kCancelButton};
    for (int button : buttons)
        m_pSheet->EnableButton(button, true);
    // Stopped by Exit, or by a failure already told: nothing of it is installed.
    const bool wentThrough = outcome != kExitLeftWizard && !install.Boxes().Stopped();
    if (wentThrough) {
        install.Boxes().ShowNotMade();
        m_pSheet->MarkInstalled(install.Options().installFolder, install.Boxes().Confirmed(), outcome);
    }
    if (m_pSheet->ExitRequested()) {
        m_pSheet->EndWizard();
        return;
    }
    PropSheet_SetCurSel(m_pSheet->Window(), nullptr, wentThrough ? kFinishedPage : kWelcomePage);
}

void CWizPropertyPage::ActivateFinished()
{
    m_pSheet->SetHeadingFont(Item(IDC_FINISHED_HEADLINE));
    SetChecked(IDC_OPEN_FAQ, true);
    SetChecked(IDC_START_PRODUCT, true);
    wchar_t done[64];
    LoadMessage(IDS_DONE, done, 64);
    SetDlgItemTextW(m_pSheet->Window(), ModalPropertySheet::kCancelButton, done);
    m_pSheet->EnableButton(ModalPropertySheet::kBackButton, false);
    m_pSheet->EnableButton(ModalPropertySheet::kNextButton, false);
    const bool groupLinkMade = SheetPage(kWelcomePage)->IsChecked(IDC_GROUP_SHORTCUTS) && !LeavesOutUninstallShortcut();
    wchar_t hint[256];
    LoadMessage(UninstallHintId(RunningRelease(), groupLinkMade), hint, 256);
    SetDlgItemTextW(Window(), IDC_UNINSTALL_HINT, hint);
}
