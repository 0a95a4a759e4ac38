// What every form of both programs shares: the background colour and its brush, and the
// creation parameters of a child control with a fixed id.
#pragma once

#include <windows.h>

#include "base/window.h"

namespace base {

// The forms' shared background colour.
inline constexpr COLORREF kFormColor = RGB(0xF5, 0xFA, 0xFE);
// A brush of kFormColor that lives for the whole run (class backgrounds, WM_CTLCOLOR*).
HBRUSH FormBrush();

// The creation parameters of a child control of parent with a fixed id, at bounds (parent's client
// coordinates); WS_CHILD | WS_CLIPSIBLINGS, plus WS_VISIBLE when visible, plus extraStyle.
WindowSpec ChildSpec(HWND parent, int id, const RECT& bounds, bool visible, DWORD extraStyle = 0);

}  // namespace base
