// Reclume's entry point: everything happens in the program block.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return app::RunProgram(::GetCommandLineW()); }
