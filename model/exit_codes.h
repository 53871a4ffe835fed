#pragma once
// Process exit codes, so that deployment tools can tell a failed silent run from success.
enum SetupExitCode : int {
    kExitInstalled = 0,             // installed (silent) or the wizard reached its end
    kExitLeftWizard = 1,            // the user left the wizard before installing
    kExitProductRunning = 2,        // the product is running; nothing was installed
    kExitInvalidFolder = 3,         // invalid destination directory
    kExitFolderNotCreated = 4,      // the destination directory cannot be created
    kExitNotAllInstalled = 5,       // not everything could be installed: files, or what the log lists
    kExitAnotherRunning = 1618,     // another installation or removal is at work; nothing was done
    kExitNewerInstalled = 1638,     // a newer version is installed and no downgrade was asked for; nothing was done
};

// The uninstaller's exit codes; fleet tools read 3010 as "reboot to finish", 1618 as "retry".
enum UninstallExitCode : int {
    kUninstallRemoved = 0,           // everything of this installation is gone
    kUninstallCancelled = 1,         // the user cancelled; nothing was removed
    kUninstallProductRunning = 2,    // the product is running; nothing was removed
    kUninstallIncomplete = 5,        // not everything could be removed (listed in the log)
    kUninstallNotRegistered = 1605,  // no registered installation in this folder; nothing was removed
    kUninstallAnotherRunning = 1618, // another installation or removal is at work; nothing was done
    kUninstallAtRestart = 3010,      // removed; what was in use goes at the next restart
};
