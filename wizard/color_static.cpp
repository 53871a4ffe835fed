#include "wizard/color_static.h"

#include "framework/system_colours.h"

#include "framework/text.h"

namespace {

constexpr LONG kBoldWeight = FW_BOLD;
constexpr LONG kNormalWeight = FW_NORMAL;
// Room for any text a dialog template gives a static.
constexpr int kTextSize = 1024;

UINT DrawFormat(LONG style)
{
    UINT format = (style & SS_CENTER) ? DT_CENTER : (style & SS_RIGHT) ? DT_RIGHT : DT_LEFT;
    // SS_CENTERIMAGE on a text static means one vertically centred line.
    return format | ((style & SS_CENTERIMAGE) ? DT_SINGLELINE | DT_VCENTER : DT_WORDBREAK);
}

}  // namespace

CXColorStatic::CXColorStatic()
    : m_colorText(GetSysColor(COLOR_BTNTEXT)),
      m_colorBack(GetSysColor(COLOR_BTNFACE)),
      m_brushBack(CreateSolidBrush(m_colorBack))
{
}

void CXColorStatic::SetBold()
{
    m_bold = 1;
    LOGFONTW description = ControlFontDescription(Window());
    description.lfWeight = kBoldWeight;
    ApplyFont(description);
}

void CXColorStatic::SetFontHeight(int height)
{
    LOGFONTW description{};
    description.lfHeight = height;
    description.lfQuality = ANTIALIASED_QUALITY;
    CopyText(description.lfFaceName, L"Arial");
    ApplyFont(description);
}

void CXColorStatic::ApplyFont(const LOGFONTW& description)
{
    LOGFONTW weighted = description;
    weighted.lfWeight = m_bold ? kBoldWeight : kNormalWeight;
    m_font.Reset(CreateFontIndirectW(&weighted));
    if (Window())
        RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CXColorStatic::PreSubclassWindow()
{
    LOGFONTW description = ControlFontDescription(Window());
    m_font.Reset(CreateFontIndirectW(&description));
}

LRESULT CXColorStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    }
    return DefaultProc(message, wParam, lParam);
}

void CXColorStatic::OnPaint()
{
    PaintDc paint(Window());
    HDC dc = paint.Get();
    int saved = SaveDC(dc);
    ::SetTextColor(dc, ShownColour(m_colorText, COLOR_BTNTEXT, HighContrastOn()));
    SetBkColor(dc, m_colorBack);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, m_brushBack.Get());
    if (m_font)
        SelectObject(dc, m_font.Get());

    wchar_t text[kTextSize] = {};
    int length = GetWindowTextW(Window(), text, kTextSize);
    RECT client;
    GetClientRect(Window(), &client);
    DrawTextW(dc, text, length, &client, DrawFormat(GetWindowLongW(Window(), GWL_STYLE)));
    RestoreDC(dc, saved);
}

BOOL CXColorStatic::OnEraseBkgnd(HDC dc) const
{
    RECT client;
    GetClientRect(Window(), &client);
    FillRect(dc, &client, m_brushBack.Get());
    return TRUE;
}
