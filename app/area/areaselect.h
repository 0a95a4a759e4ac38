// TFrmAreaSelect, the see-through frame with which the user marks the rectangle an area
// recording records: a stay-on-top sizeable window, with a 1-pixel border inside its frame,
// whose client area is see-through except for the panel of controls in its middle. The user drags and sizes it, or types its outer bounds
// into the four edits; the confirm button hides it and starts the area recording, closing it
// brings the main window back.
//
// The main window makes it on first use (FrmAreaSelect) and keeps it until it goes itself. It
// is not owned by the main window: the recording minimises the main window, and a minimised
// owner hides the windows it owns. Main thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "app/forms/layout.h"
#include "app/forms/picture_box.h"
#include "base/flat_button.h"
#include "base/window.h"

namespace app {

class TFrmAreaSelect;

// The area window of this run, made by the main window on first use; nullptr before and after.
extern TFrmAreaSelect* FrmAreaSelect;

inline constexpr const wchar_t* kAreaSelectTitle = L"请拖拉本窗体到合适位置，以确定录像区域";
inline constexpr const wchar_t* kEnterInteger = L"请输入一个整数";
inline constexpr int kAreaPanelSize = 265;  // PnlMain is kAreaPanelSize x kAreaPanelSize

class TFrmAreaSelect : public base::Window {
 public:
  // confirmed: the confirm button, called after the window has hidden itself. closed: the
  // window was closed (and is hidden); the main window comes back.
  TFrmAreaSelect(std::function<void()> confirmed, std::function<void()> closed);
  ~TFrmAreaSelect() override;

  // Creates the window hidden, centred on the primary screen, then FormCreate. False when the
  // window could not be made.
  bool Create();
  // Shown and brought to the front.
  void ShowArea();
  // The window's outer rectangle in screen pixels (what an area recording records).
  RECT Bounds() const;
  HWND Panel() const { return pnlMain_.hwnd(); }
  // The window paints its background through a memory bitmap (on from FormCreate).
  bool DoubleBuffered() const { return doubleBuffered_; }
  HWND Edit(int editId) const;

  // --- handlers ---
  void FormCreate();
  void FormResize();
  void WMMove();
  void UpdateBoundsEdits();
  // EdtLeftExit .. EdtHeightExit: one handler, by the edit's id.
  void EdtExit(int editId);
  // EdtLeftKeyDown .. EdtHeightKeyDown.
  void EdtKeyDown(int editId, WPARAM key);
  void BtnConfirmClick();
  void BtnCloseClick();
  void FormCloseQuery();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // The window's Left, Top, Width or Height (by the edit that shows it) := value.
  void ApplyBound(int editId, int value);
  void PaintBorder();
  void PaintBuffered();
  static LRESULT CALLBACK EditSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR subclassId,
                                           DWORD_PTR self);

  std::function<void()> confirmed_, closed_;
  app::Panel pnlMain_;
  // The panel's decoration: the top and bottom bands, the side borders and the labels' field,
  // each a panel that holds its picture.
  app::Panel pnlTop_, pnlBottom_, panel1_, panel2_, panel3_;
  PictureBox image1_, image2_, borderLeft_, borderRight_, labels_;
  base::FlatButton btnConfirm_, btnClose_;
  bool created_ = false;
  bool doubleBuffered_ = false;
};

}  // namespace app
