#pragma once
// One page of a wizard-mode property sheet, made from a dialog template. The page object is
// handed to Windows once (PROPSHEETPAGEW.lParam) and found again through DWLP_USER.
#include <windows.h>
#include <prsht.h>

// Whoever holds the pages learns of each page window as it is created (the sheet window is
// its parent), so the page needs to know nothing of the sheet.
class PageOwner {
public:
    // OnPageCreated: a page's window exists; called before the page's own OnInitDialog.
    virtual void OnPageCreated(HWND pageWindow) = 0;

protected:
    ~PageOwner() = default;
};

class PropertyPage {
public:
    explicit PropertyPage(UINT templateId) : m_templateId(templateId) {}
    virtual ~PropertyPage() = default;
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;

    UINT TemplateId() const { return m_templateId; }
    HWND Window() const { return m_window; }
    HWND Item(int id) const { return GetDlgItem(m_window, id); }
    bool IsChecked(int id) const { return IsDlgButtonChecked(m_window, id) == BST_CHECKED; }
    void SetChecked(int id, bool checked) { CheckDlgButton(m_window, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    // Reads an item's text into `out` (size in characters, terminator included).
    void ItemText(int id, wchar_t* out, int outSize) const;
    void SetItemText(int id, const wchar_t* text) { SetDlgItemTextW(m_window, id, text); }
    void EnableItem(int id, bool enable) { EnableWindow(Item(id), enable ? TRUE : FALSE); }

    // The descriptor the sheet passes to Windows; it points back at this object.
    PROPSHEETPAGEW Descriptor();
    // Set by the sheet when the page is added.
    void SetOwner(PageOwner* owner) { m_owner = owner; }

protected:
    // OnInitDialog: the page's window exists; runs DoDataExchange.
    virtual void OnInitDialog();
    // DoDataExchange: binds controls; runs at creation, on later activations and on leaving.
    virtual void DoDataExchange() {}
    // OnSetActive: true = show the page, false = refuse it. The base exchanges data on every
    // activation but the first.
    virtual bool OnSetActive();
    // OnWizardNext / OnWizardBack: template id = go there, -1 = stay, 0 = the sheet's default.
    virtual int OnWizardNext() { return 0; }
    virtual int OnWizardBack() { return 0; }
    // OnCommand: a control's command; true = handled.
    virtual bool OnCommand(int id, int code) { (void)id; (void)code; return false; }
    // OnAppMessage: a message of the program's own (WM_APP and above), sent or posted to the page.
    virtual void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) { (void)message; (void)wParam; (void)lParam; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The answer to a sheet notification; the one place DWLP_MSGRESULT is written.
    INT_PTR OnNotify(HWND window, const NMHDR& header);

    UINT m_templateId;
    PageOwner* m_owner = nullptr;
    HWND m_window = nullptr;
    bool m_activatedBefore = false;
};
