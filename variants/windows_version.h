#pragma once
// The Windows-version questions the setup asks. The 64-bit build answers them through
// VerifyVersionInfoW, the 32-bit build through GetVersionExW, which older Windows has.

// True when Windows is 6.minor or later (minor 0 = Vista, 2 = Windows 8).
bool IsWindowsAtLeast(unsigned minor);

bool IsVistaOrLater();
// Windows 8 or later: the associations also block the store apps' "open with" claim.
bool IsWindows8OrLater();
// The Start-menu group gets no "Uninstall" shortcut on these versions.
bool LeavesOutUninstallShortcut();
// Windows XP or Server 2003, where associations go to the per-user FileExts key.
bool IsXpClass();

// The version Windows really runs. Windows reports 6.2 to a program whose manifest does not
// declare later versions, which the rules above rely on; only ntdll tells 8.1, 10 and 11 apart.
struct WindowsRelease {
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned long build = 0;
};
WindowsRelease RunningRelease();
