// Stand-in for the icon library plug-in; its version resource is what matters.
#include <windows.h>

extern "C" __declspec(dllexport) int PtIconCount()
{
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
