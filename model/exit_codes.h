#pragma once
// Process exit codes, so that deployment tools can tell a failed silent install from success.
enum SetupExitCode : int {
    kExitInstalled = 0,             // installed (silent) or the wizard reached its end
    kExitLeftWizard = 1,            // the user left the wizard before installing
    kExitProductRunning = 2,        // the product is running; nothing was installed
    kExitInvalidFolder = 3,         // invalid destination directory
    kExitFolderNotCreated = 4,      // the destination directory cannot be created
    kExitFilesNotInstalled = 5,     // not all files could be installed
};
