#pragma once
// The installer's message strings, loaded from the string table when they are needed.
#include "res/resource.h"

#include <cstddef>

// Loads message `id` into `out`; an unknown id gives an empty text.
void LoadMessage(unsigned id, wchar_t* out, size_t outSize);
