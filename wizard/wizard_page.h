#pragma once
// The one page class of the wizard: what a page does on binding, activation, Next and Back
// is chosen by its position in the sheet. The work of each page lives in its own file.
#include "model/install_options.h"
#include "framework/property_page.h"

#include <windows.h>

#include <array>
#include <utility>

class CWizPropertySheet;

// The pages in the order of the sheet; each page's template and work are in the page table.
enum WizardPage : int { kWelcomePage, kWhatsNewPage, kAssociationsPage, kReadyPage, kFinishedPage, kWizardPageCount };

class CWizPropertyPage : public PropertyPage {
public:
    explicit CWizPropertyPage(WizardPage page);

    int m_bFirstActivation = 1;
    COLORREF m_crListBk = 0;
    COLORREF m_crListText = 0xFFFFFFFF;  // not saved yet
    int m_bPageEnabled = 1;
    CWizPropertySheet* m_pSheet = nullptr;

    // GetAdjacentPageId: template id of the nearest enabled page after (or before) this one; -1 = none.
    virtual int GetAdjacentPageId(bool forward);

protected:
    void DoDataExchange() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;
    bool OnCommand(int id, int code) override;
    void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // What a page does, by its position in the sheet; a null step does nothing.
    struct Role {
        WizardPage page;
        UINT templateId;
        void (CWizPropertyPage::*bind)();
        void (CWizPropertyPage::*activate)();
        bool (CWizPropertyPage::*accept)();  // Next: false keeps the page as it is
        int (CWizPropertyPage::*leave)();    // Next, once accepted: 0 goes on, else the page to show
    };
    static const Role kRoles[kWizardPageCount];

    int PageIndex() const { return m_page; }
    static const Role& RoleOf(WizardPage page);
    const Role* PageRole() const { return &RoleOf(m_page); }
    CWizPropertyPage* SheetPage(int index) const;
    // Shows message `id` owned by this page with the sheet's title; the button pressed.
    int ShowMessage(unsigned id, UINT type) const;

    // Welcome page.
    void BindEulaLink();
    void ActivateWelcome();
    bool WelcomeFolderIsValid();
    void ShowEarlierChoices();
    void OnShortcutClicked();
    void OnUncheckAll();
    void WarnIfProductRuns();

    // Associations page.
    void ActivateAssociations();
    void EnableAssocList(bool enable, COLORREF background, COLORREF text);
    void GreyOutAssocList();
    void OnRegistryAssocClicked();
    void OnImagesOnly();
    void OnSelectAll();
    void OnSelectNone();
    void ReadAssociationChoice(InstallOptions& options) const;

    // What's new, Ready and Finished pages.
    void BindReleaseNotes();
    void LoadReleaseNotes();
    void BindInstallingNotice();
    void ActivateReady();
    // Starts the install on its own thread and stays: the page moves on once it has ended.
    int InstallFromReady();
    // The install has ended: to Finished when it went through, else back to Welcome.
    void OnInstallEnded();
    void GatherOptions(InstallOptions& options);
    void ActivateFinished();

    WizardPage m_page;
};

// All pages of the wizard, one of each in the sheet's order, added to `sheet`.
class WizardPages {
public:
    explicit WizardPages(CWizPropertySheet& sheet);
    CWizPropertyPage& operator[](WizardPage page) { return m_pages[page]; }

private:
    template <size_t... Page>
    static std::array<CWizPropertyPage, kWizardPageCount> Make(std::index_sequence<Page...>)
    {
        return {CWizPropertyPage(static_cast<WizardPage>(Page))...};
    }

    std::array<CWizPropertyPage, kWizardPageCount> m_pages = Make(std::make_index_sequence<kWizardPageCount>());
};

// Inserts one row of the format list: the label in the first column, the name in the second.
void InsertFormatRow(HWND list, const wchar_t* label, const wchar_t* name, int index);
// Cuts everything after the last letter or digit off the text.
void TrimReleaseNotes(wchar_t* text);
