#pragma once
// A static text that behaves like a web link: link colours, hand cursor, underline while the
// pointer is over it, and a click opens its address in the browser. From the keyboard it is a
// tab stop that Enter and Space open, and screen readers are told it is a link.
#include "framework/gdi_handles.h"
#include "framework/subclassed_control.h"

#include <windows.h>

#include <cstddef>

// Addresses and browser command lines are built in buffers of this many characters.
inline constexpr size_t kLinkTextSize = 520;

class CHyperLink : public SubclassedControl {
public:
    // Stores the address a click opens and fits a bound link to its text again; an address
    // longer than the link holds is refused with 0 and the old one stays.
    int SetUrl(const wchar_t* url);
    const wchar_t* Url() const { return m_url; }
    // -1: underlined while the pointer is over the link; 0: never; 1: always.
    void SetUnderlineMode(int mode);
    int UnderlineMode() const { return m_underlineMode; }
    bool Hovering() const { return m_hovering != 0; }
    bool Visited() const { return m_visited != 0; }

    // Resizes the control to its text, as drawn underlined, keeping the side its alignment names.
    void FitToText();
    // Makes both fonts again for a screen of `dpi` instead of `previousDpi`, and fits the link.
    void ScaleFonts(int dpi, int previousDpi);
    // Takes a private copy of the hand cursor that winhlp32.exe carries, once.
    void LoadHandCursor();
    // Stops the hover timer, then destroys the window.
    void DestroyWindow();

    // Opens an address in the browser, as the signed-in user where the desktop's shell can; true when it opened.
    static bool OpenUrl(const wchar_t* url);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HBRUSH CtlColor(HDC dc) const;
    BOOL OnSetCursor() const;
    void OnMouseMove();
    void OnTimer();
    void OnClicked();
    // Enter and Space reach the link instead of the dialog's default button.
    LRESULT OnGetDlgCode(const MSG* message) const;
    void DrawFocus();
    BOOL OnEraseBkgnd(HDC dc) const;
    void SetControlFont(HFONT font);
    // Makes the plain and the underlined font from `description` and fits the link to them.
    void MakeFonts(LOGFONTW description);

    COLORREF m_colorLink = RGB(0, 0, 238);
    COLORREF m_colorVisited = RGB(85, 26, 139);
    COLORREF m_colorHover = RGB(255, 0, 0);
    int m_hovering = 0;
    int m_visited = 0;
    int m_underlineMode = -1;
    wchar_t m_url[kLinkTextSize] = {};
    GdiFont m_fontUnderlined;
    GdiFont m_fontPlain;
    int m_baseDpi = 0;  // the screen the first fonts were made for, once the scale changed
    LONG m_baseHeight = 0;
    OwnedCursor m_cursorHand;
    UINT_PTR m_hoverTimerId = 100;
};

// The command that runs the browser registered for web pages on `url`: `registeredCommand` up
// to its "%1" placeholder (from the opening quote when the placeholder is quoted), one blank,
// then `url`. A command without a placeholder is kept whole. Returns 0 and leaves `out` empty
// when the result would not fit in outSize characters: a cut command would open something else.
int BuildBrowserCommand(const wchar_t* registeredCommand, const wchar_t* url, wchar_t* out, size_t outSize);
