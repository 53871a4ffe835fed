#pragma once
// The product is running while a top-level window of its main window class exists.
#include <windows.h>

// That window, or null when the product is not running.
HWND FindProductWindow();

// The setup and the uninstaller hold this lock while they work, so two runs never meet.
inline constexpr wchar_t kRunLockName[] = L"Global\\PictarnSetupRun";
