// The program-wide objects, constructed before the entry point runs.
#include "app/the_app.h"
#include "wizard/wizard_sheet.h"

// The sheet first: the application refers to it and is destroyed before it.
CWizPropertySheet theSheet;
TheApp theApp(theSheet);
