// The setup window is a per-pixel-alpha layered window: its whole look is one ARGB
// frame composed in memory and handed to the window manager. Nothing of it or of
// its controls is painted by the system.
#pragma once

#include <windows.h>

// Starts a new transparent frame of the given size with the cached base image.
void BeginFrame(int width, int height);
// Shows the current frame as the window's picture, where the window now stands.
void PushLayeredFrame(HWND window, int alpha, int width, int height);
// Places the window in the z-order: 0 and 4 topmost, 2 bottom, 3 on the desktop.
void SetZOrderMode(HWND window, int mode);
