#pragma once
// Which program holds a file open, as Windows' Restart Manager tells it (Vista and later).
#include <cstddef>

// The name of one program that has `path` open; 0 when Windows cannot tell.
int ProgramHolding(const wchar_t* path, wchar_t* out, size_t outSize);
