#pragma once
// The one install operation, shared by the silent start-up and the wizard's Ready page.
#include "app/exit_codes.h"
#include "app/install_options.h"

// 1 = installed, 0 = stopped at a failure it reported (message box, or log entry when silent).
// `outcome` receives the matching process exit code.
int RunInstall(InstallOptions& options, SetupExitCode& outcome);
