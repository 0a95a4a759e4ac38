// TFrmTool, the little stay-on-top window beside a recorded area: its stop button, and its
// close box, stop the recording through the main window and hide it.
//
// The main window makes it on first use (FrmTool) and keeps it until it goes itself. Like the
// area window it is not owned by the main window, which is minimised while it records. Main
// thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "app/forms/frame_pictures.h"
#include "base/flat_button.h"
#include "base/window.h"

namespace app {

class TFrmTool;

// The tool window of this run, made by the main window on first use; nullptr before and after.
extern TFrmTool* FrmTool;

inline constexpr const wchar_t* kToolTitle = L"区域屏幕录像";
inline constexpr const wchar_t* kToolStopHint = L"停止录像";
inline constexpr int kToolClientWidth = 167;
inline constexpr int kToolClientHeight = 144;
// The gap between the area and the tool window.
inline constexpr int kToolGap = 10;

// The tool window's left edge beside area (screen pixels), for a window toolWidth wide on a
// screen screenWidth wide: right of the area when it fits there, else left of it; when neither
// side has room, inside the screen on the side with more room.
int ToolWindowLeft(const RECT& area, int toolWidth, int screenWidth);

class TFrmTool : public base::Window {
 public:
  // stop: the stop button or the close box (the window hides itself afterwards).
  explicit TFrmTool(std::function<void()> stop);
  ~TFrmTool() override;

  // Creates the window hidden. False when the window could not be made.
  bool Create();
  // Placed beside area (its top at the area's top) and shown without taking the focus.
  void ShowBeside(const RECT& area);
  void Hide();

  // --- handlers ---
  void BtnStopRecClick();
  void FormCloseQuery();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::function<void()> stop_;
  PictureFrame frame_;  // the decoration round its edges
  base::FlatButton btnStopRec_;
};

}  // namespace app
