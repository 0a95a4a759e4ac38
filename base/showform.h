// Showing a top-level window with the short fade-in the programs open their windows with.
#pragma once

#include <windows.h>

namespace base {

// Brings wnd to the front, fades it in over 500 ms (AnimateWindow with AW_BLEND; under Wine the
// window simply appears), then shows it with showCmd and makes it the foreground window.
void ShowFormAnimated(HWND wnd, int showCmd = SW_SHOW) noexcept;

}  // namespace base
