#pragma once
// The setup wizard: one sheet of five pages, the exit prompt, the close box and the
// actions of the Done button.
#include "model/exit_codes.h"
#include "model/install_options.h"
#include "framework/gdi_handles.h"
#include "framework/property_sheet.h"
#include "res/resource.h"
#include "wizard/color_static.h"
#include "shell/earlier_choices.h"
#include "wizard/hyperlink.h"
#include "wizard/install_worker.h"
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
    InstallWorker m_install;
    // The choices of the installation this run updates; m_updating says there is one.
    EarlierChoices m_earlier;
    bool m_updating = false;
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
    // Exit was confirmed while the install ran: the wizard ends once the install has.
    bool ExitRequested() const { return m_exitRequested; }
    // Ends the wizard now, as Exit does, without asking.
    void EndWizard();
    // Shows `text` as the tip of control `tool` while the pointer rests on it.
    void SetTip(HWND tool, const wchar_t* text);
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
    // Exit, Esc or the close box: asks, and stops the install when it runs; true = end now.
    bool AskToLeave();
    // Makes the heading, notice and link fonts and the list's columns again for `dpi`.
    void UseDpi(int dpi);
    void RunFinishActions();

    bool m_installed = false;
    bool m_pointedTypes = false;
    SetupExitCode m_outcome = kExitInstalled;
    int m_dpi = 96;  // the screen the program's own fonts are made for
    HWND m_tips = nullptr;
    bool m_exitRequested = false;  // the tooltip window, owned by the sheet's window and gone with it
    // Where Done starts the product.
    wchar_t m_installedFolder[kFolderBufferSize] = {};
};
