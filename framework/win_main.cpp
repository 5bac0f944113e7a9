// The entry point of the windowed programs: hand the run to the application object.
#include "framework/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Application* app = Application::Current();
    return app ? app->Run(instance) : 1;
}
