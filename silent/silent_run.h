#pragma once
// The silent run: every choice from the switches and defaults, no window ever; what goes
// wrong is appended to the install log in the start directory.
#include "model/exit_codes.h"

// Installs as the command line says; returns the process exit code.
SetupExitCode RunSilent(const wchar_t* commandLine);
