#pragma once
// The setup wizard: one sheet of five pages, the exit prompt, the close box and the
// actions of the Done button.
#include "model/exit_codes.h"
#include "model/install_options.h"
#include "framework/gdi_handles.h"
#include "framework/property_sheet.h"
#include "res/resource.h"
#include "wizard/color_static.h"
#include "wizard/hyperlink.h"
#include "wizard/notes_box.h"
#include "wizard/wizard_page.h"

#include <windows.h>

// The product web site the links lead to.
inline constexpr wchar_t kProductSite[] = L"https://www.pictarn.com";

class CWizPropertySheet : public ModalPropertySheet {
public:
    CWizPropertySheet();

    GdiFont m_fontHeading;
    HWND m_hAssocList = nullptr;
    CHyperLink m_linkEula;
    CXColorStatic m_textInstalling;
    NotesBox m_notesBox;
    wchar_t m_szTitle[260] = {};

    // Starts an interactive run on a screen of `dpi`: the heading font, no list yet, nothing
    // installed.
    void BeginRun(int dpi);
    // The Ready page's install went through into `folder` (trimmed, absolute), with `outcome`
    // (installed, or not everything made); `pointedTypes`: rows were chosen and the question
    // answered Yes.
    void MarkInstalled(const wchar_t* folder, bool pointedTypes, SetupExitCode outcome);
    // True once the install went through.
    bool Installed() const { return m_installed; }
    // The run's exit code: the install's outcome, or "left the wizard".
    SetupExitCode Outcome() const { return m_installed ? m_outcome : kExitLeftWizard; }
    // The install pointed file types at the product: Windows' own defaults page follows the
    // wizard, where Windows 8 and later let only the user make that choice.
    bool HandsOffDefaults() const { return m_installed && m_pointedTypes; }
    // Gives a headline static the heading font.
    void SetHeadingFont(HWND headline);
    // The cell height of the headlines and the notice on a screen of `dpi`.
    static int HeadingHeight(int dpi) { return MulDiv(18, dpi, 96); }
    // The screen the program's own fonts are made for.
    int Dpi() const { return m_dpi; }

protected:
    void OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnSysCommand(WPARAM command) override;
    void OnDpiChanged(UINT dpi) override;

private:
    bool ConfirmExit();
    // Makes the heading, notice and link fonts and the list's columns again for `dpi`.
    void UseDpi(int dpi);
    void RunFinishActions();

    bool m_installed = false;
    bool m_pointedTypes = false;
    SetupExitCode m_outcome = kExitInstalled;
    int m_dpi = 96;  // the screen the program's own fonts are made for
    // Where Done starts the product.
    wchar_t m_installedFolder[kFolderBufferSize] = {};
};
