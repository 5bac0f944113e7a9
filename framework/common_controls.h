// Common Controls 6, which the programs' manifest asks for: it then provides the
// buttons and edit controls of every dialog and message box.
#pragma once

#include <windows.h>

// Loads and starts the library once. Windows XP registers those classes only then,
// and a program that never starts it gets no dialog there. Loading it costs a start
// that shows nothing (the current suite's) about 40 ms under Wine, a fifth of it,
// so it is done before the first window or box, not at every start.
void StartCommonControls();

// MessageBoxA, with the common controls started first.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
