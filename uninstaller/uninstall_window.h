#pragma once
// The uninstaller's one window: what will be removed, the settings check box, Remove and
// Cancel, then the outcome in the same window, with a list of what stayed that scrolls.
#include "model/exit_codes.h"

#include <windows.h>

class TextLines;

// The removal itself, run when the user presses Remove; `outcome` receives one line for each
// thing that stayed.
using RemoveAction = UninstallExitCode (*)(bool purge, TextLines& outcome, void* context);

// Shows the window for `installFolder`; the outcome of the removal, or what ended the window
// without one: kUninstallProductRunning once the user gave up on a running product, else
// kUninstallCancelled.
UninstallExitCode ShowUninstallWindow(const wchar_t* installFolder, RemoveAction remove, void* context);
