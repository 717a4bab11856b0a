#pragma once

#include <windows.h>

// Centres the window on its owner when the user can see the owner (visible
// and not minimised), else in the work area of the monitor; either way it
// ends inside that work area.
void CentreWindow(HWND window);
