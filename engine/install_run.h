#pragma once
// The one install operation, shared by the silent start-up and the wizard's Ready page.
#include "engine/install_reporter.h"
#include "model/exit_codes.h"
#include "model/install_options.h"

// 1 = installed, 0 = stopped at a failure it reported through `reporter`. `outcome` receives
// the matching process exit code. The folder in `options` is made absolute and trimmed.
int RunInstall(InstallOptions& options, InstallReporter& reporter, SetupExitCode& outcome);
