// The program block: which window a run starts with, and the run itself.
#pragma once

#include <string>

#include "app/main_window/main_form.h"

namespace app {

// The first argument of a command line as the program reads it (the parsing the system gives
// every program: quotes group, blanks separate); empty when there is none.
std::wstring FirstArgument(const wchar_t* commandLine);
// The uninstall mode: the first argument is exactly "uninstall" (case-sensitive, no
// trimming); any further arguments do not matter.
bool IsUninstallMode(const wchar_t* commandLine);

// The product's identity as the program block sets it before any window exists: the title
// "屏幕录像" and the code "QIVKV", and in the normal mode (only) the version 3.6.
void SetProgramIdentity(bool uninstallMode);

// Runs the program for commandLine (the whole line, program name first): the uninstall window,
// or the main window faded in maximised; then the message loop until that window is closed.
// Returns the exit code. online: the web services the main window is given (the web panel's
// factory and the mirror probe's starter); quitOnDestroy is set here.
int RunProgram(const wchar_t* commandLine, MainFormOptions online = {});

}  // namespace app
