#pragma once
// Base of the wizard's own controls: takes over an existing control of a dialog by
// subclassing it (comctl32's SetWindowSubclass), never by creating a window of its own.
#include <windows.h>

// A parent sends its child this plus the original message, so that the control itself can
// answer the notifications Windows gives to the parent (the value ATL uses for OCM__BASE).
inline constexpr UINT kReflectedMessageBase = 0x2000;

class SubclassedControl {
public:
    SubclassedControl() = default;
    virtual ~SubclassedControl();
    SubclassedControl(const SubclassedControl&) = delete;
    SubclassedControl& operator=(const SubclassedControl&) = delete;

    // Binds the control to `window`: runs PreSubclassWindow, then subclasses. A control that
    // already has a window keeps it and returns true; false when `window` cannot be taken.
    bool Attach(HWND window);
    HWND Window() const { return m_window; }

protected:
    // Runs once per binding, with Window() already set but before any message reaches
    // WindowProc, so the control can adjust the window it is about to take over.
    virtual void PreSubclassWindow() {}
    // Every message of the window but WM_NCDESTROY; the default hands it to the original procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    void Detach();

    HWND m_window = nullptr;
};

// For a parent's window or dialog procedure: sends WM_CTLCOLORSTATIC and control-sent
// WM_COMMAND back to the child they concern as kReflectedMessageBase + message. Returns the
// child's answer, 0 when the message is of another kind or the child did not handle it.
LRESULT ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

// The description of the font a control draws with: its own (WM_GETFONT), else the stock
// GUI font, else the stock variable-pitch font.
LOGFONTW ControlFontDescription(HWND control);
