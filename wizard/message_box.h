#pragma once
// The wizard's message boxes: a message of the string table, owned by a window of the wizard,
// with the wizard's title as caption.
#include <windows.h>

// Shows message `id` with `type` (buttons and icon); the button pressed.
int ShowSetupMessage(HWND owner, unsigned id, const wchar_t* caption, UINT type);

// Tells the user that `what` (lines naming what was to be opened for them) was not opened, and
// where they find the product themselves.
void TellNotOpened(HWND owner, const wchar_t* what);
