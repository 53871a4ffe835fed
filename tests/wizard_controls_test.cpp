// The wizard's link and notice controls bound to real static windows under a parent that
// reflects notifications: sizing, fonts, colours, hover, opening an address, painting; and the
// sheet's own fonts on a screen of another scale.
#include "framework/gdi_handles.h"
#include "framework/subclassed_control.h"
#include "framework/text.h"
#include "support/test_support.h"
#include "wizard/color_static.h"
#include "wizard/hyperlink.h"
#include "wizard/uninstall_hint.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"
#include "framework/system_colours.h"
#include "framework/system_library.h"
#include "res/resource.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <prsht.h>

#include <algorithm>
#include <string>
#include <thread>

namespace {

constexpr COLORREF kLinkBlue = RGB(0, 0, 238), kVisitedPurple = RGB(85, 26, 139), kRed = RGB(255, 0, 0);
// What the parent gives a plain static to paint on, so the notice's own background can be told apart.
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

LOGFONTW Description(HGDIOBJ font)
{
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    return description;
}

LOGFONTW WindowFont(HWND window) { return Description(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0))); }

std::wstring SystemFile(const wchar_t* name, bool windowsFolder = false)
{
    wchar_t path[MAX_PATH];
    windowsFolder ? GetWindowsDirectoryW(path, MAX_PATH) : GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\" + name;
}

// Dispatches messages until `done` holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < timeoutMs;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

// A shown parent window whose statics use a 16-pixel Tahoma font.
class Controls : public testing::Test {
protected:
    Controls()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.lpszClassName = L"PtControlsTestParent";
        RegisterClassW(&windowClass);
        // Never active: Wine without a window manager waits two seconds when an active window goes.
        m_parent = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP,
                                   100, 100, 500, 300, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(m_parent, SW_SHOWNOACTIVATE);
        LOGFONTW description{};
        description.lfHeight = -16;
        CopyText(description.lfFaceName, L"Tahoma");
        m_font.Reset(CreateFontIndirectW(&description));
    }
    ~Controls() override { DestroyWindow(m_parent); }

    HWND AddStatic(const wchar_t* text, DWORD style = 0, RECT r = {10, 10, 200, 40})
    {
        HWND control = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, m_parent, nullptr, nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
        return control;
    }

    // The text's extent in the underlined font, plus the frame the control has around it.
    SIZE FittedSize(HWND control, const wchar_t* text) const
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
        return {size.cx + window.right - window.left - client.right, size.cy + window.bottom - window.top - client.bottom};
    }

    COLORREF LinkColour(HWND link) const
    {
        CreatedDc dc(CreateCompatibleDC(nullptr));
        EXPECT_EQ(ReflectToChild(m_parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()), reinterpret_cast<LPARAM>(link)),
                  reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(GetBkMode(dc.Get()), TRANSPARENT);
        return GetTextColor(dc.Get());
    }

    LRESULT Click(HWND link) const
    {
        return ReflectToChild(m_parent, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(link));
    }

    HWND m_parent = nullptr;
    GdiFont m_font;
};

class HyperLink : public Controls {};
class ColorStatic : public Controls {};

void MoveOver(HWND control)
{
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
}

}  // namespace

TEST(BrowserCommand, CutsAtThePlaceholderAndRefusesWhatDoesNotFit)
{
    wchar_t out[kLinkTextSize];
    const wchar_t* url = L"http://x/eula.htm";
    EXPECT_EQ(BuildBrowserCommand(L"\"C:\\b\\browser.exe\" \"%1\"", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"\"C:\\b\\browser.exe\" http://x/eula.htm");
    EXPECT_EQ(BuildBrowserCommand(L"browser.exe %1 -new", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"browser.exe http://x/eula.htm");
    EXPECT_EQ(BuildBrowserCommand(L"browser.exe -nohome", url, out, kLinkTextSize), 1);
    EXPECT_STREQ(out, L"browser.exe -nohome http://x/eula.htm");
    EXPECT_EQ(BuildBrowserCommand(L"b.exe %1", url, out, 24), 1);  // 23 characters and the terminator
    EXPECT_STREQ(out, L"b.exe http://x/eula.htm");
    EXPECT_EQ(BuildBrowserCommand(L"b.exe %1", url, out, 23), 0);
    EXPECT_STREQ(out, L"");
}

TEST_F(HyperLink, BindsOnceAndFillsAddressAndTextFromEachOther)
{
    CHyperLink named;
    HWND first = AddStatic(L"Pictarn EULA");
    EXPECT_FALSE(named.Attach(nullptr));
    ASSERT_TRUE(named.Attach(first));
    EXPECT_TRUE(named.Attach(AddStatic(L"other")));
    EXPECT_EQ(named.Window(), first);
    EXPECT_STREQ(named.Url(), L"Pictarn EULA");
    EXPECT_TRUE(GetWindowLongW(first, GWL_STYLE) & SS_NOTIFY);

    CHyperLink addressed;
    EXPECT_EQ(addressed.SetUrl(L"http://x/eula.htm"), 1);
    ASSERT_TRUE(addressed.Attach(AddStatic(L"")));
    wchar_t text[64] = {};
    GetWindowTextW(addressed.Window(), text, 64);
    EXPECT_STREQ(text, L"http://x/eula.htm");
    EXPECT_EQ(addressed.SetUrl(std::wstring(kLinkTextSize, L'u').c_str()), 0);
    EXPECT_STREQ(addressed.Url(), L"http://x/eula.htm");
}

TEST_F(HyperLink, FitsItsTextKeepingTheEdgeItsAlignmentNames)
{
    const wchar_t* text = L"Pictarn EULA";
    for (DWORD style : {0L, WS_BORDER, SS_CENTER, SS_RIGHT | SS_CENTERIMAGE}) {
        SCOPED_TRACE(style);
        // Left-aligned links grow to their text, the others shrink to it.
        const RECT r{10, 20, (style & (SS_CENTER | SS_RIGHT)) ? 310 : 30, 61};
        CHyperLink link;
        HWND control = AddStatic(text, style, r);
        ASSERT_TRUE(link.Attach(control));
        link.SetUrl(L"http://x/eula.htm");  // fits once more, to the same size
        SIZE size = FittedSize(control, text);
        int spareX = (r.right - r.left - size.cx) / 2, spareY = (r.bottom - r.top - size.cy) / 2;
        RECT expected{r.left, r.top, r.left + size.cx, r.top + size.cy};
        if (style & SS_CENTER)
            expected = {r.left + spareX, r.top, r.right - spareX, r.top + size.cy};
        if (style & SS_RIGHT)
            expected = {r.right - size.cx, r.top + spareY, r.right, r.bottom - spareY};
        RECT fitted;
        GetWindowRect(control, &fitted);
        MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&fitted), 2);
        EXPECT_TRUE(EqualRect(&fitted, &expected)) << fitted.left << "," << fitted.top << "," << fitted.right << ","
                                                   << fitted.bottom;
    }
}

TEST_F(HyperLink, UnderlineModeChoosesBetweenTwoCopiesOfTheControlsFont)
{
    CHyperLink link;
    ASSERT_TRUE(link.Attach(AddStatic(L"Pictarn EULA")));
    EXPECT_EQ(WindowFont(link.Window()).lfUnderline, 0);
    link.SetUnderlineMode(1);
    LOGFONTW underlined = WindowFont(link.Window());
    EXPECT_EQ(underlined.lfUnderline, 1);
    EXPECT_STREQ(underlined.lfFaceName, L"Tahoma");
    EXPECT_EQ(underlined.lfHeight, -16);
    link.SetUnderlineMode(0);
    EXPECT_EQ(WindowFont(link.Window()).lfUnderline, 0);
    link.SetUnderlineMode(1);
    link.SetUnderlineMode(-1);
    EXPECT_EQ(WindowFont(link.Window()).lfUnderline, 0);
}

TEST_F(HyperLink, ColourFollowsHoverAndTheLastClick)
{
    MachineValueOverride htmClass(L"SOFTWARE\\Classes\\.htm", L"");
    htmClass.Set(L"PtNoSuchBrowser");  // no fallback browser: only the shell opens anything
    CHyperLink link;
    ASSERT_TRUE(link.Attach(AddStatic(L"Pictarn EULA")));
    EXPECT_EQ(LinkColour(link.Window()), kLinkBlue);
    MoveOver(link.Window());
    EXPECT_EQ(LinkColour(link.Window()), kRed);

    ASSERT_EQ(link.SetUrl(SystemFile(L"hostname.exe").c_str()), 1);  // opens anywhere and ends at once
    EXPECT_EQ(Click(link.Window()), 1);
    EXPECT_TRUE(link.Visited());
    EXPECT_EQ(LinkColour(link.Window()), kVisitedPurple);
    MoveOver(link.Window());
    EXPECT_EQ(LinkColour(link.Window()), kRed);

    // What cannot be opened is named to the user, who closes the message.
    ASSERT_EQ(link.SetUrl(L"ptnoscheme:nothing"), 1);
    std::wstring told;
    std::thread reader([&told] {
        HWND box = nullptr;
        for (int i = 0; i < 200 && box == nullptr; ++i, Sleep(50))
            box = FindWindowW(L"#32770", L"Pictarn Setup");
        wchar_t text[1024] = L"";
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        told = text;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(Click(link.Window()), 1);
    reader.join();
    EXPECT_NE(told.find(L"\n\nptnoscheme:nothing\n"), std::wstring::npos) << told;
    EXPECT_FALSE(link.Visited());
    EXPECT_EQ(LinkColour(link.Window()), kLinkBlue);
    EXPECT_EQ(ReflectToChild(m_parent, WM_COMMAND, 7, 0), 0);  // a menu command concerns no control
}

// What a screen reader and a keyboard user meet: a focusable link, which Enter, Space and the
// reader's own default action open; in a high-contrast scheme it takes the scheme's link colour.
TEST_F(HyperLink, KeyboardAndScreenReadersOpenItAsALink)
{
    CHyperLink link;
    HWND window = AddStatic(L"Pictarn EULA");
    ASSERT_TRUE(link.Attach(window));
    ASSERT_EQ(link.SetUrl(SystemFile(L"hostname.exe").c_str()), 1);  // opens anywhere and ends at once
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    auto fromWindow = ProcAddress<decltype(&AccessibleObjectFromWindow)>(LoadSystemLibrary(L"oleacc.dll"),
                                                                          "AccessibleObjectFromWindow");
    ASSERT_NE(fromWindow, nullptr);
    IAccessible* object = nullptr;
    ASSERT_EQ(fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&object)), S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{}, state{};
    BSTR name = nullptr;
    EXPECT_EQ(object->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_LINK);
    EXPECT_EQ(object->get_accState(self, &state), S_OK);
    EXPECT_EQ(state.lVal & (STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE), STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE);
    ASSERT_EQ(object->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name), L"Pictarn EULA");
    SysFreeString(name);
    EXPECT_EQ(object->accDoDefaultAction(self), S_OK);
    EXPECT_TRUE(PumpUntil([&link] { return link.Visited(); }, 3000)) << "the reader's action opens it";
    object->Release();
    CoUninitialize();

    for (WPARAM key : {VK_RETURN, VK_SPACE}) {
        MSG press{window, WM_KEYDOWN, key, 0, 0, {}};
        EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&press)), DLGC_WANTMESSAGE)
            << "the key is the link's, not the default button's";
    }
    MSG tab{window, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&tab)), 0);
}

TEST(SystemColours, HighContrastTakesTheSchemesColourInsteadOfTheProgramsOwn)
{
    const struct {
        const char* label;
        COLORREF custom;
        int system;
    } cases[] = {{"link", RGB(0, 0, 238), COLOR_HOTLIGHT}, {"greyed-out list", RGB(255, 128, 0), COLOR_GRAYTEXT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ShownColour(c.custom, c.system, false), c.custom);
        EXPECT_EQ(ShownColour(c.custom, c.system, true), GetSysColor(c.system));
    }
}

TEST_F(HyperLink, HoverUnderlinesUntilATickFindsThePointerOutside)
{
    for (int mode : {-1, 1}) {
        CHyperLink link;
        HWND control = AddStatic(L"Pictarn EULA");
        ASSERT_TRUE(link.Attach(control));
        link.SetUnderlineMode(mode);
        RECT r;
        GetWindowRect(control, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        MoveOver(control);
        EXPECT_EQ(WindowFont(control).lfUnderline, 1);
        EXPECT_FALSE(PumpUntil([&] { return !link.Hovering(); }, 350));  // ticks with the pointer inside

        SetCursorPos(5, 5);
        EXPECT_TRUE(PumpUntil([&] { return !link.Hovering(); }, 3000));
        EXPECT_EQ(WindowFont(control).lfUnderline, mode == 1 ? 1 : 0);
        EXPECT_FALSE(KillTimer(control, 100));  // the tick stopped it already
    }
}

TEST_F(HyperLink, DestroyingTheWindowEndsTheHoverAndTheBinding)
{
    CHyperLink link;
    HWND control = AddStatic(L"Pictarn EULA");
    ASSERT_TRUE(link.Attach(control));
    MoveOver(control);
    link.DestroyWindow();
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(link.Window(), nullptr);

    ASSERT_TRUE(link.Attach(AddStatic(L"again")));
    MoveOver(link.Window());
    ASSERT_TRUE(link.Hovering());
    DestroyWindow(m_parent);  // a page going away takes its link with it
    EXPECT_FALSE(link.Hovering());
    EXPECT_EQ(link.Window(), nullptr);
}

TEST_F(HyperLink, HandCursorComesFromWinhlp32InTheWindowsFolder)
{
    auto setsCursor = [](const CHyperLink& link) {
        SetCursor(nullptr);
        HWND window = link.Window();
        return SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE))
                   == TRUE && GetCursor() != nullptr;
    };
    const std::wstring help = SystemFile(L"winhlp32.exe", true), saved = help + L".saved";
    CHyperLink asShipped;  // Wine's own winhlp32.exe carries no cursors
    ASSERT_TRUE(asShipped.Attach(AddStatic(L"Pictarn EULA")));
    EXPECT_FALSE(setsCursor(asShipped));

    // comctl32.dll has a cursor 106 and stands in for Windows' own winhlp32.exe.
    if (!MoveFileExW(help.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING))
        GTEST_SKIP() << "the Windows folder cannot be changed here";
    bool planted = CopyFileW(SystemFile(L"comctl32.dll").c_str(), help.c_str(), FALSE);
    CHyperLink withHand;
    bool attached = withHand.Attach(AddStatic(L"Pictarn EULA"));
    DeleteFileW(help.c_str());
    MoveFileExW(saved.c_str(), help.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(planted && attached);
    EXPECT_TRUE(setsCursor(withHand));  // its own copy outlives the module
}

// A run with administrator rights (every run under Wine) never starts the browser registered for
// web pages itself when the desktop's shell cannot open an address: the browser would have its rights.
TEST(OpenUrl, ElevatedNeverFallsBackToTheBrowserItWouldStartWithItsRights)
{
    TempFolder folder;
    std::wstring record = folder / L"opened.txt";
    MachineValueOverride htmClass(L"SOFTWARE\\Classes\\.htm", L"");
    MachineValueOverride command(L"SOFTWARE\\Classes\\PtTestBrowser\\shell\\open\\command", L"");
    htmClass.Set(L"PtTestBrowser");
    command.Set(L"\"" + SystemFile(L"cmd.exe") + L"\" /c >\"" + record + L"\" echo \"%1\"");

    EXPECT_FALSE(CHyperLink::OpenUrl(L"ptnoscheme://x/eula"));  // no handler for the scheme
    EXPECT_FALSE(PumpUntil([&] { return FileExists(record); }, 3000));
}

TEST_F(ColorStatic, MakesBoldArialFontsFromTheControlsFont)
{
    CXColorStatic notice;
    ASSERT_TRUE(notice.Attach(AddStatic(L"Installing")));
    EXPECT_STREQ(Description(notice.Font()).lfFaceName, L"Tahoma");
    notice.SetFontHeight(24);
    EXPECT_EQ(Description(notice.Font()).lfWeight, FW_NORMAL);
    notice.SetBold();
    LOGFONTW bold = Description(notice.Font());
    EXPECT_EQ(bold.lfWeight, FW_BOLD);
    EXPECT_STREQ(bold.lfFaceName, L"Tahoma");
    notice.SetFontHeight(24);
    LOGFONTW arial = Description(notice.Font());
    EXPECT_STREQ(arial.lfFaceName, L"Arial");
    EXPECT_EQ(arial.lfHeight, 24);
    EXPECT_EQ(arial.lfWeight, FW_BOLD);
    EXPECT_EQ(arial.lfQuality, ANTIALIASED_QUALITY);
}

TEST_F(ColorStatic, PaintsItsTextInItsColoursOnItsOwnBackground)
{
    const int width = 400, height = 60;
    for (DWORD style : {SS_CENTER | SS_CENTERIMAGE, SS_LEFT}) {
        SCOPED_TRACE(style);
        CXColorStatic notice;
        HWND control = AddStatic(L"Installing ... please wait ...", style, {20, 20, 20 + width, 20 + height});
        ASSERT_TRUE(notice.Attach(control));
        notice.SetTextColor(kRed);
        notice.SetBold();
        notice.SetFontHeight(24);  // repaints at once

        // The control's pixels copied into a top-down bitmap of blue, green, red, unused bytes.
        CreatedDc memory(CreateCompatibleDC(nullptr));
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        GdiBitmap bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        SelectObject(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, ClientDc(control).Get(), 0, 0, SRCCOPY);
        const COLORREF back = GetSysColor(COLOR_BTNFACE);
        RECT ink{width, height, -1, -1};
        int red = 0;
        for (int i = 0; i < width * height; ++i) {
            const BYTE* p = static_cast<const BYTE*>(bits) + i * 4;
            COLORREF colour = RGB(p[2], p[1], p[0]);
            int x = i % width, y = i / width;
            red += colour == kRed;
            if (colour != back)
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x),
                       std::max<LONG>(ink.bottom, y)};
        }
        EXPECT_GT(red, 20);
        EXPECT_LT(ink.right, width - 1);  // the right and bottom edges show the background
        EXPECT_LT(ink.bottom, height - 1);
        if (style & SS_CENTER) {
            EXPECT_NEAR(ink.left, width - 1 - ink.right, 3);
            // Centred is the text's cell, not its ink: the ink stays inside the centred cell.
            LOGFONTW boldArial{};
            boldArial.lfHeight = 24;
            boldArial.lfWeight = FW_BOLD;
            wcscpy(boldArial.lfFaceName, L"Arial");
            GdiFont font(CreateFontIndirectW(&boldArial));
            ClientDc dc(control);
            HGDIOBJ previous = SelectObject(dc.Get(), font.Get());
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc.Get(), &metrics);
            SelectObject(dc.Get(), previous);
            const LONG cellTop = (height - metrics.tmHeight) / 2;
            EXPECT_GE(ink.top, cellTop - 1);
            EXPECT_LE(ink.bottom, cellTop + metrics.tmHeight + 1);
        } else {
            EXPECT_LE(ink.left, 3);
        }
    }
}

// The real sheet and pages in this process, which carries their templates: moved to a screen
// of another scale, the sheet takes the size Windows suggests and remakes the fonts it made.
TEST(WizardSheet, AnotherScaleTakesTheSuggestedSizeAndRemakesTheProgramsFonts)
{
    PrepareCommonControls();
    CWizPropertySheet sheet;
    sheet.BeginRun(96);
    WizardPages pages(sheet);
    std::thread modal([&sheet] { sheet.DoModal(nullptr); });
    [&] {  // a step of its own, so the sheet is closed whatever fails
        HWND headline = nullptr;
        // Until the page's activation has given the headline its font (18 at 96 DPI) and made the
        // link, and the sheet's own initialisation (posted; it names the Exit button, then takes the
        // window's real scale) has run: a scale change handled before either would be undone by it.
        auto exitNamed = [&sheet] {
            wchar_t text[16] = L"";
            GetDlgItemTextW(sheet.Window(), IDCANCEL, text, 16);
            return std::wstring(text) == L"&Exit";
        };
        for (int i = 0; i < 300 && !((headline = GetDlgItem(pages[kWelcomePage].Window(), IDC_WELCOME_HEADLINE))
                                     && sheet.m_linkEula.Window() && WindowFont(headline).lfHeight == 18 && exitNamed());
             ++i)
            Sleep(50);
        ASSERT_TRUE(headline && sheet.m_linkEula.Window());
        const LONG linkHeightAt96 = WindowFont(sheet.m_linkEula.Window()).lfHeight;
        for (const int dpi : {144, 192}) {
            RECT suggested = {40, 30, 40 + MulDiv(520, dpi, 96), 30 + MulDiv(400, dpi, 96)}, now{};
            SendMessageW(sheet.Window(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
            GetWindowRect(sheet.Window(), &now);
            EXPECT_TRUE(EqualRect(&now, &suggested)) << dpi;
            EXPECT_EQ(WindowFont(headline).lfHeight, dpi == 144 ? 27 : 36);
            EXPECT_EQ(WindowFont(sheet.m_linkEula.Window()).lfHeight, MulDiv(linkHeightAt96, dpi, 96)) << dpi;
        }
        // A page first shown after the move makes its headline and notice at the new scale.
        SendMessageW(sheet.Window(), PSM_SETCURSEL, kReadyPage, 0);
        EXPECT_EQ(Description(sheet.m_textInstalling.Font()).lfHeight, 36);
        EXPECT_EQ(WindowFont(GetDlgItem(pages[kReadyPage].Window(), IDC_READY_HEADLINE)).lfHeight, 36);
    }();
    SendMessageW(sheet.Window(), PSM_SETCURSEL, kFinishedPage, 0);
    PostMessageW(sheet.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    modal.join();
}

// Where Finished sends a person to remove the product, on each Windows, with and without the
// group's own link.
TEST(UninstallHint, NamesTheGroupLinkOrWhereThisWindowsListsItsPrograms)
{
    const std::wstring settings = L"Open Settings > Apps, choose Pictarn and click \"Uninstall\".";
    const std::wstring panel = L"Open Control Panel > Programs and Features, choose Pictarn and click \"Uninstall\".";
    const std::wstring group = L"Go to \"Start->Programs->Pictarn\" and click the \"Uninstall Pictarn\" item.";
    const struct {
        const char* label;
        WindowsRelease release;
        bool groupLink;
        std::wstring line;
    } cases[] = {
        {"XP with the group", {5, 1, 2600}, true, group},
        {"XP without it", {5, 1, 2600}, false, L"Open Control Panel > Add or Remove Programs, choose Pictarn and click \"Remove\"."},
        {"7 without the group", {6, 1, 7601}, false, panel},
        {"8.1", {6, 3, 9600}, false, panel},
        {"10", {10, 0, 19045}, false, settings},
        {"11", {10, 0, 26100}, false, settings},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        wchar_t text[256] = L"";
        LoadStringW(GetModuleHandleW(nullptr), UninstallHintId(c.release, c.groupLink), text, 256);
        EXPECT_EQ(std::wstring(text), L"How to uninstall Pictarn?\n" + c.line + (c.groupLink ? L"\n(or, see in System Control Panel, Apps)" : L""));
    }
}
