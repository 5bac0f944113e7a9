// The entry point of the windowed programs: hand the run to the application object.
#include "framework/application.h"
#include "framework/system_library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library by name.
    LimitLibrarySearchToSystemFolder();
    Application* app = Application::Current();
    try {
        return app ? app->Run(instance) : 1;
    } catch (...) {
        // Whatever was not handled where it arose ends the program quietly: the
        // system's crash report would say nothing a user can act on. The
        // application leaves what it can first.
        try {
            app->Rescue();
        } catch (...) {
        }
        return 1;
    }
}
