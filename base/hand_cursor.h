// The hand cursor over one control. The class cursor cannot serve: every STATIC of the
// process shares one class, so SetClassLongPtrW on one label would give every label the hand.
#pragma once

#include <windows.h>

namespace base {

// From now on control shows the hand while the mouse is over it (it answers WM_SETCURSOR
// itself). A static control gets WM_SETCURSOR only with SS_NOTIFY: without it the mouse passes
// through to its parent.
bool UseHandCursor(HWND control);

}  // namespace base
