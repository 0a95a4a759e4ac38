// The screen camera on the main thread between and during recordings: the monitor bounds,
// the rectangle that follows the cursor, the modal selections (a dragged rectangle over the
// frozen screen, or a picked window), and the tick of FrameTimer that keeps the rectangle, the
// flashing frame around it, the live preview and the preview figures up to date.
//
// The tick computes the rectangle in locals and writes it whole, so the record thread reads
// one consistent rectangle. The frame is set up again only when its rectangle or caption
// changed, and the preview's grab objects and bitmap are made once and reused.
#include <algorithm>

#include "base/barrier.h"
#include "base/seams.h"
#include "engine/camera/ScrCam.h"
#include "engine/overlays/scFlashWnd.h"
#include "engine/overlays/scFreeHandWnd.h"
#include "engine/overlays/scSelObjWnd.h"

namespace ScrCam {

RECT MonitorBounds(const std::vector<RECT>& monitors, int current, bool allMonitors, const RECT& virtualDesktop) {
  if (allMonitors || current < 1 || current > static_cast<int>(monitors.size())) return virtualDesktop;
  return monitors[static_cast<size_t>(current - 1)];
}

CaptureRect FollowCursor(CaptureRect area, POINT cursor, const RECT& bounds) {
  area.left = cursor.x - area.width / 2;
  area.top = cursor.y - area.height / 2;
  if (bounds.left > area.left) area.left = bounds.left;
  if (bounds.top > area.top) area.top = bounds.top;
  if (bounds.right < area.left + area.width) area.left = bounds.right - area.width;
  if (bounds.bottom < area.top + area.height) area.top = bounds.bottom - area.height;
  return area;
}

bool ClipToBounds(CaptureRect& area, const RECT& bounds) {
  if (bounds.left > area.left) {
    area.width -= bounds.left - area.left;
    area.left = bounds.left;
  }
  if (bounds.top > area.top) {
    area.height -= bounds.top - area.top;
    area.top = bounds.top;
  }
  if (bounds.right < area.left + area.width) area.width = bounds.right - area.left;
  if (bounds.bottom < area.top + area.height) area.height = bounds.bottom - area.top;
  return area.width > 0 && area.height > 0;
}

RECT TScreenCamera::Bounds() const {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT desktop{x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return MonitorBounds(CurrentMonitorLister().Monitors(), currentMonitor_, RecordAllMonitors, desktop);
}

void TScreenCamera::GetMonitorOrigin(int& left, int& top) const {
  const RECT b = Bounds();
  left = b.left;
  top = b.top;
}

void TScreenCamera::GetMonitorSize(int& width, int& height) const {
  const RECT b = Bounds();
  width = b.right - b.left;
  height = b.bottom - b.top;
}

void TScreenCamera::SetFullScreenRegion() {
  const RECT b = Bounds();
  SetCaptureArea({b.left, b.top, b.right - b.left, b.bottom - b.top});
}

void TScreenCamera::RestoreFrameOnMinimize() {
  if (frameWindow_ && frameWindow_->hwnd() && ::IsWindowVisible(frameWindow_->hwnd()))
    ::SendMessageW(frameWindow_->hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
}

// A confirmed selection becomes the fixed rectangle and starts a pending recording. Nothing
// left after clipping counts as a cancel; a cancel leaves nothing pending, so a later
// selection during a preview cannot start a recording over the old target.
bool TScreenCamera::FinishSelection(bool confirmed, CaptureRect picked) {
  if (!confirmed || !ClipToBounds(picked, Bounds())) {
    StartPending = false;
    return false;
  }
  SetCaptureArea(picked);
  ScreenRegion = TScreenRegion::FixedStable;
  if (StartPending) {
    StartPending = false;
    if (!TargetFile.empty()) StartRecording(TargetFile);
  }
  return true;
}

namespace {

// Shows a selection window modally as the global its hotkeys and tests find it through;
// picked gets its rectangle. False when it could not be made or was not confirmed.
template <class Window, class Rect>
bool RunSelection(Window*& global, CaptureRect& picked, Rect rectOf) {
  Window window;
  global = &window;
  const bool ok = window.hwnd() && window.ShowModal() == IDOK;
  picked = rectOf(window);
  global = nullptr;
  return ok;
}

}  // namespace

// The camera's keys (the picker's CONTROL + RETURN, the stop keys) are held while a selection
// window is open, and given back with it unless a recording it started holds them.
struct TScreenCamera::SelectingKeys {
  explicit SelectingKeys(TScreenCamera& c) : camera(c), before(c.selecting_) {
    camera.selecting_ = true;
    camera.UpdateDefaultHotKeys();
  }
  ~SelectingKeys() {
    camera.selecting_ = before;
    camera.UpdateDefaultHotKeys();
  }
  SelectingKeys(const SelectingKeys&) = delete;
  SelectingKeys& operator=(const SelectingKeys&) = delete;
  TScreenCamera& camera;
  const bool before;
};

bool TScreenCamera::SelectFreeHandRegion() {
  SelectingKeys keys(*this);
  return base::Guard(
      "SelectFreeHandRegion",
      [&] {
        CaptureRect picked{};
        const bool ok = RunSelection(scFreeHandWnd::FreeHandWindow, picked, [](auto& w) {
          return CaptureRect{w.SelLeft(), w.SelTop(), w.SelWidth(), w.SelHeight()};
        });
        return FinishSelection(ok, picked);
      },
      false);
}

bool TScreenCamera::SelectObjectRegion() {
  SelectingKeys keys(*this);
  return base::Guard(
      "SelectObjectRegion",
      [&] {
        CaptureRect picked{};
        const bool ok = RunSelection(scSelObjWnd::SelObjWindow, picked, [](auto& w) {
          return CaptureRect{w.PickLeft(), w.PickTop(), w.PickWidth(), w.PickHeight()};
        });
        return FinishSelection(ok, picked);
      },
      false);
}

void TScreenCamera::ShowFrame(bool recording) {
  if (!DrawAreaCapture) {
    HideFrameWindow();
    return;
  }
  if (!frameWindow_) {
    auto wnd = std::make_unique<scFlashWnd::TFlashingWnd>();  // created hidden
    if (!wnd->hwnd()) return;
    frameWindow_ = std::move(wnd);
  }
  const uint32_t elapsed = base::NowMs() - previewStartTime_;
  if (elapsed >= lastColorSwitchTime_ + static_cast<uint32_t>(UpdateRate())) {
    lastColorSwitchTime_ = elapsed;
    FrameColor = FrameColor == RegionColor1 ? RegionColor2 : RegionColor1;
  }
  const bool preview = Preview();
  if (preview || recording) {
    std::wstring caption;
    if (!recording)
      caption = kPreviewCaption;
    else if (Paused)
      caption = kPausedCaption;
    const CaptureRect area = CaptureArea();
    if (area.left != frameArea_.left || area.top != frameArea_.top || area.width != frameArea_.width ||
        area.height != frameArea_.height || caption != frameCaption_) {
      frameWindow_->SetupFrame(area.left, area.top, area.width, area.height, LineRectClear, caption);
      frameArea_ = area;
      frameCaption_ = caption;
    }
    frameWindow_->PaintFrame(FrameColor, caption);
  }
  frameWindow_->Show();
}

void TScreenCamera::TimerTick() {
  base::GuardVoid("screen camera tick", [&] {
    const uint32_t elapsed = base::NowMs() - previewStartTime_;
    const bool recording = Recording;
    // 1. The region flags: a recording keeps a selected rectangle where it was picked.
    if (recording) {
      if (ScreenRegion == TScreenRegion::SelObject || ScreenRegion == TScreenRegion::FreeHand) {
        ScreenRegion = TScreenRegion::FixedStable;
        RegionSelObject = RegionFreeHand = RegionFollowsCursor = RegionFullScreen = false;
      }
    } else {
      ApplyRegionFlags();
    }
    // 2. A quiet tick: nothing to show (a full-screen recording without preview has no frame).
    if (!StartPending && !Preview() && (!recording || RegionFullScreen)) {
      HideFrameWindow();
      PreviewWhileRecording = false;
      if (OnPreview) OnPreview(*this, nullptr, false, recording);
      return;
    }
    // 3. The rectangle.
    if (RegionFullScreen) {
      SetFullScreenRegion();
    } else if (RegionFreeHand || RegionSelObject) {
      if (frameTimer_) frameTimer_->SetEnabled(false);
      const bool picked = RegionFreeHand ? SelectFreeHandRegion() : SelectObjectRegion();
      if (frameTimer_) frameTimer_->SetEnabled(picked);
      if (!picked) return;
    } else if (RegionFollowsCursor) {
      POINT cursor{};
      if (::GetCursorPos(&cursor)) SetCaptureArea(FollowCursor(CaptureArea(), cursor, Bounds()));
    }
    const bool recordingNow = Recording;  // a confirmed selection may have started one
    // 4. The frame.
    ShowFrame(recordingNow);
    // 5. The preview frames.
    const bool preview = Preview();
    const CaptureRect area = CaptureArea();
    if (OnPreview) {
      if (preview && !recordingNow) {
        if (!previewCapturer_) previewCapturer_ = std::make_unique<FrameCapturer>();
        CaptureFrame(*previewCapturer_, 0, &previewBitmap_, area.left, area.top, area.width, area.height,
                     FilterColor());
        if (!previewBitmap_.Empty()) OnPreview(*this, &previewBitmap_, true, false);
      } else if (preview && recordingNow && area.width <= 640 && area.height <= 480) {
        PreviewWhileRecording = true;
      } else {
        PreviewWhileRecording = false;
        OnPreview(*this, nullptr, false, recordingNow);
      }
    }
    // 6. The preview figures.
    if (preview && !recordingNow) {
      SetElapsed(SplitElapsedTime(elapsed));
      CompressorName.clear();
      FramesWritten = 0;
      FramesDropped = 0;
      CaptureFrameRate = 0;
      const uint32_t now = base::NowMs();
      LoopFrameRate = now - prevTickTime_ > 0 ? 1000.0 / (now - prevTickTime_) : 1000.0;
      if (elapsed >= lastUpdateTime_ + static_cast<uint32_t>(UpdateRate())) {
        lastUpdateTime_ = elapsed;
        if (OnUpdate) OnUpdate(*this);
      }
      prevTickTime_ = now;
    }
  });
}

}  // namespace ScrCam
