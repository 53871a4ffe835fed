#pragma once
// The product is running while a top-level window of its main window class exists.
#include <windows.h>

// That window, or null when the product is not running.
HWND FindProductWindow();
