#pragma once
// The bytes of a resource of the program's own module; resources stay mapped for the
// process's lifetime, so nothing is released.
#include <windows.h>

struct ResourceBytes {
    const void* data;  // null when the resource is missing or cannot be loaded
    DWORD size;
};

ResourceBytes FindResourceBytes(const wchar_t* type, unsigned id);

// Where the bytes of a resource found above lie in the program's own file. Reading a large
// resource from there leaves its mapped pages untouched, so it never adds to the process's
// memory. False when the bytes are not within one section of the file.
bool ResourceFileOffset(const ResourceBytes& resource, ULONGLONG& offset);
