#pragma once
// The bytes of a resource of the program's own module; resources stay mapped for the
// process's lifetime, so nothing is released.
#include <windows.h>

struct ResourceBytes {
    const void* data;  // null when the resource is missing or cannot be loaded
    DWORD size;
};

ResourceBytes FindResourceBytes(const wchar_t* type, unsigned id);
