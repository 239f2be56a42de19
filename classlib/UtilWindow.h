#pragma once
// Hidden windows of the library's own that carry an object's messages where no form is at hand:
// the timer's ticks, the commands of popup menus. The object's method receives every message
// and answers what it does not handle with DefWindowProcW of the window.
#include <windows.h>

#include "Messages.h"

// A window of the calling thread whose procedure calls method. Message-only windows see no
// broadcasts and never show; the others are hidden top-level windows, which menus need as their
// owner. Raises the OS error when the window cannot be made.
HWND AllocateUtilWindow(const TWndMethod& method, bool messageOnly);

// Destroys such a window and frees its procedure; null is ignored.
void DeallocateUtilWindow(HWND window);
