#pragma once
// The setup wizard: one sheet of five pages, the exit prompt, the close box and the
// actions of the Done button.
#include "model/install_options.h"
#include "framework/gdi_handles.h"
#include "framework/property_sheet.h"
#include "res/resource.h"
#include "wizard/color_static.h"
#include "wizard/hyperlink.h"

#include <windows.h>

// Page positions in the sheet, and the product web site the links lead to.
inline constexpr int kWelcomePage = 0;
inline constexpr int kWhatsNewPage = 1;
inline constexpr int kAssociationsPage = 2;
inline constexpr int kReadyPage = 3;
inline constexpr int kFinishedPage = 4;
inline constexpr wchar_t kProductSite[] = L"https://www.pictarn.com";

class CWizPropertySheet : public ModalPropertySheet {
public:
    CWizPropertySheet();

    GdiFont m_fontHeading;
    HWND m_hAssocList = nullptr;
    CHyperLink m_linkEula;
    CXColorStatic m_textInstalling;
    wchar_t m_szTitle[260] = {};

    // Starts an interactive run: takes the heading font, no list yet, nothing installed.
    void BeginRun(HFONT headingFont);
    // The Ready page's install succeeded into `folder` (trimmed, absolute).
    void MarkInstalled(const wchar_t* folder);
    // True once the install succeeded: the run then ends with "installed".
    bool Installed() const { return m_installed; }
    // Gives a headline static the heading font.
    void SetHeadingFont(HWND headline);

protected:
    void OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnSysCommand(WPARAM command) override;

private:
    bool ConfirmExit();
    void RunFinishActions();

    bool m_installed = false;
    // Where Done starts the product.
    wchar_t m_installedFolder[kFolderBufferSize] = {};
};
