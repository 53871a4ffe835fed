#pragma once
// The product is running while a top-level window of its main window class exists.
#include <windows.h>

// That window, or null when the product is not running.
HWND FindProductWindow();

// The product running anywhere: its window on this desktop, or a process in any session (another
// user's, a remote one) whose program is the main program of the installation `folder`.
bool ProductRunning(const wchar_t* folder);

// The setup and the uninstaller hold this lock while they work, so two runs never meet.
inline constexpr wchar_t kRunLockName[] = L"Global\\PictarnSetupRun";
// How long a silent run waits for another run to finish before it answers 1618; a run with a
// window says so at once.
inline constexpr unsigned long kRunLockWaitMs = 10000;
