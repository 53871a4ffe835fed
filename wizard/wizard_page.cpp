#include "wizard/wizard_page.h"

#include "app/browse_folder.h"
#include "res/resource.h"
#include "wizard/wizard_sheet.h"

int CWizPropertyPage::PageIndex() const
{
    for (int i = 0; i < m_pSheet->GetPageCount(); ++i)
        if (m_pSheet->GetPage(i) == this)
            return i;
    return -1;
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
    const int index = PageIndex();
    if (index == kWelcomePage)
        BindEulaLink();
    else if (index == kReadyPage)
        BindInstallingNotice();
}

bool CWizPropertyPage::OnSetActive()
{
    switch (PageIndex()) {
    case kWelcomePage: ActivateWelcome(); break;
    case kWhatsNewPage: LoadReleaseNotes(); break;
    case kAssociationsPage: ActivateAssociations(); break;
    case kReadyPage: ActivateReady(); break;
    case kFinishedPage: ActivateFinished(); break;
    }
    return PropertyPage::OnSetActive();
}

int CWizPropertyPage::OnWizardBack()
{
    return GetAdjacentPageId(false);
}

int CWizPropertyPage::OnWizardNext()
{
    const int index = PageIndex();
    // A refused folder keeps the Welcome page as it was, its Back button disabled.
    if (index == kWelcomePage && !WelcomeFolderIsValid())
        return -1;
    m_pSheet->EnableButton(ModalPropertySheet::kBackButton, true);
    if (index == kReadyPage) {
        if (int elsewhere = InstallFromReady())
            return elsewhere;
    }
    if (index == m_pSheet->GetPageCount() - 1)
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
