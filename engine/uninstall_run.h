#pragma once
// Removing one installation: its files, settings pointer and folders, then everything the
// registration wrote (the shell layer's work), without showing anything itself.
#include "engine/install_reporter.h"
#include "model/exit_codes.h"

#include <cstddef>

struct UninstallOptions {
    const wchar_t* installFolder;  // ending in a backslash
    bool purge;                    // the user's settings go too
    // Called once everything else is gone: moves the running uninstaller out of the folder;
    // false when it cannot, and the uninstaller and the folder then go at the next restart.
    bool (*moveUninstallerOut)(void* context);
    void* context;
};

// Everything but the uninstaller itself goes first, so a run cut short leaves the uninstaller
// in place to be run again; the uninstall entry goes last of all, so that it still finds the
// installation. Each file or folder that stays behind is reported as a note ("message: path").
UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter);
