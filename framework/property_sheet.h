#pragma once
// A wizard-mode property sheet run modally. Windows gives the sheet's creation callback no
// user data, so the first page to be created attaches the sheet object to its window.
#include "framework/property_page.h"

#include <windows.h>

class ModalPropertySheet : public PageOwner {
public:
    static constexpr int kMaxPages = 8;
    // Sheet buttons, by control id on the sheet window.
    static constexpr int kBackButton = 0x3023;
    static constexpr int kNextButton = 0x3024;
    static constexpr int kCancelButton = IDCANCEL;

    explicit ModalPropertySheet(const wchar_t* caption) : m_caption(caption) {}
    virtual ~ModalPropertySheet() = default;
    ModalPropertySheet(const ModalPropertySheet&) = delete;
    ModalPropertySheet& operator=(const ModalPropertySheet&) = delete;

    void AddPage(PropertyPage* page);
    void RemoveAllPages() { m_pageCount = 0; }
    // Shows the sheet and returns when it ends.
    INT_PTR DoModal(HWND owner);

    HWND Window() const { return m_window; }
    int GetPageCount() const { return m_pageCount; }
    PropertyPage* GetPage(int index) const { return index >= 0 && index < m_pageCount ? m_pages[index] : nullptr; }
    int GetActiveIndex() const;
    void EnableButton(int id, bool enable) { EnableWindow(GetDlgItem(m_window, id), enable ? TRUE : FALSE); }
    // Makes button `id` the one Enter presses, once the sheet has done what it is doing.
    void SetDefaultButton(int id) { PostMessageW(m_window, DM_SETDEFID, static_cast<WPARAM>(id), 0); }
    // Destroys the sheet window, which ends the modal run, once the message being handled has
    // returned: the sheet still uses its page after a page's notification.
    void DestroyAfterNotification() { PostMessageW(m_window, kDestroyMessage, 0, 0); }

    // A page's window exists: the sheet attaches itself to its parent once.
    void OnPageCreated(HWND pageWindow) override;

protected:
    // OnInitDialog: the sheet has finished its own initialisation; runs before any input.
    virtual void OnInitDialog() {}
    // OnCommand: true = consumed; false = the sheet's own handling follows.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam) { (void)wParam; (void)lParam; return false; }
    // OnSysCommand: true = consumed; false = the sheet's own handling follows.
    virtual bool OnSysCommand(WPARAM command) { (void)command; return false; }
    // OnDpiChanged: the sheet moved to a screen of `dpi` and has taken the rectangle Windows
    // suggested; remake what the program drew for the old one.
    virtual void OnDpiChanged(UINT dpi) { (void)dpi; }
    // Hands a command to the sheet's own handling (Cancel ends the sheet).
    LRESULT DefaultCommand(WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);

    static constexpr UINT kInitDoneMessage = WM_APP + 1;
    static constexpr UINT kDestroyMessage = WM_APP + 2;

    const wchar_t* m_caption;
    PropertyPage* m_pages[kMaxPages] = {};
    int m_pageCount = 0;
    HWND m_window = nullptr;
};
