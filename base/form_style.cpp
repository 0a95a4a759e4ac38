// The forms' shared background brush and child-control parameters.
#include "base/form_style.h"

namespace base {

HBRUSH FormBrush() {
  // Created once and never freed: class backgrounds and WM_CTLCOLOR answers use it until the
  // process ends.
  static HBRUSH brush = ::CreateSolidBrush(kFormColor);
  return brush;
}

WindowSpec ChildSpec(HWND parent, int id, const RECT& bounds, bool visible, DWORD extraStyle) {
  WindowSpec spec;
  spec.style = WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0) | extraStyle;
  spec.x = bounds.left;
  spec.y = bounds.top;
  spec.width = bounds.right - bounds.left;
  spec.height = bounds.bottom - bounds.top;
  spec.parent = parent;
  spec.id = static_cast<UINT_PTR>(id);
  return spec;
}

}  // namespace base
