// The about box: the product name, the version and the maker's lines. A mouse press anywhere
// on it (but its close button) opens the maker's home page.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace app {

// Creates the about box on first use (owned by owner) and shows it, not modally.
void ShowAboutBox(HWND owner);

// The about box, once it exists (for tests).
HWND AboutBoxWindow();

// How the about box opens a web address; the shell's default browser unless a test installs
// another. Returns the previous opener.
using WebPageOpener = std::function<void(const std::wstring& url)>;
WebPageOpener SetAboutBoxOpener(WebPageOpener opener);

}  // namespace app
