// The wizard's link and notice controls on real static windows: binding, message reflection,
// sizing, fonts, colours, hover, opening an address, and painting read back pixel by pixel.
#include "framework/gdi_handles.h"
#include "framework/subclassed_control.h"
#include "framework/text.h"
#include "support/test_support.h"
#include "wizard/color_static.h"
#include "wizard/hyperlink.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

constexpr COLORREF kLinkBlue = RGB(0, 0, 238);
constexpr COLORREF kVisitedPurple = RGB(85, 26, 139);
constexpr COLORREF kHoverRed = RGB(255, 0, 0);
// What a plain static's parent paints behind it here, so the notice's own background shows.
constexpr COLORREF kParentGreen = RGB(0, 128, 0);

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static GdiBrush green(CreateSolidBrush(kParentGreen));
    if (LRESULT reflected = ReflectToChild(window, message, wParam, lParam))
        return reflected;
    if (message == WM_CTLCOLORSTATIC)
        return reinterpret_cast<LRESULT>(green.Get());
    return DefWindowProcW(window, message, wParam, lParam);
}

LOGFONTW Description(HFONT font)
{
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    return description;
}

LOGFONTW WindowFont(HWND window)
{
    return Description(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
}

std::wstring Text(HWND window)
{
    wchar_t text[kLinkTextSize] = {};
    GetWindowTextW(window, text, kLinkTextSize);
    return text;
}

// Dispatches messages until `done` holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); !done(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (GetTickCount() - start > timeoutMs)
            return done();
    }
    return true;
}

// A shown top-level window whose static children use a 16-pixel Tahoma font.
class ControlWindows : public testing::Test {
protected:
    ControlWindows()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PtControlsTestParent";
        RegisterClassW(&windowClass);
        // Never active: Wine without a window manager waits two seconds when an active window goes.
        m_parent = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP,
                                   100, 100, 500, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
        ShowWindow(m_parent, SW_SHOWNOACTIVATE);
        LOGFONTW description{};
        description.lfHeight = -16;
        CopyText(description.lfFaceName, L"Tahoma");
        m_font.Reset(CreateFontIndirectW(&description));
    }
    ~ControlWindows() override { DestroyWindow(m_parent); }

    HWND AddStatic(const wchar_t* text, DWORD style, RECT bounds)
    {
        HWND control = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
                                       bounds.right - bounds.left, bounds.bottom - bounds.top, m_parent, nullptr,
                                       nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
        return control;
    }

    RECT InParent(HWND control) const
    {
        RECT bounds;
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&bounds), 2);
        return bounds;
    }

    // The text's size with the underlined font, plus the frame the control draws around it.
    SIZE ExpectedSize(HWND control, const wchar_t* text) const
    {
        LOGFONTW description = Description(m_font.Get());
        description.lfUnderline = TRUE;
        GdiFont underlined(CreateFontIndirectW(&description));
        CreatedDc dc(CreateCompatibleDC(nullptr));
        SelectObject(dc.Get(), underlined.Get());
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), text, lstrlenW(text), &size);
        RECT window, client;
        GetWindowRect(control, &window);
        GetClientRect(control, &client);
        return SIZE{size.cx + (window.right - window.left) - client.right,
                    size.cy + (window.bottom - window.top) - client.bottom};
    }

    COLORREF LinkColour(HWND link) const
    {
        CreatedDc dc(CreateCompatibleDC(nullptr));
        LRESULT brush = ReflectToChild(m_parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                                       reinterpret_cast<LPARAM>(link));
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(GetBkMode(dc.Get()), TRANSPARENT);
        return GetTextColor(dc.Get());
    }

    void Click(HWND link) const
    {
        WPARAM command = MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED);
        EXPECT_EQ(ReflectToChild(m_parent, WM_COMMAND, command, reinterpret_cast<LPARAM>(link)), 1);
    }

    HWND m_parent = nullptr;
    GdiFont m_font;
};

class SubclassedControlTest : public ControlWindows {};
class HyperLink : public ControlWindows {};
class ColorStatic : public ControlWindows {};

// Counts its bindings and answers reflected colour requests with a brush of its own.
class ProbeControl : public SubclassedControl {
public:
    int prepared = 0;
    int reflectedCommands = 0;

protected:
    void PreSubclassWindow() override { ++prepared; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kReflectedMessageBase + WM_CTLCOLORSTATIC)
            return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        if (message == kReflectedMessageBase + WM_COMMAND)
            return ++reflectedCommands;
        return DefaultProc(message, wParam, lParam);
    }
};

}  // namespace

TEST_F(SubclassedControlTest, BindsOnceAndLetsGoWhenTheWindowIsDestroyed)
{
    HWND first = AddStatic(L"one", 0, {10, 10, 100, 30});
    HWND second = AddStatic(L"two", 0, {10, 40, 100, 60});
    ProbeControl control;
    EXPECT_FALSE(control.Attach(nullptr));
    EXPECT_TRUE(control.Attach(first));
    EXPECT_TRUE(control.Attach(second));
    EXPECT_EQ(control.Window(), first);
    EXPECT_EQ(control.prepared, 1);
    EXPECT_EQ(Text(first), L"one");  // unhandled messages reach the static itself

    DestroyWindow(first);
    EXPECT_EQ(control.Window(), nullptr);
    EXPECT_TRUE(control.Attach(second));
    EXPECT_EQ(control.Window(), second);
    EXPECT_EQ(control.prepared, 2);
}

TEST_F(SubclassedControlTest, ParentReflectsColourAndControlCommandsOnly)
{
    HWND child = AddStatic(L"child", 0, {10, 10, 100, 30});
    HWND plain = AddStatic(L"plain", 0, {10, 40, 100, 60});
    ProbeControl control;
    ASSERT_TRUE(control.Attach(child));
    auto from = [](HWND window) { return reinterpret_cast<LPARAM>(window); };

    EXPECT_EQ(ReflectToChild(m_parent, WM_CTLCOLORSTATIC, 0, from(child)),
              reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(ReflectToChild(m_parent, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), from(child)), 1);
    EXPECT_EQ(ReflectToChild(m_parent, WM_COMMAND, 7, 0), 0);  // a menu command
    EXPECT_EQ(ReflectToChild(m_parent, WM_NOTIFY, 0, from(child)), 0);
    EXPECT_EQ(ReflectToChild(m_parent, WM_CTLCOLORSTATIC, 0, from(plain)), 0);
    EXPECT_EQ(ReflectToChild(m_parent, WM_CTLCOLORSTATIC, 0, from(m_parent)), 0);  // not a child
    EXPECT_EQ(control.reflectedCommands, 1);
}

TEST(BrowserCommand, CutsAtThePlaceholderAndAppendsTheAddress)
{
    wchar_t out[kLinkTextSize];
    const wchar_t* url = L"http://x/eula.htm";
    ASSERT_EQ(BuildBrowserCommand(L"\"C:\\b\\browser.exe\" \"%1\"", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"\"C:\\b\\browser.exe\" http://x/eula.htm");
    ASSERT_EQ(BuildBrowserCommand(L"browser.exe %1 -new", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"browser.exe http://x/eula.htm");
    ASSERT_EQ(BuildBrowserCommand(L"\"C:\\b\\browser.exe\" -nohome", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"\"C:\\b\\browser.exe\" -nohome http://x/eula.htm");
}

TEST(BrowserCommand, RefusesACommandThatDoesNotFit)
{
    wchar_t out[32];
    const wchar_t* exact = L"b.exe http://x/eula.htm";  // 23 characters and the terminator
    EXPECT_EQ(BuildBrowserCommand(L"b.exe %1", L"http://x/eula.htm", out, 24), 1);
    EXPECT_STREQ(out, exact);
    EXPECT_EQ(BuildBrowserCommand(L"b.exe %1", L"http://x/eula.htm", out, 23), 0);
    EXPECT_STREQ(out, L"");
    EXPECT_EQ(BuildBrowserCommand(L"\"C:\\a-long-browser-path\\b.exe\" \"%1\"", L"u", out, 32), 0);
    EXPECT_STREQ(out, L"");
}

TEST_F(HyperLink, AddressAndTextFillEachOther)
{
    CHyperLink fromText;
    HWND named = AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40});
    ASSERT_TRUE(fromText.Attach(named));
    EXPECT_STREQ(fromText.Url(), L"Pictarn EULA");
    EXPECT_TRUE(GetWindowLongW(named, GWL_STYLE) & SS_NOTIFY);

    CHyperLink fromAddress;
    EXPECT_EQ(fromAddress.SetUrl(L"http://x/eula.htm"), 1);
    HWND empty = AddStatic(L"", 0, {10, 50, 200, 80});
    ASSERT_TRUE(fromAddress.Attach(empty));
    EXPECT_EQ(Text(empty), L"http://x/eula.htm");
    EXPECT_EQ(fromAddress.SetUrl(std::wstring(kLinkTextSize, L'u').c_str()), 0);
    EXPECT_STREQ(fromAddress.Url(), L"http://x/eula.htm");
}

TEST_F(HyperLink, FitsItsTextKeepingTheEdgeItsAlignmentNames)
{
    const wchar_t* text = L"Pictarn EULA";
    struct Case { DWORD style; RECT bounds; };
    for (Case c : {Case{0, {10, 20, 310, 60}}, Case{WS_BORDER, {10, 20, 30, 60}}, Case{SS_CENTER, {10, 20, 310, 60}},
                   Case{SS_RIGHT | SS_CENTERIMAGE, {10, 20, 310, 61}}}) {
        CHyperLink link;
        HWND control = AddStatic(text, c.style, c.bounds);
        ASSERT_TRUE(link.Attach(control));
        EXPECT_EQ(link.SetUrl(L"http://x/eula.htm"), 1);  // fits again, to the same size
        SIZE size = ExpectedSize(control, text);
        RECT fitted = InParent(control);
        SCOPED_TRACE(testing::Message() << "style " << c.style);
        int width = c.bounds.right - c.bounds.left, height = c.bounds.bottom - c.bounds.top;
        int left = (c.style & SS_CENTER) ? c.bounds.left + (width - size.cx) / 2
                   : (c.style & SS_RIGHT) ? c.bounds.right - size.cx : c.bounds.left;
        int top = (c.style & SS_CENTERIMAGE) ? c.bounds.top + (height - size.cy) / 2 : c.bounds.top;
        EXPECT_EQ(fitted.left, left);
        EXPECT_EQ(fitted.top, top);
        EXPECT_EQ(fitted.right - fitted.left, (c.style & SS_CENTER) ? width - 2 * ((width - size.cx) / 2) : size.cx);
        EXPECT_EQ(fitted.bottom - fitted.top,
                  (c.style & SS_CENTERIMAGE) ? height - 2 * ((height - size.cy) / 2) : size.cy);
    }
}

TEST_F(HyperLink, UnderlineModeChoosesTheFontOfTheSameFace)
{
    CHyperLink link;
    HWND control = AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40});
    ASSERT_TRUE(link.Attach(control));
    EXPECT_EQ(WindowFont(control).lfUnderline, 0);
    link.SetUnderlineMode(1);
    LOGFONTW underlined = WindowFont(control);
    EXPECT_EQ(underlined.lfUnderline, 1);
    EXPECT_STREQ(underlined.lfFaceName, L"Tahoma");
    EXPECT_EQ(underlined.lfHeight, -16);
    link.SetUnderlineMode(0);
    EXPECT_EQ(WindowFont(control).lfUnderline, 0);
    link.SetUnderlineMode(1);
    link.SetUnderlineMode(-1);
    EXPECT_EQ(WindowFont(control).lfUnderline, 0);
    EXPECT_EQ(link.UnderlineMode(), -1);
}

TEST_F(HyperLink, ColourShowsHoverThenVisitedAfterASuccessfulClick)
{
    MachineValueOverride htmClass(L"SOFTWARE\\Classes\\.htm", L"");
    htmClass.Set(L"PtNoSuchBrowser");  // no open command: only the shell can open an address
    CHyperLink link;
    HWND control = AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40});
    ASSERT_TRUE(link.Attach(control));
    EXPECT_EQ(LinkColour(control), kLinkBlue);
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(LinkColour(control), kHoverRed);

    // A program is an address the shell opens everywhere; this one ends at once.
    wchar_t program[MAX_PATH];
    GetSystemDirectoryW(program, MAX_PATH);
    AppendText(program, MAX_PATH, L"\\hostname.exe");
    ASSERT_EQ(link.SetUrl(program), 1);
    Click(control);
    EXPECT_TRUE(link.Visited());
    EXPECT_FALSE(link.Hovering());
    EXPECT_EQ(LinkColour(control), kVisitedPurple);
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(LinkColour(control), kHoverRed);

    ASSERT_EQ(link.SetUrl(L"ptnoscheme:nothing"), 1);
    Click(control);
    EXPECT_FALSE(link.Visited());
    EXPECT_EQ(LinkColour(control), kLinkBlue);
}

TEST_F(HyperLink, HoverUnderlinesUntilATickFindsThePointerOutside)
{
    for (int mode : {-1, 1}) {
        CHyperLink link;
        HWND control = AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40});
        ASSERT_TRUE(link.Attach(control));
        link.SetUnderlineMode(mode);
        RECT bounds;
        GetWindowRect(control, &bounds);
        SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        EXPECT_TRUE(link.Hovering());
        EXPECT_EQ(WindowFont(control).lfUnderline, 1);
        EXPECT_FALSE(PumpUntil([&] { return !link.Hovering(); }, 350));  // ticks with the pointer inside

        SetCursorPos(5, 5);
        EXPECT_TRUE(PumpUntil([&] { return !link.Hovering(); }, 3000));
        EXPECT_EQ(WindowFont(control).lfUnderline, mode == 1 ? 1 : 0);
        EXPECT_FALSE(KillTimer(control, 100));  // the tick stopped it already
        DestroyWindow(control);
    }
}

TEST_F(HyperLink, DestroyingTheWindowEndsTheHover)
{
    CHyperLink link;
    HWND control = AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40});
    ASSERT_TRUE(link.Attach(control));
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    link.DestroyWindow();
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(link.Window(), nullptr);

    ASSERT_TRUE(link.Attach(AddStatic(L"again", 0, {10, 10, 200, 40})));
    SendMessageW(link.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(link.Hovering());
    DestroyWindow(m_parent);  // the page going away takes the link with it
    EXPECT_FALSE(link.Hovering());
    EXPECT_EQ(link.Window(), nullptr);
}

TEST_F(HyperLink, HandCursorComesFromWinhlp32InTheWindowsFolder)
{
    auto setCursor = [](HWND control) {
        SetCursor(nullptr);
        LRESULT handled = SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return handled == TRUE && GetCursor() != nullptr;
    };
    wchar_t windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring help = std::wstring(windows) + L"\\winhlp32.exe", saved = help + L".saved";
    LibraryModule shipped(LoadLibraryExW(help.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    bool carried = shipped && LoadCursorW(shipped.Get(), MAKEINTRESOURCEW(106));
    shipped.Reset();
    CHyperLink asShipped;
    ASSERT_TRUE(asShipped.Attach(AddStatic(L"Pictarn EULA", 0, {10, 10, 200, 40})));
    EXPECT_EQ(setCursor(asShipped.Window()), carried);

    // Wine's winhlp32.exe has no cursors; comctl32.dll has a cursor 106 and stands in for it.
    if (!MoveFileExW(help.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING))
        GTEST_SKIP() << "the Windows folder cannot be changed here";
    bool planted = CopyFileW((std::wstring(system) + L"\\comctl32.dll").c_str(), help.c_str(), FALSE);
    CHyperLink withHand;
    bool attached = withHand.Attach(AddStatic(L"Pictarn EULA", 0, {10, 50, 200, 80}));
    DeleteFileW(help.c_str());
    MoveFileExW(saved.c_str(), help.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(planted && attached);
    EXPECT_TRUE(setCursor(withHand.Window()));  // its own copy outlives the module
}

TEST(OpenUrl, FallsBackToTheBrowserRegisteredForWebPages)
{
    TempFolder folder;
    std::wstring record = folder / L"opened.txt";
    wchar_t shell[MAX_PATH];
    GetSystemDirectoryW(shell, MAX_PATH);
    MachineValueOverride htmClass(L"SOFTWARE\\Classes\\.htm", L"");
    MachineValueOverride command(L"SOFTWARE\\Classes\\PtTestBrowser\\shell\\open\\command", L"");
    htmClass.Set(L"PtTestBrowser");
    command.Set(L"\"" + std::wstring(shell) + L"\\cmd.exe\" /c >\"" + record + L"\" echo \"%1\"");

    EXPECT_GT(CHyperLink::OpenUrl(L"ptnoscheme://x/eula"), 32);
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(record).find('\n') != std::string::npos; }, 20000));
    EXPECT_EQ(ReadBytes(record), "ptnoscheme://x/eula\r\n");  // unquoted, after the browser path

    htmClass.Set(L"PtNoSuchBrowser");
    EXPECT_LE(CHyperLink::OpenUrl(L"ptnoscheme://x/eula"), 32);
}

TEST_F(ColorStatic, MakesBoldArialFontsFromTheControlsFont)
{
    CXColorStatic notice;
    ASSERT_TRUE(notice.Attach(AddStatic(L"Installing", 0, {10, 10, 300, 40})));
    EXPECT_STREQ(Description(notice.Font()).lfFaceName, L"Tahoma");
    notice.SetFontHeight(24);
    EXPECT_EQ(Description(notice.Font()).lfWeight, FW_NORMAL);
    notice.SetBold();
    LOGFONTW bold = Description(notice.Font());
    EXPECT_EQ(bold.lfWeight, FW_BOLD);
    EXPECT_STREQ(bold.lfFaceName, L"Tahoma");
    EXPECT_EQ(bold.lfHeight, -16);
    notice.SetFontHeight(24);
    LOGFONTW arial = Description(notice.Font());
    EXPECT_STREQ(arial.lfFaceName, L"Arial");
    EXPECT_EQ(arial.lfHeight, 24);
    EXPECT_EQ(arial.lfWeight, FW_BOLD);
    EXPECT_EQ(arial.lfQuality, ANTIALIASED_QUALITY);
}

TEST_F(ColorStatic, PaintsItsTextInItsColoursOnItsOwnBackground)
{
    const RECT bounds{20, 20, 420, 80};
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    for (DWORD style : {DWORD{SS_CENTER | SS_CENTERIMAGE}, DWORD{SS_LEFT}}) {
        CXColorStatic notice;
        HWND control = AddStatic(L"Installing ... please wait ...", style, bounds);
        ASSERT_TRUE(notice.Attach(control));
        notice.SetTextColor(kHoverRed);
        notice.SetBold();
        notice.SetFontHeight(24);  // repaints at once

        // Read the control's pixels back through a 32-bit bitmap: blue, green, red, unused.
        CreatedDc memory(CreateCompatibleDC(nullptr));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        GdiBitmap bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        SelectObject(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, ClientDc(control).Get(), 0, 0, SRCCOPY);
        auto pixel = [&](int x, int y) {
            const BYTE* p = static_cast<const BYTE*>(bits) + (y * width + x) * 4;
            return RGB(p[2], p[1], p[0]);
        };
        SCOPED_TRACE(testing::Message() << "style " << style);
        const COLORREF back = GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(pixel(1, 1), back);
        EXPECT_EQ(pixel(width - 2, height - 2), back);
        RECT ink{width, height, -1, -1};
        int red = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                COLORREF colour = pixel(x, y);
                red += colour == kHoverRed;
                if (colour != back)
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x), std::max<LONG>(ink.bottom, y)};
            }
        EXPECT_GT(red, 20);
        if (style & SS_CENTER) {
            EXPECT_NEAR(ink.left, width - 1 - ink.right, 3);
            EXPECT_NEAR(ink.top, height - 1 - ink.bottom, 3);
        } else {
            EXPECT_LE(ink.left, 3);
            EXPECT_LE(ink.top, 8);
        }
        DestroyWindow(control);
    }
}
