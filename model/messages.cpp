#include "model/messages.h"

#include <windows.h>

void LoadMessage(unsigned id, wchar_t* out, size_t outSize)
{
    if (outSize == 0)
        return;
    out[0] = L'\0';
    LoadStringW(GetModuleHandleW(nullptr), id, out, static_cast<int>(outSize));
}
