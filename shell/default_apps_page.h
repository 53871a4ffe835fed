#pragma once
// Since Windows 8 only Windows' own pages may make a program the default for a file type: the
// setup registers the product and offers it, then opens the page where the user decides.
#include "variants/windows_version.h"

// What opens Windows' page for the product's defaults on one release: a program or address
// and its parameters; `target` null where the setup itself still points the types (before 8).
struct DefaultAppsPage {
    const wchar_t* target = nullptr;
    const wchar_t* parameters = nullptr;
    bool inSystemFolder = false;  // `target` is a program of the system folder
};

DefaultAppsPage DefaultAppsPageFor(const WindowsRelease& release);

// Opens the page for the running Windows as the signed-in user: 1 opened, 0 none on this
// Windows, -1 not opened.
int OpenDefaultAppsPage();
