// The screen camera's frame window and what the overlay windows share.
//
// TFlashingWnd is the frame the camera's tick keeps around the capture rectangle: a window
// whose region is a thin frame (or only its four corners) with a caption tab on its top-left
// corner for the status text. The window picker draws the same kind of frame with its own
// thickness and colours, so the geometry (LayoutFrame, pure) and the window (FrameWindow) are
// shared.
//
// Every overlay is an unowned topmost tool window that never takes the focus: minimising the
// application does not hide it, and the recorded program keeps the keyboard. All of them live
// on the main thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/unique.h"
#include "base/window.h"

namespace scFlashWnd {

// Frame thickness b and corner arm length c.
struct FrameStyle {
  int border;
  int corner;
};
inline constexpr FrameStyle kCameraFrame{2, 30};

// Where a frame around the rectangle (x, y, width, height) goes.
struct FrameLayout {
  RECT bounds{};     // the window, in screen coordinates (right and bottom excluded)
  RECT paintRect{};  // the part below the caption row, in window coordinates
  // Removed, in this order, from the whole window (0, 0, width, height) to give its region.
  // A piece whose right or bottom edge does not pass its left or top is left out.
  std::vector<RECT> cuts;
};

// Pure: the frame layout for a caption of the given size (0 x 0 for no caption). Negative
// widths and heights count as 0.
FrameLayout LayoutFrame(int x, int y, int width, int height, SIZE caption, bool cornersOnly,
                        FrameStyle style);

// The window region of a layout (GDI only: needs no display).
base::UniqueRegion MakeFrameRegion(const FrameLayout& layout);

// True when the rectangle has an area (right passes left and bottom passes top).
inline bool HasArea(const RECT& r) { return r.right > r.left && r.bottom > r.top; }

// The window styles every overlay uses.
inline constexpr DWORD kOverlayStyle = WS_POPUP | WS_CLIPSIBLINGS;
inline constexpr DWORD kOverlayExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;

// Shows an overlay without activating it and keeps it on top.
void ShowOverlay(HWND wnd);

// Runs this thread's messages until *result becomes non-zero and returns it. Esc ends the
// loop with IDCANCEL, as a key that reaches this thread or as a global hotkey on Esc (which
// the camera registers, so the key never reaches a window); the hotkey is still handed on to
// its window. A WM_QUIT ends it with IDCANCEL and is posted again for the outer loop.
int RunOverlayModal(const int& result);

// A window whose region is a frame around a rectangle, with a caption tab.
class FrameWindow : public base::Window {
 public:
  struct Colors {
    COLORREF captionText;
    COLORREF captionBack;
    bool fixedFrameColor;  // true: the frame is always drawn in frameColor
    COLORREF frameColor;
  };
  FrameWindow(FrameStyle style, Colors colors);
  ~FrameWindow() override;

  // Creates the window hidden at (0, 16), 300 x 300; false when that failed.
  bool CreateFrame();

  // Places the frame around (x, y, width, height) and cuts the window region.
  void SetupFrame(int x, int y, int width, int height, bool cornersOnly, const std::wstring& caption);
  // Paints the caption tab and the frame (nothing while PaintRect is empty).
  void PaintFrame(COLORREF color, const std::wstring& caption);

  void Show() { ShowOverlay(hwnd()); }
  void Hide() { ::ShowWindow(hwnd(), SW_HIDE); }

  // The size of a caption in the window's font; 0 x 0 for an empty caption.
  SIZE CaptionSize(const std::wstring& caption) const;

  const RECT& PaintRect() const noexcept { return paintRect_; }
  // The region in use (owned by the window system), or nullptr before the first SetupFrame.
  HRGN FrameRegion() const noexcept { return frameRegion_; }
  FrameStyle Style() const noexcept { return style_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);

  FrameStyle style_;
  Colors colors_;
  base::UniqueFont font_;
  RECT paintRect_{};
  HRGN frameRegion_ = nullptr;
  COLORREF color_;
  std::wstring caption_;
};

// The caption font of the frames: Tahoma with a 14-pixel em, regular (a status caption is
// 16 pixels high).
inline constexpr const wchar_t* kCaptionFontFace = L"Tahoma";
inline constexpr int kCaptionFontHeight = -14;

// The camera's frame: 2 pixels thick, 30-pixel corners, black caption text on yellow, the
// frame in the colour the camera passes (it alternates between two).
class TFlashingWnd : public FrameWindow {
 public:
  TFlashingWnd();
};

}  // namespace scFlashWnd
