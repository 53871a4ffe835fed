/* Trivial GUI program for the benchmark. Without arguments it returns at once (the
   floor: what Wine needs to start any program). With "/wait" it stays open, so that
   Wine's desktop process and services keep running between the timed runs instead
   of starting and stopping around each one. With "/window" it stays open with a hidden
   window of the product's class, so that a setup run stops at its running-product check. */
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int show)
{
    (void)previous; (void)show;
    GetDesktopWindow(); /* connects to the desktop, as the installers do */
    if (strstr(cmdLine, "/window")) {
        WNDCLASSW product = {0};
        product.lpfnWndProc = DefWindowProcW;
        product.hInstance = instance;
        product.lpszClassName = L"Pictarn";
        RegisterClassW(&product);
        CreateWindowW(L"Pictarn", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL, instance, NULL);
    }
    if (strstr(cmdLine, "/wait") || strstr(cmdLine, "/window"))
        Sleep(INFINITE);
    return 0;
}
