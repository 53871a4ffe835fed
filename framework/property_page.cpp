#include "framework/property_page.h"

#include "framework/subclassed_control.h"

PROPSHEETPAGEW PropertyPage::Descriptor()
{
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(m_templateId);
    page.pfnDlgProc = DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

void PropertyPage::ItemText(int id, wchar_t* out, int outSize) const
{
    out[0] = L'\0';
    GetDlgItemTextW(m_window, id, out, outSize);
}

void PropertyPage::OnInitDialog()
{
    DoDataExchange();
}

bool PropertyPage::OnSetActive()
{
    if (m_activatedBefore)
        DoDataExchange();
    m_activatedBefore = true;
    return true;
}

INT_PTR PropertyPage::OnNotify(HWND window, const NMHDR& header)
{
    LONG_PTR result = 0;
    switch (header.code) {
    case PSN_SETACTIVE: result = OnSetActive() ? 0 : -1; break;
    case PSN_KILLACTIVE: DoDataExchange(); result = FALSE; break;
    case PSN_WIZNEXT: result = OnWizardNext(); break;
    case PSN_WIZBACK: result = OnWizardBack(); break;
    default: return FALSE;
    }
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<PropertyPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->m_window = window;
        if (page->m_owner)
            page->m_owner->OnPageCreated(window);
        page->OnInitDialog();
        return TRUE;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!page)
        return FALSE;
    switch (message) {
    case WM_NOTIFY:
        return page->OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
        // Our own controls colour themselves; the rest get the dialog's default.
        return static_cast<INT_PTR>(ReflectToChild(window, message, wParam, lParam));
    case WM_COMMAND:
        if (ReflectToChild(window, message, wParam, lParam))
            return TRUE;
        return page->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NCDESTROY:
        page->m_window = nullptr;
        return FALSE;
    }
    if (message >= WM_APP && message <= 0xBFFF) {
        page->OnAppMessage(message, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}
