#pragma once
// System libraries are loaded by full path from the system folder, never by bare name; the
// libraries bound on first use go the same way (the delay-load hook lives here).
#include <windows.h>

#include <cstddef>

// Full path of a file in the system folder; 0 when it does not fit `outSize`.
int SystemFolderFile(const wchar_t* fileName, wchar_t* out, size_t outSize);

// Loads a library from the system folder by full path, never by bare name; null on failure.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Restricts the DLL search and loads ole32 (and what it and shlwapi bind to) from the system
// folder before anything asks for it by name (shell32's import of it, the input-method support
// once there are windows; under Wine those look in the program's folder first). Keep the module
// for the whole run.
HMODULE PrepareLibraryLoading();

// A function of a loaded library as the pointer type `Fn`; null when it is missing.
template <typename Fn> Fn ProcAddress(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads the common controls the manifest names and registers their window classes. Only a run
// that shows windows calls it: they are bound on first use, so a silent run never loads them.
void PrepareCommonControls();
