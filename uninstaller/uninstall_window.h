#pragma once
// The uninstaller's one window: what will be removed, the settings check box, Remove and
// Cancel, then the outcome in the same window.
#include "model/exit_codes.h"

#include <windows.h>

// The removal itself, run when the user presses Remove; `summary` (`summarySize` characters)
// receives what to show.
using RemoveAction = UninstallExitCode (*)(bool purge, wchar_t* summary, size_t summarySize, void* context);

// Shows the window for `installFolder`; the outcome of the removal, or kUninstallCancelled.
UninstallExitCode ShowUninstallWindow(const wchar_t* installFolder, RemoveAction remove, void* context);
