#include "framework/subclassed_control.h"

#include <commctrl.h>

namespace {

// One subclass per window and procedure, so a fixed id is enough.
constexpr UINT_PTR kSubclassId = 1;

}  // namespace

SubclassedControl::~SubclassedControl()
{
    Detach();
}

bool SubclassedControl::Attach(HWND window)
{
    if (m_window)
        return true;
    if (!window || !IsWindow(window))
        return false;
    m_window = window;
    PreSubclassWindow();
    if (!SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_window = nullptr;
        return false;
    }
    return true;
}

LRESULT SubclassedControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(message, wParam, lParam);
}

LRESULT SubclassedControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefSubclassProc(m_window, message, wParam, lParam);
}

void SubclassedControl::Detach()
{
    if (!m_window)
        return;
    RemoveWindowSubclass(m_window, SubclassProc, kSubclassId);
    m_window = nullptr;
}

LRESULT CALLBACK SubclassedControl::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    auto* control = reinterpret_cast<SubclassedControl*>(self);
    if (message == WM_NCDESTROY) {
        // The window's last message: let go of it so the object can be bound again later.
        control->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return control->WindowProc(message, wParam, lParam);
}

LRESULT ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Menu and accelerator commands carry no window; only a control's own notification reflects.
    if (message != WM_CTLCOLORSTATIC && message != WM_COMMAND)
        return 0;
    HWND child = reinterpret_cast<HWND>(lParam);
    if (!child || !IsChild(parent, child))
        return 0;
    return SendMessageW(child, kReflectedMessageBase + message, wParam, lParam);
}

LOGFONTW ControlFontDescription(HWND control)
{
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font)
        font = GetStockObject(DEFAULT_GUI_FONT);
    if (!font)
        font = GetStockObject(ANSI_VAR_FONT);
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    return description;
}
