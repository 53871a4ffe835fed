// Stand-in for small helper programs of the product (uninstaller, plug-in host): does nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return 0;
}
