// TFreeHandWindow: a modal window over a frozen image of the whole virtual desktop, in which
// the user drags a rectangle, drawn as two red crosshairs, and confirms it with Ctrl + left
// click.
//
// The selection itself is a pure state machine (FreeHandState and the FreeHand* functions),
// driven by the window's mouse messages with the screen cursor position and tested without a
// display. States: Waiting (the first crosshair follows the cursor) -> left button down ->
// Dragging (a second crosshair follows) -> button up -> Selected when the two crosshairs differ
// in both directions, else back to Waiting -> Ctrl + left click in Selected with a non-empty
// selection confirms; a plain left click in Selected starts a new drag.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/unique.h"
#include "base/window.h"

namespace scFreeHandWnd {

// One red crosshair line, 2 pixels thick across the whole desktop: a vertical line at screen
// x = pos, or a horizontal one at screen y = pos.
struct CrossLine {
  bool visible = false;
  int pos = 0;
  bool operator==(const CrossLine&) const = default;
};
inline constexpr int kLineThickness = 2;

struct FreeHandState {
  bool Dragging = false;
  bool HasSelection = false;
  // The two corners as dragged, screen coordinates.
  int StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  // The normalised selection.
  int SelLeft = 0, SelTop = 0, SelWidth = 0, SelHeight = 0;
  // Shape1 and Shape3 are vertical lines, Shape2 and Shape4 horizontal ones; Shape1/Shape2
  // mark the start corner (or follow the cursor while waiting), Shape3/Shape4 the end corner.
  CrossLine Shape1, Shape2, Shape3, Shape4;
};

enum class MouseButton { Left, Right, Middle };

// A button went down with the cursor at `cursor`. True when this confirms the selection (Ctrl
// + left click on a non-empty selection): the window then closes with OK.
bool FreeHandMouseDown(FreeHandState& s, MouseButton button, bool ctrl, POINT cursor);
void FreeHandMouseMove(FreeHandState& s, POINT cursor);
void FreeHandMouseUp(FreeHandState& s);

// The hint shown at the cursor after a move (lines separated by LF CR).
std::wstring FreeHandHint(const FreeHandState& s, POINT cursor);

// The screen strips whose look changed between two states: the old and the new place of each
// line that moved, appeared or vanished. desktop: the virtual desktop the lines span.
std::vector<RECT> ChangedLineStrips(const FreeHandState& before, const FreeHandState& after,
                                    const RECT& desktop);

// The strip a line covers on the desktop.
RECT LineStrip(const CrossLine& line, bool vertical, const RECT& desktop);

class HintWindow;

class TFreeHandWindow : public base::Window {
 public:
  // Creates the window (hidden) and the bitmap for the frozen desktop.
  TFreeHandWindow();
  ~TFreeHandWindow() override;

  // Freezes the desktop into the bitmap, covers the virtual desktop with the window and shows
  // it without activating it.
  void Show();
  // Show, then runs messages until the selection is confirmed (IDOK) or cancelled (IDCANCEL:
  // Esc, Cancel). The window is hidden again before it returns.
  int ShowModal();
  void SetModalResult(int result) noexcept { modalResult_ = result; }
  void Cancel() noexcept { modalResult_ = IDCANCEL; }

  // The normalised selection, screen coordinates.
  int SelLeft() const noexcept { return state_.SelLeft; }
  int SelTop() const noexcept { return state_.SelTop; }
  int SelWidth() const noexcept { return state_.SelWidth; }
  int SelHeight() const noexcept { return state_.SelHeight; }

  const FreeHandState& State() const noexcept { return state_; }
  // The current hint text (empty: no hint shown).
  const std::wstring& Hint() const noexcept { return hint_; }
  // The frozen desktop (virtual-desktop sized, the screen's format).
  HBITMAP ScreenCopy() const noexcept { return screenCopy_.get(); }
  // The virtual desktop the window covers, screen coordinates.
  const RECT& Desktop() const noexcept { return desktop_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormMouseDown(MouseButton button, WPARAM keys);
  void FormMouseMove();
  void FormMouseUp();
  void FormPaint();
  void Apply(const FreeHandState& before);

  FreeHandState state_;
  std::wstring hint_;
  base::UniqueBitmap screenCopy_;
  RECT desktop_{};
  int modalResult_ = 0;
  std::unique_ptr<HintWindow> hintWindow_;
};

// The free-hand window while SelectFreeHandRegion shows it (the window clears it when it goes).
inline TFreeHandWindow* FreeHandWindow = nullptr;

}  // namespace scFreeHandWnd
