#pragma once
// Where the Finished page tells a person to remove the product: the group's own link where
// the install made one, else the place this Windows lists its programs.
#include "variants/windows_version.h"

// The message id of the hint for `release`, `groupLinkMade` when the Start-menu group got its
// "Uninstall Pictarn" link.
unsigned UninstallHintId(const WindowsRelease& release, bool groupLinkMade);
