#pragma once
// What screen readers learn of a static that acts as a link: Windows' own description of the
// window, with the role of a link, focusable, and a default action that clicks it.
#include <windows.h>

// The answer to WM_GETOBJECT for the link `window`: for its client area an object whose default
// action sends STN_CLICKED to the parent, as a click would. 0 for any other object, or when the
// accessibility library cannot be had: the caller then hands the message on.
LRESULT AnswerAsLink(HWND window, WPARAM wParam, LPARAM lParam);
