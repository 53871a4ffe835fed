#pragma once
// The uninstaller: hardens the process like the setup, takes the run lock, moves its own file
// out of the installation folder, and removes the installation silently or through its window.
#include "framework/application.h"
#include "framework/handles.h"
#include "model/exit_codes.h"

#include <cstddef>

class UninstallApp : public Application {
public:
    // InitInstance: the whole removal; the exit code tells fleet tools the outcome. Always 0.
    int InitInstance() override;

    // Removes the installation this program belongs to; fills `summary` for the window.
    UninstallExitCode Remove(bool purge, wchar_t* summary, size_t summarySize);
    // Moves the running program out of the installation folder, so the folder can go.
    bool MoveSelfOut();

private:

    LibraryModule m_ole32;
    wchar_t m_folder[520] = {};     // the installation folder, ending in a backslash
    wchar_t m_self[520] = {};       // where this program's file is now
    bool m_silent = false;
    bool m_movedOut = false;        // m_self is out of the installation folder
};
