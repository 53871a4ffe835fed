#pragma once
// The setup application: hardens the process, then runs the silent install or the wizard.
#include "framework/application.h"
#include "framework/handles.h"

#include <windows.h>

class CWizPropertySheet;

class TheApp : public Application {
public:
    explicit TheApp(CWizPropertySheet& sheet) : m_sheet(sheet) {}
    ~TheApp() override;
    // InitInstance: runs the silent install or the wizard; always 0.
    int InitInstance() override;

private:
    void RunWizard();
    void ApplyVisualStyles();

    CWizPropertySheet& m_sheet;
    // Kept loaded for the whole run once the visual-styles call was made.
    LibraryModule m_uxTheme;
    // Loaded from the system folder at start-up, before anything asks for it by name.
    LibraryModule m_ole32;
};
