// Windows does not let a running program delete its own file, so the uninstaller
// that the uninstall entry starts does no removal itself: it starts a copy of
// itself from the user's TEMP folder, tells that copy its own path, and ends.
#pragma once

// Starts the copy with a command line naming this program; false when it could not
// (no TEMP folder, no room), and this program must do the work itself.
bool StartCopyInTemp();
