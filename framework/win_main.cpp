// The entry point of the windowed programs: hand the run to the application object.
#include "framework/application.h"
#include "framework/system_library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library by name.
    LimitLibrarySearchToSystemFolder();
    Application* app = Application::Current();
    return app ? app->Run(instance) : 1;
}
