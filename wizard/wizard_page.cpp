#include "wizard/wizard_page.h"

#include "wizard/browse_folder.h"
#include "res/resource.h"
#include "wizard/message_box.h"
#include "wizard/wizard_sheet.h"

// In the order of the sheet: Welcome, What's new, Associations, Ready, Finished.
const CWizPropertyPage::Role CWizPropertyPage::kRoles[] = {
    {&CWizPropertyPage::BindEulaLink, &CWizPropertyPage::ActivateWelcome, &CWizPropertyPage::WelcomeFolderIsValid,
     nullptr},
    {nullptr, &CWizPropertyPage::LoadReleaseNotes, nullptr, nullptr},
    {nullptr, &CWizPropertyPage::ActivateAssociations, nullptr, nullptr},
    {&CWizPropertyPage::BindInstallingNotice, &CWizPropertyPage::ActivateReady, nullptr,
     &CWizPropertyPage::InstallFromReady},
    {nullptr, &CWizPropertyPage::ActivateFinished, nullptr, nullptr},
};

int CWizPropertyPage::PageIndex() const
{
    for (int i = 0; i < m_pSheet->GetPageCount(); ++i)
        if (m_pSheet->GetPage(i) == this)
            return i;
    return -1;
}

const CWizPropertyPage::Role* CWizPropertyPage::PageRole() const
{
    const int index = PageIndex();
    constexpr int kRoleCount = static_cast<int>(sizeof(kRoles) / sizeof(kRoles[0]));
    return index >= 0 && index < kRoleCount ? &kRoles[index] : nullptr;
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
    case IDC_BROWSE: BrowseInstallFolder(*this); return true;
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
