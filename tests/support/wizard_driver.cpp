#include "support/wizard_driver.h"

#include "support/test_support.h"
#include "variants/variant.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

namespace {

struct BoxSearch {
    DWORD processId;
    HWND sheet;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<BoxSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (owner == search->processId && window != search->sheet && IsWindowVisible(window) &&
        wcscmp(cls, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Memory in the other process for one list-view call.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : m_process(process), m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE))
    {
    }
    ~RemoteBuffer()
    {
        if (m_address)
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    BYTE* Address() const { return static_cast<BYTE*>(m_address); }
    void Write(size_t offset, const void* data, size_t size)
    {
        WriteProcessMemory(m_process, Address() + offset, data, size, nullptr);
    }
    void Read(size_t offset, void* data, size_t size) const
    {
        ReadProcessMemory(m_process, Address() + offset, data, size, nullptr);
    }

private:
    HANDLE m_process;
    void* m_address;
};

}  // namespace

std::wstring SheetCaption()
{
    return variant::kSetupTitle;
}

WizardDriver::WizardDriver(const std::wstring& arguments, const std::wstring& startFolder,
                           const std::wstring& program)
{
    std::wstring command = L"\"" + (program.empty() ? SetupProgramPath() : program) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, startFolder.c_str(), &startup,
                        &m_process))
        return;
    // The sheet is the program's dialog that has a current page.
    for (int i = 0; i < 600 && !m_sheet; ++i) {
        BoxSearch search{m_process.dwProcessId, nullptr, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found && PropSheet_GetCurrentPageHwnd(search.found))
            m_sheet = search.found;
        else
            Sleep(50);
    }
    Settle();
}

WizardDriver::~WizardDriver()
{
    if (m_process.hProcess) {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 99);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

// Sends and waits until the program has handled the message, or gives up waiting after
// `timeoutMs` (a message box the message opened keeps it busy; the program goes on regardless).
void WizardDriver::SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result);
}

void WizardDriver::Settle() const
{
    if (m_sheet)
        SendAndWait(m_sheet, WM_NULL, 0, 0, 2000);
}

HWND WizardDriver::Page() const
{
    return PropSheet_GetCurrentPageHwnd(m_sheet);
}

int WizardDriver::PageIndex() const
{
    HWND page = Page();
    if (!page)
        return -1;
    return static_cast<int>(SendMessageW(m_sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

void WizardDriver::Next(DWORD timeoutMs)
{
    SendAndWait(m_sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0, timeoutMs);
}

void WizardDriver::Back()
{
    SendAndWait(m_sheet, PSM_PRESSBUTTON, PSBTN_BACK, 0, 5000);
}

void WizardDriver::Click(int id, DWORD timeoutMs)
{
    SendAndWait(Item(id), BM_CLICK, 0, 0, timeoutMs);
}

// Posted like a person's click: the sheet's modal loop notices that it has ended only when a
// posted message wakes it, so a sent Cancel could leave it waiting.
void WizardDriver::PressSheetButton(int id)
{
    PostMessageW(m_sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(SheetButton(id)));
}

void WizardDriver::CloseBox()
{
    PostMessageW(m_sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void WizardDriver::PressKey(WORD key)
{
    // The keys go to the program's message box while one is open.
    HWND front = FindMessageBox();
    if (!front)
        front = m_sheet;
    if (GetForegroundWindow() != front) {
        SetForegroundWindow(front);
        Sleep(200);
    }
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    Sleep(150);  // the key arrives through the input queue, after any message sent now
    Settle();
}

int WizardDriver::FocusedId() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(m_sheet, nullptr), &info) || !info.hwndFocus)
        return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

std::vector<int> WizardDriver::TabCycle()
{
    std::vector<int> visited{FocusedId()};
    for (int step = 0; step < 20; ++step) {
        PressKey(VK_TAB);
        const int focused = FocusedId();
        if (focused == visited.front())
            break;
        visited.push_back(focused);
    }
    return visited;
}

void WizardDriver::SetText(int id, const std::wstring& text)
{
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring WizardDriver::Text(HWND window) const
{
    wchar_t text[2048] = {};
    SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

bool WizardDriver::Checked(int id) const
{
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND WizardDriver::FindMessageBox() const
{
    BoxSearch search{m_process.dwProcessId, m_sheet, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WizardDriver::MessageBoxOpen() const
{
    return FindMessageBox() != nullptr;
}

std::wstring WizardDriver::WaitForMessageBox(DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (HWND box = FindMessageBox())
            return Text(GetDlgItem(box, 0xFFFF));
        Sleep(50);
    }
    return L"";
}

void WizardDriver::Answer(int button)
{
    HWND box = FindMessageBox();
    if (!box)
        return;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    for (int i = 0; i < 200 && IsWindow(box); ++i)
        Sleep(50);
}

bool WizardDriver::WaitForPage(int index, DWORD timeoutMs) const
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (PageIndex() == index)
            return true;
        Sleep(50);
    }
    return false;
}

int WizardDriver::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    return static_cast<int>(code);
}

int WizardDriver::ListCount(int id) const
{
    return static_cast<int>(SendMessageW(Item(id), LVM_GETITEMCOUNT, 0, 0));
}

bool WizardDriver::ListRowChecked(int id, int row) const
{
    UINT state = static_cast<UINT>(SendMessageW(Item(id), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return state == INDEXTOSTATEIMAGEMASK(2);
}

std::wstring WizardDriver::ListText(int id, int row, int column) const
{
    constexpr size_t kChars = 256;
    RemoteBuffer remote(m_process.hProcess, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = kChars;
    item.pszText = reinterpret_cast<wchar_t*>(remote.Address() + sizeof(LVITEMW));
    remote.Write(0, &item, sizeof(item));
    SendMessageW(Item(id), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.Address()));
    wchar_t text[kChars] = {};
    remote.Read(sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t));
    return text;
}

bool CaptureWindow(HWND window, const std::wstring& path)
{
    RECT bounds{};
    if (!GetWindowRect(window, &bounds))
        return false;
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
    const DWORD imageBytes = rowBytes * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    bytes.append(static_cast<const char*>(bits), imageBytes);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    WriteBytes(path, bytes);
    return true;
}
