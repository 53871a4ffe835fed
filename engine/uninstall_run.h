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

// The folder this build's uninstall entry names ("InstallLocation"), ending in a backslash; false
// where there is no entry or it names no absolute folder.
bool FindRegisteredFolder(wchar_t* registered, size_t registeredSize);

// True when `ownFolder` is the folder this build's uninstall entry names ("InstallLocation"),
// compared as folders, not as texts; `registered` (ending in a backslash) then holds the folder
// as the entry spells it, which is how every value the setup wrote spells it too.
bool FindRegisteredInstallation(const wchar_t* ownFolder, wchar_t* registered, size_t registeredSize);

// True when this build's installation is in another folder than `folder`: its entry names that
// folder (into `existing`), and the uninstaller is still there. An entry whose folder lost its
// uninstaller is what a removal cut short at its very end left; an install takes it over.
bool InstalledElsewhere(const wchar_t* folder, wchar_t* existing, size_t existingSize);

// Everything but the uninstaller itself goes first, so a run cut short leaves the uninstaller
// in place to be run again; the uninstall entry goes last of all, so that it still finds the
// installation. Each file or folder that stays behind is reported as a note ("message: path").
UninstallExitCode RunUninstall(const UninstallOptions& options, InstallReporter& reporter);
