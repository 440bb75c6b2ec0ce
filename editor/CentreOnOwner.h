// Placing the editor's dialogs where the user is looking: over the window
// that owns them.
#pragma once

#include <windows.h>

// Centres hWnd over its owner, kept inside the work area of the owner's
// monitor; a window without an owner stays where it is.
void CentreOnOwner(HWND hWnd);
