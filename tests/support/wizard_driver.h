#pragma once
// Drives the real setup program's wizard from another process, the way a person would:
// clicks, typing, reading states and texts, answering message boxes.
#include <windows.h>

#include <string>
#include <vector>

// Windows' own ids of the sheet's Back and Next buttons.
constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;

class WizardDriver {
public:
    // Starts the setup program (no "/silent") from `startFolder` and waits for its sheet.
    WizardDriver(const std::wstring& arguments, const std::wstring& startFolder,
                 const std::wstring& program = L"");
    ~WizardDriver();
    WizardDriver(const WizardDriver&) = delete;
    WizardDriver& operator=(const WizardDriver&) = delete;

    bool Started() const { return m_sheet != nullptr; }
    HWND Sheet() const { return m_sheet; }
    // The active page's index (0 Welcome ... 4 Finished), -1 when there is none.
    int PageIndex() const;
    HWND Page() const;
    HWND Item(int id) const { return GetDlgItem(Page(), id); }
    HWND SheetButton(int id) const { return GetDlgItem(m_sheet, id); }

    // Each action waits until the program has handled it, or at most `timeoutMs`: an action
    // that opens a message box returns while the box is open.
    void Next(DWORD timeoutMs = 5000);
    void Back();
    // Clicks a control of the active page.
    void Click(int id, DWORD timeoutMs = 5000);
    // A sheet button as a click sends it (Exit/Done is IDCANCEL), and the close box; both return
    // at once, so follow them with WaitForMessageBox or WaitForExit.
    void PressSheetButton(int id);
    void CloseBox();
    // Presses and lets go key `key` as the keyboard would, with the sheet (or its open message box) in front.
    void PressKey(WORD key);
    // The id of the control with the keyboard focus (the sheet's buttons by theirs), 0 when none.
    int FocusedId() const;
    // Presses Tab until the focus is back where it started: the ids in the order Tab visits them.
    std::vector<int> TabCycle();
    void SetText(int id, const std::wstring& text);
    std::wstring Text(HWND window) const;
    std::wstring Text(int id) const { return Text(Item(id)); }
    bool Checked(int id) const;

    // A message box of the program: waits for it, returns its text ("" when none came).
    std::wstring WaitForMessageBox(DWORD timeoutMs = 10000);
    // Answers the open message box with IDOK, IDYES or IDNO.
    void Answer(int button);
    bool MessageBoxOpen() const;
    // Waits until the active page is `index`.
    bool WaitForPage(int index, DWORD timeoutMs = 60000) const;
    // Waits for the program to end; its exit code, or -1.
    int WaitForExit(DWORD timeoutMs = 90000);

    // The list view of the active page, read across the process boundary.
    int ListCount(int id) const;
    bool ListRowChecked(int id, int row) const;
    std::wstring ListText(int id, int row, int column) const;

private:
    HWND FindMessageBox() const;
    void SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) const;
    void Settle() const;

    PROCESS_INFORMATION m_process{};
    HWND m_sheet = nullptr;
};

// The caption the sheet shows in this build.
std::wstring SheetCaption();

// Saves what the screen shows of the sheet as a 24-bit BMP file; false when it could not.
bool CaptureWindow(HWND window, const std::wstring& path);
