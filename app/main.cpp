// The program-wide objects, constructed before the entry point runs.
#include "app/the_app.h"

TheApp theApp;
