#include "framework/random_name.h"

#include "framework/text.h"

#include <windows.h>
#include <ntsecapi.h>

int FormatRandomHex(wchar_t* out, size_t outSize)
{
    unsigned long long random[2];
    return RtlGenRandom(random, sizeof(random)) && FormatText(out, outSize, L"%016llx%016llx", random[0], random[1]);
}
