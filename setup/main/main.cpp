// Pelvane's entry point: everything happens in the program block.
#include <windows.h>

#include "setup/setup_form.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return setup::RunSetup(::GetCommandLineW()); }
