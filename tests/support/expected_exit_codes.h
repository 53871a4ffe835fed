#pragma once
// The setup program's (and the uninstaller's shared) process exit codes as its documentation lists them, written out here
// on their own so that a wrong value in the program is caught.
namespace exit_code {

constexpr int kInstalled = 0;          // installed (silent), or the wizard was finished
constexpr int kLeftWizard = 1;         // the user left the wizard before installing
constexpr int kProductRunning = 2;     // the product is running; nothing was installed
constexpr int kInvalidFolder = 3;      // invalid (empty) destination directory
constexpr int kFolderNotCreated = 4;   // the destination directory cannot be created
constexpr int kNotAllInstalled = 5;    // not everything could be installed: files, or what the log lists
constexpr int kAnotherRunning = 1618;  // another installation or removal is at work (setup and uninstaller)
constexpr int kNewerInstalled = 1638;  // a newer version is installed and no downgrade was asked for

}  // namespace exit_code
