#pragma once
// Names nobody can guess or take first, for files a run creates beside others' files.
#include <cstddef>

// 32 hexadecimal digits from the system's random source; 0 when it fails or does not fit.
int FormatRandomHex(wchar_t* out, size_t outSize);
