// The fade-in used for the main window, the about box and the setup window. AnimateWindow
// leaves the window visible when it succeeds, but it fails for a window that is already shown;
// the ShowWindow after it makes the outcome the same either way.
#include "base/showform.h"

namespace base {

void ShowFormAnimated(HWND wnd, int showCmd) noexcept {
  if (!::IsWindow(wnd)) return;
  ::BringWindowToTop(wnd);
  ::AnimateWindow(wnd, 500, AW_BLEND);
  ::ShowWindow(wnd, showCmd);
  ::SetForegroundWindow(wnd);
}

}  // namespace base
