#include "wizard/wizard_page.h"

#include "wizard/browse_folder.h"
#include "res/resource.h"
#include "wizard/message_box.h"
#include "wizard/wizard_sheet.h"

// One row per page; the order of the sheet is WizardPage's alone.
const CWizPropertyPage::Role CWizPropertyPage::kRoles[kWizardPageCount] = {
    {kWelcomePage, IDD_WELCOME, &CWizPropertyPage::BindEulaLink, &CWizPropertyPage::ActivateWelcome,
     &CWizPropertyPage::WelcomeFolderIsValid, nullptr},
    {kWhatsNewPage, IDD_WHATS_NEW, &CWizPropertyPage::BindReleaseNotes, &CWizPropertyPage::LoadReleaseNotes, nullptr, nullptr},
    {kAssociationsPage, IDD_ASSOCIATIONS, nullptr, &CWizPropertyPage::ActivateAssociations, nullptr, nullptr},
    {kReadyPage, IDD_READY, &CWizPropertyPage::BindInstallingNotice, &CWizPropertyPage::ActivateReady, nullptr,
     &CWizPropertyPage::InstallFromReady},
    {kFinishedPage, IDD_FINISHED, nullptr, &CWizPropertyPage::ActivateFinished, nullptr, nullptr},
};

const CWizPropertyPage::Role& CWizPropertyPage::RoleOf(WizardPage page)
{
    for (const Role& role : kRoles)
        if (role.page == page)
            return role;
    return kRoles[0];  // every page has its row
}

CWizPropertyPage::CWizPropertyPage(WizardPage page) : PropertyPage(RoleOf(page).templateId), m_page(page)
{
}

WizardPages::WizardPages(CWizPropertySheet& sheet)
{
    for (CWizPropertyPage& page : m_pages) {
        sheet.AddPage(&page);
        page.m_pSheet = &sheet;
    }
}

int CWizPropertyPage::ShowMessage(unsigned id, UINT type) const
{
    return ShowSetupMessage(Window(), id, m_pSheet->m_szTitle, type);
}

CWizPropertyPage* CWizPropertyPage::SheetPage(int index) const
{
    return static_cast<CWizPropertyPage*>(m_pSheet->GetPage(index));
}

int CWizPropertyPage::GetAdjacentPageId(bool forward)
{
    const int step = forward ? 1 : -1;
    for (int i = PageIndex() + step; i >= 0 && i < m_pSheet->GetPageCount(); i += step)
        if (SheetPage(i)->m_bPageEnabled)
            return static_cast<int>(SheetPage(i)->TemplateId());
    return -1;
}

// Binding goes by the page's own position, so the link and the notice are set up before
// their pages are first shown.
void CWizPropertyPage::DoDataExchange()
{
    const Role* role = PageRole();
    if (role && role->bind)
        (this->*role->bind)();
}

bool CWizPropertyPage::OnSetActive()
{
    const Role* role = PageRole();
    if (role && role->activate)
        (this->*role->activate)();
    // Enter goes forward: Next, or Done on the last page, never a button left default by a click.
    m_pSheet->SetDefaultButton(PageIndex() == m_pSheet->GetPageCount() - 1 ? ModalPropertySheet::kCancelButton
                                                                            : ModalPropertySheet::kNextButton);
    return PropertyPage::OnSetActive();
}

int CWizPropertyPage::OnWizardBack()
{
    return GetAdjacentPageId(false);
}

int CWizPropertyPage::OnWizardNext()
{
    const Role* role = PageRole();
    // A refused page stays as it was, its Back button as it was too.
    if (role && role->accept && !(this->*role->accept)())
        return -1;
    m_pSheet->EnableButton(ModalPropertySheet::kBackButton, true);
    if (role && role->leave) {
        if (int elsewhere = (this->*role->leave)())
            return elsewhere;
    }
    if (PageIndex() == m_pSheet->GetPageCount() - 1)
        m_pSheet->DestroyAfterNotification();
    return GetAdjacentPageId(true);
}

bool CWizPropertyPage::OnCommand(int id, int code)
{
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_BROWSE:
        BrowseInstallFolder(*this);
        m_pSheet->SetDefaultButton(ModalPropertySheet::kNextButton);  // the browser's close leaves it on Browse
        return true;
    case IDC_REGISTRY_ASSOC: OnRegistryAssocClicked(); return true;
    case IDC_SELECT_ALL: OnSelectAll(); return true;
    case IDC_SELECT_NONE: OnSelectNone(); return true;
    case IDC_IMAGES_ONLY: OnImagesOnly(); return true;
    case IDC_DESKTOP_SHORTCUT:
    case IDC_THUMBS_SHORTCUT:
    case IDC_GROUP_SHORTCUTS: OnShortcutClicked(); return true;
    case IDC_UNCHECK_ALL: OnUncheckAll(); return true;
    }
    return false;
}
