/* Trivial GUI program for the benchmark. Without arguments it returns at once (the
   floor: what Wine needs to start any program). With "/wait" it stays open, so that
   Wine's desktop process and services keep running between the timed runs instead
   of starting and stopping around each one. */
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int show)
{
    (void)instance; (void)previous; (void)show;
    GetDesktopWindow(); /* connects to the desktop, as the installers do */
    if (strstr(cmdLine, "/wait"))
        Sleep(INFINITE);
    return 0;
}
