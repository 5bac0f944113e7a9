#include "initvl2/setup_app.h"

// The one application object of the installer.
SetupApp theApp;
