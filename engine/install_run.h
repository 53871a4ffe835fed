#pragma once
// The one install operation, shared by the silent start-up and the wizard's Ready page.
#include "engine/install_reporter.h"
#include "model/exit_codes.h"
#include "model/install_options.h"

// The process exit code: kExitInstalled; kExitNotAllInstalled after the install went through
// and told `reporter` each thing it could not make; kExitLeftWizard when `reporter` stopped the
// unpacking; or the failure that stopped it, reported through `reporter`. The association
// question comes before anything is written; a run that stops before its files are in place
// leaves no folder it made. The folder in `options` is made absolute and trimmed.
SetupExitCode RunInstall(InstallOptions& options, InstallReporter& reporter);
