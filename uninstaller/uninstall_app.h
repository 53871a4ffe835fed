#pragma once
// The uninstaller: hardens the process like the setup, moves its own file out of the
// installation folder, and removes the installation silently or through its window, holding
// the run lock while it removes.
#include "framework/application.h"
#include "framework/handles.h"
#include "model/exit_codes.h"

class TextLines;

class UninstallApp : public Application {
public:
    // InitInstance: the whole removal; the exit code tells fleet tools the outcome. Always 0.
    int InitInstance() override;

    // Removes the installation this program belongs to, once the machine-wide lock is taken;
    // `outcome`, when given, receives one line for each thing that stayed.
    UninstallExitCode Remove(bool purge, TextLines* outcome);
    // Moves the running program out of the installation folder, so the folder can go.
    bool MoveSelfOut();

private:

    LibraryModule m_ole32;
    wchar_t m_folder[520] = {};     // the installation folder, ending in a backslash
    wchar_t m_self[520] = {};       // where this program's file is now
    bool m_silent = false;
    bool m_movedOut = false;        // m_self is out of the installation folder
};
