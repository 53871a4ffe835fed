// The What's new, Ready and Finished pages.
#include "framework/path.h"
#include "model/install_folder.h"
#include "model/running_product.h"
#include "model/messages.h"
#include "engine/install_run.h"
#include "framework/gdi_handles.h"
#include "framework/handles.h"
#include "framework/resource_bytes.h"
#include "framework/text.h"
#include "variants/variant.h"
#include "variants/windows_version.h"
#include "wizard/uninstall_hint.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

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
    wchar_t folder[MAX_PATH];
    SheetPage(kWelcomePage)->ItemText(IDC_FOLDER, folder, MAX_PATH);
    TrimSpaces(folder);
    wchar_t label[50];
    LoadMessage(IDS_DESTINATION_DIRECTORY, label, 50);
    wchar_t line[kTextSize];
    FormatText(line, kTextSize, L"%ls: %ls", label, folder);
    SetItemText(IDC_DESTINATION, line);
    const bool appData = IsVistaOrLater();
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

namespace {

constexpr size_t kNotMadeUnits = 4096;

// The install run's failures and question as message boxes owned by the active window; what it
// could not make is gathered and shown in one box once the run is over.
class MessageBoxReporter : public InstallReporter {
public:
    explicit MessageBoxReporter(const wchar_t* caption) : m_caption(caption) {}
    void ReportFailure(const wchar_t* message, const wchar_t*) override
    {
        m_stopped = true;
        MessageBoxW(GetActiveWindow(), message, m_caption, MB_ICONERROR | MB_OK);
    }
    void ReportNote(const wchar_t*) override {}  // the wizard's own settings folder is always usable
    void ReportNotMade(const wchar_t* entry) override
    {
        if (m_notMade[0] == L'\0')
            LoadMessage(IDS_NOT_EVERYTHING_MADE, m_notMade, kNotMadeUnits);
        // A list longer than the box can hold ends where it stops fitting; the first items stay.
        if (AppendText(m_notMade, L"\n\n"))
            AppendText(m_notMade, entry);
    }
    void ShowNotMade() const
    {
        if (m_notMade[0] != L'\0')
            MessageBoxW(GetActiveWindow(), m_notMade, m_caption, MB_ICONWARNING | MB_OK);
    }
    // The run stopped before it had installed anything usable.
    bool Stopped() const { return m_stopped; }
    bool ConfirmAssociations(const wchar_t* question) override
    {
        // Only Yes points the types: Esc or the close box is no answer to act on.
        m_confirmed = MessageBoxW(GetActiveWindow(), question, m_caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
        return m_confirmed;
    }
    // Rows were chosen and the question answered Yes.
    bool Confirmed() const { return m_confirmed; }

private:
    const wchar_t* m_caption;
    bool m_confirmed = false;
    bool m_stopped = false;
    wchar_t m_notMade[kNotMadeUnits] = {};
};

}  // namespace

int CWizPropertyPage::InstallFromReady()
{
    if (FindProductWindow()) {
        ShowMessage(IDS_PRODUCT_RUNNING, MB_ICONEXCLAMATION | MB_OK);
        return -1;
    }
    InstallOptions options;
    GatherOptions(options);

    HWND notice = Item(IDC_INSTALLING);
    ShowWindow(notice, SW_SHOW);
    UpdateWindow(notice);
    const int buttons[] = {ModalPropertySheet::kBackButton, ModalPropertySheet::kNextButton, ModalPropertySheet::kCancelButton};
    for (int button : buttons)
        m_pSheet->EnableButton(button, false);
    MessageBoxReporter reporter(options.caption);
    const SetupExitCode outcome = RunInstall(options, reporter);
    for (int button : buttons)
        m_pSheet->EnableButton(button, true);
    if (reporter.Stopped())
        return static_cast<int>(SheetPage(kWelcomePage)->TemplateId());
    reporter.ShowNotMade();
    m_pSheet->MarkInstalled(options.installFolder, reporter.Confirmed(), outcome);
    return 0;
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
