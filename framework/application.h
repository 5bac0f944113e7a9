// The application object: one global instance per program, started from WinMain.
// InitInstance decides what the run does; returning false ends the program without
// a message loop, which is how both programs end once their dialog has closed.
#pragma once

#include <windows.h>

class Application {
 public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    // Called when an exception nobody handled reaches the program's entry, before it
    // ends: the last chance to leave the user what they started the program for.
    virtual void Rescue() {}

    // Runs InitInstance, a message loop when it returned TRUE, then ExitInstance.
    int Run(HINSTANCE instance);

    static Application* Current();

    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
};
