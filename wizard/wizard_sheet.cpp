#include "wizard/wizard_sheet.h"

#include "model/messages.h"
#include "framework/text.h"
#include "model/running_product.h"
#include "shell/signed_in_user_start.h"
#include "variants/variant.h"
#include "wizard/message_box.h"

#include <commctrl.h>

// The title is there from the start: the Welcome page may show a message before the sheet
// has finished its initialisation.
CWizPropertySheet::CWizPropertySheet() : ModalPropertySheet(variant::kSetupTitle)
{
    CopyText(m_szTitle, variant::kSetupTitle);
}

namespace {

HFONT CreateHeadingFont(int dpi)
{
    LOGFONTW description{};
    description.lfHeight = CWizPropertySheet::HeadingHeight(dpi);
    description.lfWeight = FW_BOLD;
    description.lfQuality = ANTIALIASED_QUALITY;
    CopyText(description.lfFaceName, L"Arial");
    return CreateFontIndirectW(&description);
}

constexpr int kHeadlines[] = {IDC_WELCOME_HEADLINE, IDC_READY_HEADLINE, IDC_FINISHED_HEADLINE};

}  // namespace

void CWizPropertySheet::SetHeadingFont(HWND headline)
{
    SendMessageW(headline, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontHeading.Get()), TRUE);
}

void CWizPropertySheet::SetTip(HWND tool, const wchar_t* text)
{
    if (!m_tips || !IsWindow(m_tips))
        m_tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(), nullptr, nullptr, nullptr);
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t*>(text);
    // Tips as wide as the screen allows wrap instead of running off it.
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
    SendMessageW(m_tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));  // a tool of an earlier text
    SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CWizPropertySheet::OnInitDialog()
{
    CopyText(m_szTitle, variant::kSetupTitle);
    wchar_t exitText[64];
    LoadMessage(IDS_EXIT, exitText, 64);
    SetDlgItemTextW(Window(), kCancelButton, exitText);
    SetWindowTextW(Window(), m_szTitle);
    // A sheet opened on a screen of its own scale is made at that screen's DPI.
    UseDpi(WindowDpi(Window()));
}

bool CWizPropertySheet::ConfirmExit()
{
    return ShowSetupMessage(Window(), IDS_EXIT_SETUP, m_szTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CWizPropertySheet::BeginRun(int dpi)
{
    m_dpi = dpi;
    m_fontHeading.Reset(CreateHeadingFont(dpi));
    m_hAssocList = nullptr;
    m_installed = false;
    m_exitRequested = false;
    m_pointedTypes = false;
    m_installedFolder[0] = L'\0';
}

void CWizPropertySheet::MarkInstalled(const wchar_t* folder, bool pointedTypes, SetupExitCode outcome)
{
    m_installed = true;
    m_outcome = outcome;
    m_pointedTypes = pointedTypes;
    CopyText(m_installedFolder, folder);
}

// Windows rescales the templates' controls and their font; what the program made itself is
// made again for the new screen: the heading font, the notice's font, the link's fonts and
// the list's columns.
void CWizPropertySheet::OnDpiChanged(UINT dpi)
{
    UseDpi(static_cast<int>(dpi));
}

void CWizPropertySheet::UseDpi(int dpi)
{
    const int previous = m_dpi;
    m_dpi = dpi;
    if (m_dpi <= 0 || m_dpi == previous)
        return;
    m_fontHeading.Reset(CreateHeadingFont(m_dpi));
    for (int index = 0; index < GetPageCount(); ++index)
        for (int id : kHeadlines)
            if (HWND headline = GetDlgItem(GetPage(index)->Window(), id))
                SetHeadingFont(headline);
    if (m_textInstalling.Window())
        m_textInstalling.SetFontHeight(HeadingHeight(m_dpi));
    m_linkEula.ScaleFonts(m_dpi, previous);
    if (m_hAssocList)
        for (int column = 0; column < 2; ++column)
            ListView_SetColumnWidth(m_hAssocList, column,
                                    MulDiv(ListView_GetColumnWidth(m_hAssocList, column), m_dpi, previous));
}

bool CWizPropertySheet::OnCommand(WPARAM wParam, LPARAM)
{
    if (LOWORD(wParam) != kCancelButton)
        return false;
    if (GetActiveIndex() == kFinishedPage) {
        // Done runs the chosen actions; Esc (which sends the same command) only closes. The sheet's
        // own Cancel handling then ends the wizard.
        if (GetKeyState(VK_ESCAPE) >= 0)
            RunFinishActions();
        return false;
    }
    return !AskToLeave();
}

bool CWizPropertySheet::AskToLeave()
{
    if (m_exitRequested || !ConfirmExit())
        return false;
    if (!m_install.Running())
        return true;
    // The install stops before it replaces anything, puts back what it made, and then the wizard ends.
    m_exitRequested = true;
    m_install.RequestStop();
    EnableButton(kCancelButton, false);
    return false;
}

void CWizPropertySheet::EndWizard()
{
    DefaultCommand(MAKEWPARAM(kCancelButton, BN_CLICKED), 0);
}

bool CWizPropertySheet::OnSysCommand(WPARAM command)
{
    if (command != SC_CLOSE)
        return false;
    // Cancelled here directly: the close box would otherwise come back as Cancel, ask a
    // second time, or on the last page run the finish actions. There it asks nothing.
    if (GetActiveIndex() == kFinishedPage || AskToLeave())
        EndWizard();
    return true;
}

void CWizPropertySheet::RunFinishActions()
{
    const PropertyPage* finished = GetPage(kFinishedPage);
    wchar_t notOpened[2 * MAX_PATH] = L"";  // told once, for both
    if (finished->IsChecked(IDC_OPEN_FAQ)) {
        wchar_t faq[128];
        FormatText(faq, 128, L"%ls/faq.htm", kProductSite);
        if (!OpenAsSignedInUser(faq, nullptr))
            FormatText(notOpened, 2 * MAX_PATH, L"%ls\n", faq);
    }
    wchar_t program[MAX_PATH];
    // A folder too long for the program's path is not started at all.
    const bool starts = finished->IsChecked(IDC_START_PRODUCT) && CopyText(program, m_installedFolder)
                        && AppendBackslash(program) && AppendText(program, variant::kMainProgram);
    if (starts && !OpenAsSignedInUser(program, nullptr)) {
        AppendText(notOpened, 2 * MAX_PATH, program);
        AppendText(notOpened, 2 * MAX_PATH, L"\n");
    }
    if (notOpened[0] != L'\0')
        TellNotOpened(Window(), notOpened);
    if (!starts)
        return;
    Sleep(50);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (HWND product = FindProductWindow()) {
            SetForegroundWindow(product);
            return;
        }
        Sleep(500);
    }
}
