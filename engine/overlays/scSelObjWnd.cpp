// The window picker: a red frame that follows the window under the mouse cursor.
//
// WindowFromPoint sees the picker itself only on its one-pixel frame or its caption tab (the
// region has a hole where the picked window shows through); such a step keeps the previous
// pick instead of framing the frame.

#include "engine/overlays/scSelObjWnd.h"

namespace scSelObjWnd {

namespace {
constexpr UINT_PTR kTrackTimerId = 1;
}

TSelObjWindow::TSelObjWindow()
    : FrameWindow(kPickerFrame, Colors{RGB(255, 255, 255), RGB(255, 0, 0), true, RGB(255, 0, 0)}) {
  CreateFrame();
}

TSelObjWindow::~TSelObjWindow() {
  if (SelObjWindow == this) SelObjWindow = nullptr;
  StopTracking();
}

void TSelObjWindow::StartTracking() {
  if (!hwnd() || tracking_) return;
  tracking_ = ::SetTimer(hwnd(), kTrackTimerId, kTrackIntervalMs, nullptr) != 0;
}

void TSelObjWindow::StopTracking() {
  if (tracking_ && hwnd()) ::KillTimer(hwnd(), kTrackTimerId);
  tracking_ = false;
}

void TSelObjWindow::Timer1Timer() {
  if (!hwnd()) return;
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  HWND under = ::WindowFromPoint(cursor);
  if (under && under != hwnd() && ::GetAncestor(under, GA_ROOT) != hwnd()) {
    RECT r;
    if (::GetWindowRect(under, &r)) {
      pick_ = r;
      picked_ = under;
    }
  }
  SetupFrame(PickLeft(), PickTop(), PickWidth(), PickHeight(), false, kPickerCaption);
  PaintFrame(RGB(255, 0, 0), kPickerCaption);
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

int TSelObjWindow::ShowModal() {
  if (!hwnd()) return IDCANCEL;
  modalResult_ = 0;
  // The first pick before the window appears, so it never shows at its initial place.
  Timer1Timer();
  Show();
  StartTracking();
  int result = scFlashWnd::RunOverlayModal(modalResult_);
  StopTracking();
  Hide();
  return result;
}

LRESULT TSelObjWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kTrackTimerId) {
    if (tracking_) Timer1Timer();
    return 0;
  }
  return FrameWindow::OnMessage(msg, wp, lp);
}

}  // namespace scSelObjWnd
