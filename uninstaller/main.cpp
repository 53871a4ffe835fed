// The program-wide object, constructed before the entry point runs.
#include "uninstaller/uninstall_app.h"

UninstallApp theApp;
