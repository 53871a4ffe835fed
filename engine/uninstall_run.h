#pragma once
// Removing one installation: its files, settings pointer and folders, then everything the
// registration wrote (the shell layer's work), without showing anything itself.
#include "engine/install_reporter.h"
#include "model/exit_codes.h"

struct UninstallOptions {
    const wchar_t* installFolder;  // ending in a backslash
    bool purge;                    // the user's settings go too
};

// Each file or folder that stays behind is reported as a note ("message: path").
UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter);
