// The entry point of the windowed programs: hand the run to the application object.
#include "framework/application.h"
#include "framework/system_library.h"

namespace {

// The programs' manifest asks for Common Controls 6, which then also provides the
// buttons and edit controls of every dialog and message box. Windows XP registers
// those classes only once the library is loaded and initialised; a program that
// never loads it gets no dialog at all there. Loaded by bare name on purpose: the
// manifest's side-by-side redirection, which precedes every folder of the search,
// then picks version 6, where a path to the system folder would load version 5.
void StartCommonControls() {
    HMODULE library = LoadLibraryA("comctl32.dll");
    if (!library) return;
    using InitCommonControlsFn = void(WINAPI*)();
    auto start = reinterpret_cast<InitCommonControlsFn>(GetProcAddress(library, "InitCommonControls"));
    if (start) start();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library by name.
    LimitLibrarySearchToSystemFolder();
    StartCommonControls();
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
