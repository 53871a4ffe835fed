#pragma once
// A static text painted in its own colours and font, for notices that must stand out.
#include "framework/gdi_handles.h"
#include "framework/subclassed_control.h"

#include <windows.h>

class CXColorStatic : public SubclassedControl {
public:
    CXColorStatic();

    // From now on the fonts this control makes are bold; the current font is made again bold.
    void SetBold();
    // An Arial font of the given cell height (negative: character height), weight as SetBold says.
    void SetFontHeight(int height);
    // Makes the drawing font from `description`, with the weight SetBold decides, and repaints now.
    void ApplyFont(const LOGFONTW& description);
    // Shows at the next paint.
    void SetTextColor(COLORREF color) { m_colorText = color; }
    HFONT Font() const { return m_font.Get(); }

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC dc) const;

    GdiFont m_font;
    COLORREF m_colorText;
    COLORREF m_colorBack;
    GdiBrush m_brushBack;
    int m_bold = 0;
};
