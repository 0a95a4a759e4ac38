// The notification balloon: a small borderless, always-on-top window that never takes the
// focus, shaped as a rounded rectangle with a triangular tail whose tip points at a screen
// point. It shows an icon, a bold title, a text under it and a close mark, and hides itself
// after a time-out or when it is clicked. Reclume and its setup program both use it.
//
// Main thread only: the balloon is a window, and ActiveBalloon is used without a lock. Another
// thread hands its balloon to the main thread (base::PostToMain).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/unique.h"
#include "base/window.h"

namespace base {

// Where the tail sits (the Tail argument of ShowAt and ShowBalloon).
enum BalloonTail : BYTE {
  kTailBottomRight = 0,
  kTailBottomLeft = 1,
  kTailTopRight = 2,
  kTailTopLeft = 3,
};

// Icon codes: 0 information, 1 error, 2 warning; any other value shows the information icon.
const wchar_t* BalloonIconResource(BYTE icon);

// The tail a balloon anchored on a window's corner, edge middle or centre gets (anchors 0
// left/top, 1 centre/middle, 2 right/bottom; pairs outside the table give the top-left tail).
BYTE TailForAnchors(BYTE hAnchor, BYTE vAnchor);

class TBalloon : public Window {
 public:
  // Builds the hidden balloon window; null when the window could not be made.
  static std::unique_ptr<TBalloon> CreateNew();
  ~TBalloon() override;

  // Lays the balloon out for the texts, shapes it for the tail, places the tail's tip on the
  // screen point (x, y) and shows it without activating it; a time-out of 0 keeps it up until
  // it is clicked.
  void ShowAt(int x, int y, const std::wstring& title, const std::wstring& text, BYTE icon,
              int timeoutSeconds, BYTE tail);

  // Anchors the balloon on a corner, edge middle or centre of window's screen rectangle, moved
  // by (x, y), with the tail the anchors call for.
  void ShowAtControl(HWND window, int x, int y, BYTE hAnchor, BYTE vAnchor, const std::wstring& title,
                     const std::wstring& text, BYTE icon, int timeoutSeconds);

  // Hides the balloon and stops its hide timer; it may be shown again.
  void Hide();

  // What the balloon shows now (window coordinates), for its painting and for tests.
  bool TailOnTop() const { return tailOnTop_; }
  const RECT& TitleRect() const { return titleRect_; }
  const RECT& TextRect() const { return textRect_; }
  const RECT& IconRect() const { return iconRect_; }
  const std::wstring& Title() const { return title_; }
  const std::wstring& Text() const { return text_; }
  bool HideTimerRunning() const { return hideTimerRunning_; }
  const wchar_t* IconName() const { return iconName_; }
  bool HasIconPicture() const { return static_cast<bool>(iconBitmap_); }
  bool HasCloseMark() const { return static_cast<bool>(closeBitmap_); }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  TBalloon() = default;
  bool Build();
  void StayOnTop();
  void Paint();
  SIZE MeasureText(HFONT font, const std::wstring& text) const;

  bool tailOnTop_ = false;
  std::wstring title_, text_;
  RECT titleRect_{}, textRect_{}, iconRect_{};
  const wchar_t* iconName_ = nullptr;
  bool hideTimerRunning_ = false;
  UniqueFont font_, boldFont_;
  UniqueBitmap iconBitmap_;
  UniqueBitmap closeBitmap_;
  UniqueBrush background_;
};

// The balloon shown last, or null.
TBalloon* ActiveBalloon();

// Makes a new balloon the active one; one held before is released.
TBalloon* CreateBalloon();

// Releases the active balloon (if any); ActiveBalloon is null afterwards.
void FreeActiveBalloon();

// Replaces the active balloon by a new one shown at (x, y); the text is trimmed of blanks.
void ShowBalloon(int x, int y, const std::wstring& title, const std::wstring& text, BYTE icon,
                 int timeoutSeconds, BYTE tail);

// ShowBalloon at the mouse cursor with the information icon, 20 seconds, the top-left tail.
void ShowBalloonAtCursor(const std::wstring& title, const std::wstring& text);

// Shows the active balloon (it makes none) anchored on the parent of control, moved by the
// control's place in its parent less half its size, and 30 pixels down.
void ShowBalloonForControl(HWND control, const std::wstring& title, const std::wstring& text, BYTE hAnchor,
                           BYTE vAnchor, int timeoutSeconds);

}  // namespace base
