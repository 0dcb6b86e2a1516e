// Public entry of the menu skin: gives the drop-down menus of one top-level window
// a flat owner-drawn look (light background, gutter column, frame, selection box).
#pragma once

#include <windows.h>

// Subclasses the window and hooks the creation of menu popup windows on its thread.
// Returns 1 when the skin is in place, 0 when the window carries a non-zero
// "OfficeMenuHook" property or is not a window.
int InstallMenuSkin(HWND window);
