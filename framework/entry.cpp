#include "framework/application.h"

#include <windows.h>

#include <cstdlib>

extern "C" void __main();  // the C runtime library's: constructs the program-wide objects, once

// Destructors to run at exit(), kept by msvcrt.dll itself (the toolchain's own atexit lives in the
// start-up code left out).
extern "C" int __cdecl atexit(void(__cdecl* function)(void))
{
    return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// Where the process starts. The C runtime (msvcrt.dll) readies itself as it is loaded, and the
// program reads its command line through Windows: what the toolchain's start-up code adds
// besides (argument parsing, signal emulation, a crash filter) would only cost download bytes.
// exit() destroys the program-wide objects before the process ends. Windows starts a 32-bit
// process with its stack aligned to 4 bytes only; the compiled code counts on 16.
extern "C" __attribute__((force_align_arg_pointer)) void __stdcall ProgramStart()
{
    __main();
    Application* app = Application::Instance();
    exit(app != nullptr ? app->Run() : 1);
}
