#include "wizard/notes_box.h"

LRESULT NotesBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefaultProc(message, wParam, lParam);
    if (message != WM_GETDLGCODE)
        return result;
    // A box of several lines asks for every key; nothing can be typed here, so the dialog's keys
    // stay the dialog's.
    result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    if (key && key->message == WM_KEYDOWN
        && (key->wParam == VK_TAB || key->wParam == VK_RETURN || key->wParam == VK_ESCAPE))
        result &= ~static_cast<LRESULT>(DLGC_WANTMESSAGE);
    return result;
}
