#pragma once
// The wizard's message boxes: a message of the string table, owned by a window of the wizard,
// with the wizard's title as caption.
#include <windows.h>

// Shows message `id` with `type` (buttons and icon); the button pressed.
int ShowSetupMessage(HWND owner, unsigned id, const wchar_t* caption, UINT type);
