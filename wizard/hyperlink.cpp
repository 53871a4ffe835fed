#include "wizard/hyperlink.h"

#include "framework/accessible_link.h"
#include "framework/handles.h"
#include "framework/system_colours.h"
#include "framework/text.h"
#include "framework/registry.h"
#include "shell/signed_in_user_start.h"
#include "wizard/message_box.h"

#include <shellapi.h>

#include <cwchar>

namespace {

// Registered class names and commands are read with this limit, terminator included.
constexpr DWORD kRegisteredValueBytes = 260;
constexpr WORD kHandCursorId = 106;
constexpr UINT kHoverPeriodMs = 100;
// Leaving repaints this much below the client area too, so no trace of the hover look is left.
constexpr int kHoverRepaintBelow = 10;

SIZE TextExtent(HWND window, HFONT font)
{
    wchar_t text[kLinkTextSize] = {};
    int length = GetWindowTextW(window, text, kLinkTextSize);
    SIZE extent{};
    ClientDc dc(window);
    HGDIOBJ previous = SelectObject(dc.Get(), font);
    GetTextExtentPoint32W(dc.Get(), text, length, &extent);
    SelectObject(dc.Get(), previous);
    return extent;
}

// A key's default string under HKEY_CLASSES_ROOT; 0 when the key, the value or the room is missing.
int ReadClassDefault(const wchar_t* subKey, wchar_t* out, size_t outSize)
{
    return ReadStringValue(HKEY_CLASSES_ROOT, subKey, nullptr, kRegisteredValueBytes, out, outSize);
}

// The command that opens `url` in the browser registered for ".htm" pages; 0 when there is none.
int RegisteredBrowserCommand(const wchar_t* url, wchar_t* out, size_t outSize)
{
    wchar_t key[kLinkTextSize];
    if (!ReadClassDefault(L".htm", key, kLinkTextSize) || !AppendText(key, L"\\shell\\open\\command"))
        return 0;
    wchar_t registered[kLinkTextSize];
    if (!ReadClassDefault(key, registered, kLinkTextSize))
        return 0;
    return BuildBrowserCommand(registered, url, out, outSize);
}

POINT LastMessagePosition()
{
    DWORD position = GetMessagePos();
    return POINT{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
}

}  // namespace

int BuildBrowserCommand(const wchar_t* registeredCommand, const wchar_t* url, wchar_t* out, size_t outSize)
{
    if (outSize == 0)
        return 0;
    const wchar_t* cut = wcsstr(registeredCommand, L"\"%1\"");
    if (!cut)
        cut = wcsstr(registeredCommand, L"%1");
    size_t kept = cut ? static_cast<size_t>(cut - registeredCommand) : wcslen(registeredCommand);
    // The blank that usually stands before the placeholder already separates the address.
    bool needsBlank = kept == 0 || registeredCommand[kept - 1] != L' ';
    int fits = CopyTextN(out, outSize, registeredCommand, kept)
               && (!needsBlank || AppendText(out, outSize, L" "))
               && AppendText(out, outSize, url);
    if (!fits)
        out[0] = L'\0';
    return fits;
}

int CHyperLink::SetUrl(const wchar_t* url)
{
    wchar_t stored[kLinkTextSize];
    if (!CopyText(stored, url))
        return 0;
    CopyText(m_url, stored);
    FitToText();
    return 1;
}

void CHyperLink::MakeFonts(LOGFONTW description)
{
    description.lfUnderline = FALSE;
    m_fontPlain.Reset(CreateFontIndirectW(&description));
    description.lfUnderline = TRUE;
    m_fontUnderlined.Reset(CreateFontIndirectW(&description));
    FitToText();
}

void CHyperLink::ScaleFonts(int dpi, int previousDpi)
{
    if (!Window() || !m_fontPlain || previousDpi <= 0)
        return;
    LOGFONTW description{};
    GetObjectW(m_fontPlain.Get(), sizeof(description), &description);
    // Scaled from the first font each time, so steps from screen to screen add no rounding.
    if (m_baseDpi == 0) {
        m_baseDpi = previousDpi;
        m_baseHeight = description.lfHeight;
    }
    description.lfHeight = MulDiv(m_baseHeight, dpi, m_baseDpi);
    description.lfWidth = 0;
    MakeFonts(description);
    const bool underlined = m_underlineMode == 1 || (m_underlineMode == -1 && m_hovering);
    SetControlFont(underlined ? m_fontUnderlined.Get() : m_fontPlain.Get());
}

void CHyperLink::SetUnderlineMode(int mode)
{
    if (mode == m_underlineMode)
        return;
    if (Window()) {
        SetControlFont(mode == 1 ? m_fontUnderlined.Get() : m_fontPlain.Get());
        InvalidateRect(Window(), nullptr, TRUE);
    }
    m_underlineMode = mode;
}

void CHyperLink::FitToText()
{
    HWND window = Window();
    if (!window)
        return;
    RECT bounds;
    GetWindowRect(window, &bounds);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
    RECT client;
    GetClientRect(window, &client);
    SIZE text = TextExtent(window, m_fontUnderlined.Get());
    // Border and frame stay as they are around the text.
    int width = text.cx + (bounds.right - bounds.left) - client.right;
    int height = text.cy + (bounds.bottom - bounds.top) - client.bottom;

    LONG style = GetWindowLongW(window, GWL_STYLE);
    if (style & SS_CENTERIMAGE) {
        int shrink = ((bounds.bottom - bounds.top) - height) / 2;
        bounds.top += shrink;
        bounds.bottom -= shrink;
    } else {
        bounds.bottom = bounds.top + height;
    }
    if (style & SS_CENTER) {
        int shrink = ((bounds.right - bounds.left) - width) / 2;
        bounds.left += shrink;
        bounds.right -= shrink;
    } else if (style & SS_RIGHT) {
        bounds.left = bounds.right - width;
    } else {
        bounds.right = bounds.left + width;
    }
    SetWindowPos(window, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CHyperLink::LoadHandCursor()
{
    if (m_cursorHand)
        return;
    // By full path in the Windows folder, never found through the search path.
    wchar_t path[MAX_PATH];
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendBackslash(path) || !AppendText(path, L"winhlp32.exe"))
        return;
    // Only its resources are wanted, so it is mapped as data and none of its code is prepared.
    LibraryModule help(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!help)
        return;
    HCURSOR shared = LoadCursorW(help.Get(), MAKEINTRESOURCEW(kHandCursorId));
    if (shared)
        m_cursorHand.Reset(CopyCursor(shared));
}

void CHyperLink::DestroyWindow()
{
    if (!Window())
        return;
    KillTimer(Window(), m_hoverTimerId);
    ::DestroyWindow(Window());
}

bool CHyperLink::OpenUrl(const wchar_t* url)
{
    if (OpenAsSignedInUser(url, nullptr))
        return true;
    if (!MayOpenWithOwnRights())
        return false;
    wchar_t command[kLinkTextSize];
    if (!RegisteredBrowserCommand(url, command, kLinkTextSize))
        return false;
    // WinExec takes ANSI text; a double-byte code page may need two bytes a character.
    char ansiCommand[kLinkTextSize * 2];
    if (!WideCharToMultiByte(CP_ACP, 0, command, -1, ansiCommand, sizeof(ansiCommand), nullptr, nullptr))
        return false;
    return WinExec(ansiCommand, SW_SHOW) > 31;
}

void CHyperLink::PreSubclassWindow()
{
    HWND window = Window();
    // Without SS_NOTIFY a static sends no STN_CLICKED.
    SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | SS_NOTIFY);

    wchar_t text[kLinkTextSize] = {};
    GetWindowTextW(window, text, kLinkTextSize);
    if (m_url[0] == L'\0')
        CopyText(m_url, text);
    if (text[0] == L'\0')
        SetWindowTextW(window, m_url);

    MakeFonts(ControlFontDescription(window));
    LoadHandCursor();
    SetUnderlineMode(-1);
}

LRESULT CHyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kReflectedMessageBase + WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
    case kReflectedMessageBase + WM_COMMAND:
        if (HIWORD(wParam) != STN_CLICKED)
            break;
        OnClicked();
        return 1;
    case WM_SETCURSOR:
        // No default: without the hand the link leaves the pointer as it is.
        return OnSetCursor();
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;
    case WM_TIMER:
        OnTimer();
        break;
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_GETDLGCODE:
        return OnGetDlgCode(reinterpret_cast<const MSG*>(lParam));
    case WM_KEYDOWN:
        if (wParam != VK_RETURN && wParam != VK_SPACE)
            break;
        OnClicked();
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Window(), nullptr, TRUE);
        break;
    case WM_PAINT: {
        const LRESULT painted = DefaultProc(message, wParam, lParam);
        DrawFocus();
        return painted;
    }
    case WM_GETOBJECT:
        if (LRESULT answer = AnswerAsLink(Window(), wParam, lParam))
            return answer;
        break;
    case WM_DESTROY:
        KillTimer(Window(), m_hoverTimerId);
        m_hovering = 0;
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

LRESULT CHyperLink::OnGetDlgCode(const MSG* message) const
{
    if (message && message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_SPACE))
        return DLGC_WANTMESSAGE;
    return 0;
}

// The dotted frame a focused control shows, drawn over what the static painted.
void CHyperLink::DrawFocus()
{
    if (GetFocus() != Window())
        return;
    RECT client;
    GetClientRect(Window(), &client);
    ClientDc dc(Window());
    DrawFocusRect(dc.Get(), &client);
}

HBRUSH CHyperLink::CtlColor(HDC dc) const
{
    COLORREF color = m_hovering ? m_colorHover : m_visited ? m_colorVisited : m_colorLink;
    ::SetTextColor(dc, ShownColour(color, COLOR_HOTLIGHT, HighContrastOn()));
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

BOOL CHyperLink::OnSetCursor() const
{
    if (!m_cursorHand)
        return FALSE;
    SetCursor(m_cursorHand.Get());
    return TRUE;
}

void CHyperLink::OnMouseMove()
{
    if (m_hovering)
        return;
    m_hovering = 1;
    if (m_underlineMode == -1)
        SetControlFont(m_fontUnderlined.Get());
    InvalidateRect(Window(), nullptr, TRUE);
    // Windows says nothing when the pointer leaves a static, so the link looks for itself.
    SetTimer(Window(), m_hoverTimerId, kHoverPeriodMs, nullptr);
}

void CHyperLink::OnTimer()
{
    POINT pointer = LastMessagePosition();
    ScreenToClient(Window(), &pointer);
    RECT client;
    GetClientRect(Window(), &client);
    if (PtInRect(&client, pointer))
        return;
    m_hovering = 0;
    KillTimer(Window(), m_hoverTimerId);
    if (m_underlineMode != 1)
        SetControlFont(m_fontPlain.Get());
    client.bottom += kHoverRepaintBelow;
    InvalidateRect(Window(), &client, TRUE);
}

void CHyperLink::OnClicked()
{
    m_hovering = 0;
    m_visited = OpenUrl(m_url) ? 1 : 0;
    if (m_visited)
        InvalidateRect(Window(), nullptr, TRUE);
    else
        TellNotOpened(GetAncestor(Window(), GA_ROOT), m_url);
}

BOOL CHyperLink::OnEraseBkgnd(HDC dc) const
{
    RECT client;
    GetClientRect(Window(), &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
}

void CHyperLink::SetControlFont(HFONT font)
{
    SendMessageW(Window(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}
