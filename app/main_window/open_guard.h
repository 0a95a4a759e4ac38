// The guard of the main window's open dialogs against paths longer than MAX_PATH. Main thread.
#pragma once

#include <windows.h>

namespace app {

// The hook procedure for an OPENFILENAMEW with OFN_EXPLORER | OFN_ENABLEHOOK: a choice whose
// path (any of them, when several files are chosen) is longer than 259 characters is refused
// with a message while the dialog stays open.
UINT_PTR CALLBACK LongPathOpenHook(HWND child, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace app
