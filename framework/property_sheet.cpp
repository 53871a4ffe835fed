#include "framework/property_sheet.h"

#include <commctrl.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

void ModalPropertySheet::AddPage(PropertyPage* page)
{
    if (m_pageCount < kMaxPages) {
        m_pages[m_pageCount++] = page;
        page->SetOwner(this);
    }
}

INT_PTR ModalPropertySheet::DoModal(HWND owner)
{
    PROPSHEETPAGEW descriptors[kMaxPages];
    HPROPSHEETPAGE handles[kMaxPages];
    for (int i = 0; i < m_pageCount; ++i) {
        descriptors[i] = m_pages[i]->Descriptor();
        // A wizard shows the active page's title: each page carries the sheet's, so none blanks it.
        descriptors[i].dwFlags |= PSP_USETITLE;
        descriptors[i].pszTitle = m_caption;
        handles[i] = CreatePropertySheetPageW(&descriptors[i]);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD;
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = m_caption;
    header.nPages = static_cast<UINT>(m_pageCount);
    header.phpage = handles;
    INT_PTR result = PropertySheetW(&header);
    m_window = nullptr;
    return result;
}

int ModalPropertySheet::GetActiveIndex() const
{
    HWND page = PropSheet_GetCurrentPageHwnd(m_window);
    return static_cast<int>(SendMessageW(m_window, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

void ModalPropertySheet::OnPageCreated(HWND pageWindow)
{
    if (m_window)
        return;
    m_window = GetParent(pageWindow);
    SetWindowSubclass(m_window, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    // The sheet sets its own caption and buttons after creating the first page; ours follow.
    PostMessageW(m_window, kInitDoneMessage, 0, 0);
}

LRESULT ModalPropertySheet::DefaultCommand(WPARAM wParam, LPARAM lParam)
{
    return DefSubclassProc(m_window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK ModalPropertySheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self)
{
    auto* sheet = reinterpret_cast<ModalPropertySheet*>(self);
    switch (message) {
    case kInitDoneMessage:
        sheet->OnInitDialog();
        return 0;
    case kDestroyMessage:
        DestroyWindow(window);
        return 0;
    case WM_COMMAND:
        if (sheet->OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_SYSCOMMAND:
        if (sheet->OnSysCommand(wParam & 0xFFF0))
            return 0;
        break;
    case WM_DPICHANGED: {
        // Windows rescales the templates' controls; the size it suggests keeps the sheet's
        // place on the new screen.
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        sheet->OnDpiChanged(LOWORD(wParam));
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SubclassProc, 0);
        sheet->m_window = nullptr;
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
