#include "framework/application.h"

namespace {
Application* currentApplication = nullptr;
}

Application::Application() { currentApplication = this; }

Application::~Application() {
    if (currentApplication == this) currentApplication = nullptr;
}

Application* Application::Current() { return currentApplication; }

int Application::Run(HINSTANCE moduleInstance) {
    instance = moduleInstance;
    if (InitInstance()) {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}
