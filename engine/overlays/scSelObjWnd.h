// TSelObjWindow: the window picker. A frame that jumps every 40 ms onto the window under the
// mouse cursor; the camera's CONTROL + RETURN hotkey confirms the pick (it stops the tracking
// and sets the modal result), Esc cancels it.
#pragma once

#include <windows.h>

#include <string>

#include "engine/overlays/scFlashWnd.h"

namespace scSelObjWnd {

// 1 pixel thick, 20-pixel corners, white caption text on red, the frame always red.
inline constexpr scFlashWnd::FrameStyle kPickerFrame{1, 20};
inline constexpr const wchar_t* kPickerCaption = L"Cancel: Esc -- Select: Ctrl+Enter";
inline constexpr UINT kTrackIntervalMs = 40;

class TSelObjWindow : public scFlashWnd::FrameWindow {
 public:
  // Creates the window (hidden); tracking starts with ShowModal.
  TSelObjWindow();
  ~TSelObjWindow() override;

  // Picks once, shows the frame and runs messages until the modal result is set (IDOK,
  // IDCANCEL) or Esc cancels. Tracking runs meanwhile; the window is hidden when it returns.
  int ShowModal();
  void SetModalResult(int result) noexcept { modalResult_ = result; }

  // Tracking every 40 ms: on while ShowModal runs until StopTracking.
  void StartTracking();
  void StopTracking();
  bool Tracking() const noexcept { return tracking_; }

  // One tracking step: the window under the cursor becomes the pick (its own frame is
  // ignored: the previous pick stays) and the frame is placed around it.
  void Timer1Timer();

  // The picked window's rectangle, screen coordinates.
  int PickLeft() const noexcept { return pick_.left; }
  int PickTop() const noexcept { return pick_.top; }
  int PickWidth() const noexcept { return pick_.right - pick_.left; }
  int PickHeight() const noexcept { return pick_.bottom - pick_.top; }
  // The picked window (nullptr before the first pick).
  HWND PickedWindow() const noexcept { return picked_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  RECT pick_{};
  HWND picked_ = nullptr;
  bool tracking_ = false;
  int modalResult_ = 0;
};

// The picker while SelectObjectRegion shows it; the hotkey handler reads it (the window clears
// it when it goes).
inline TSelObjWindow* SelObjWindow = nullptr;

}  // namespace scSelObjWnd
