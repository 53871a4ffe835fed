// Stand-in for a small helper program of the product (the plug-in host): does nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return 0;
}
