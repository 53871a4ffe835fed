#include "framework/system_colours.h"

bool HighContrastOn()
{
    HIGHCONTRASTW contrast{sizeof(contrast), 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0)
           && (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF ShownColour(COLORREF custom, int systemIndex, bool highContrast)
{
    return highContrast ? GetSysColor(systemIndex) : custom;
}
