#pragma once
// Owners of GDI and cursor handles and of borrowed device contexts; each releases on every path.
#include "framework/handles.h"
#include "framework/system_library.h"

#include <windows.h>

struct DeleteObjectCall { void operator()(HGDIOBJ object) const { DeleteObject(object); } };
struct DestroyCursorCall { void operator()(HCURSOR cursor) const { DestroyCursor(cursor); } };

// Font made with CreateFontIndirect, deleted with DeleteObject.
using GdiFont = UniqueResource<NullIsInvalid<HFONT, DeleteObjectCall>>;
// Brush made with CreateSolidBrush, deleted with DeleteObject.
using GdiBrush = UniqueResource<NullIsInvalid<HBRUSH, DeleteObjectCall>>;
// Bitmap made with CreateCompatibleBitmap or CreateDIBSection, deleted with DeleteObject.
using GdiBitmap = UniqueResource<NullIsInvalid<HBITMAP, DeleteObjectCall>>;
// Private copy of a cursor (CopyCursor), destroyed with DestroyCursor.
using OwnedCursor = UniqueResource<NullIsInvalid<HCURSOR, DestroyCursorCall>>;

// A window's device context from GetDC, given back with ReleaseDC.
class ClientDc {
public:
    explicit ClientDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~ClientDc()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    ClientDc(const ClientDc&) = delete;
    ClientDc& operator=(const ClientDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// The device context of one WM_PAINT, from BeginPaint, ended with EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~PaintDc() { EndPaint(m_window, &m_paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// Horizontal pixels per logical inch of a window's screen (null: the whole screen); 96 when
// no device context can be had.
inline int PixelsPerInch(HWND window)
{
    ClientDc dc(window);
    return dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSX) : 96;
}

// The DPI of the screen a window is on, as a per-monitor aware program sees it (Windows 10 and
// later); elsewhere the screen's pixels per logical inch.
inline int WindowDpi(HWND window)
{
    using GetDpiFn = UINT(WINAPI*)(HWND);
    auto getDpi = ProcAddress<GetDpiFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    const UINT dpi = getDpi != nullptr ? getDpi(window) : 0;
    return dpi != 0 ? static_cast<int>(dpi) : PixelsPerInch(window);
}
