// The about box: the product name, the version and the maker's lines. A mouse press anywhere
// on it (but its close button) opens the maker's home page with OpenWebPage.
#pragma once

#include <windows.h>

namespace app {

// Creates the about box on first use (owned by owner) and shows it, not modally.
void ShowAboutBox(HWND owner);

// The about box, once it exists (for tests).
HWND AboutBoxWindow();

}  // namespace app
