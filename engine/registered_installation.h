#pragma once
// Which installation of this build is registered: the folder its uninstall entry names. Apart
// from the removal, so that the setup, which asks the same, carries none of the removal's code.
#include <cstddef>

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
