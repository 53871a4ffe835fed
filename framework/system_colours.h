#pragma once
// The program's own colours, and the system's that take their place in a high-contrast scheme.
#include <windows.h>

// True while the user has a high-contrast scheme on.
bool HighContrastOn();

// `custom`, or system colour `systemIndex` (COLOR_...) when `highContrast`: a person who chose
// high contrast sees the colours of that scheme, never the program's.
COLORREF ShownColour(COLORREF custom, int systemIndex, bool highContrast);
