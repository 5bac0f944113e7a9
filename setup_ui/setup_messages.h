// What the setup window tells the user in boxes when the install run ends: why it
// gave up, what it could not do, and the shortcuts it could not write.
#pragma once

#include <windows.h>

#include "install/setup_run.h"
#include "install/shortcuts.h"

// Shows the box a run's message calls for, owned by `window`; nothing for none.
void ShowRunMessage(HWND window, install::RunMessage message);

// Shows the boxes for a shortcut the install sequence could not write.
void ShowShortcutFailure(HWND window, const install::ShortcutResult& failure);
