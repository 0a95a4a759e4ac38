// The screen camera's frame: the shared grab (inverted when FilterColor is 1) with the current
// cursor, the host's overlay before or after the effects, the colour effects, grey scale and
// the geometry effect, handed out as a bitmap, a packed frame or both; and the split of an
// elapsed time for display.
//
// Everything a capture needs is kept in a FrameCapturer and made again only when the size or
// depth changes, so a frame loop creates nothing per frame. Without any effect switched on the
// grab goes straight to the output: the work bitmap would only add a second quantisation at 8
// and 16 bits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <utility>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/resources.h"
#include "engine/camera/ScrCam.h"
#include "engine/effects/scEffects.h"
#include "engine/capture/screen_grab.h"

namespace ScrCam {

namespace {

constexpr DWORD kInvertedCopy = NOTSRCCOPY;  // 0x00330008
constexpr DWORD kPlainCopy = SRCCOPY;        // 0x00CC0020
const wchar_t kNoMemory[] = L"Unable to allocate memory for image";
const wchar_t kNoLock[] = L"Unable to lock image handle at memory";
const wchar_t kNoBits[] = L"Error retrieving image bits";

bool FrameMatches(const BITMAPINFOHEADER* frame, int width, int height, int bits) {
  return frame && frame->biWidth == width && frame->biHeight == height && frame->biBitCount == bits;
}

}  // namespace

FrameCapturer::FrameCapturer() : allocate_(engine::AllocPackedBlock) {}
FrameCapturer::~FrameCapturer() = default;

TElapsedTime SplitElapsedTime(double t) {
  TElapsedTime parts;
  if (!std::isfinite(t)) return parts;
  parts.Hours = static_cast<int>(std::fabs(std::trunc(t / 3600000.0)));
  parts.Minutes = static_cast<int>(std::fabs(std::trunc((t - parts.Hours * 3600000.0) / 60000.0)));
  const double seconds = (t - parts.Hours * 3600000.0 - parts.Minutes * 60000.0) / 1000.0;
  parts.Seconds = static_cast<int>(std::fabs(std::trunc(seconds)));
  const double whole = std::fabs(seconds);
  const double fraction = whole - std::trunc(whole);
  // The fraction's shortest text with "." whatever the locale; its first three digits after
  // "0." (trailing zeros dropped) are the millis.
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", fraction);
  std::string digits(text);
  const size_t at = digits.find("0.");
  if (at == std::string::npos) return parts;
  digits.erase(at, 2);
  digits = digits.substr(0, 3);
  int millis = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return parts;
    millis = millis * 10 + (c - '0');
  }
  parts.Millis = millis;
  return parts;
}

std::wstring ElapsedTimeText(const TElapsedTime& t) {
  return std::to_wstring(t.Hours) + L" : " + std::to_wstring(t.Minutes) + L" : " + std::to_wstring(t.Seconds) +
         L" : " + std::to_wstring(t.Millis);
}

void TScreenCamera::PackFailed(const std::wstring& text, bool stopsRecording) {
  CaptureFailed = true;
  if (!stopsRecording || !Recording) {
    if (OnError) OnError(*this, text);
    return;
  }
  StopStatus = kStopError;
  Recording = false;
  if (OnError) OnError(*this, text);
  if (OnStop) OnStop(*this);
  // The timer and the frame belong to the main thread.
  std::weak_ptr<TScreenCamera*> alive = weakSelf_;
  base::PostToMain([alive] {
    if (auto self = alive.lock()) (*self)->SetPreview((*self)->Preview());
  });
}

engine::PackedFrame TScreenCamera::PackFrame(HBITMAP bitmap, int bits) {
  CaptureFailed = false;
  BITMAP info{};
  if (!::GetObjectW(bitmap, sizeof info, &info)) {
    PackFailed(kNoMemory, true);
    return {};
  }
  base::WindowDC screen(nullptr);
  base::UniqueDC dc(::CreateCompatibleDC(screen.get()));
  engine::PackResult packed =
      engine::PackBitmap(dc.get(), bitmap, info.bmWidth, info.bmHeight, bits, engine::HeaderRewrite::Whole);
  if (packed.failure == engine::PackedAllocFailure::LockFailed)
    PackFailed(kNoLock, true);
  else if (!packed.frame)
    PackFailed(kNoMemory, true);
  else if (!packed.bitsRead)
    PackFailed(kNoBits, true);
  return std::move(packed.frame);
}

void TScreenCamera::ApplyGrayScale(engine::TBitmap& bitmap) {
  base::GuardVoid("grey scale", [&] {
    if (bitmap.Empty()) return;
    engine::TBitmap rgb;
    rgb.Reset(bitmap.Width(), bitmap.Height(), engine::TPixelFormat::pf32bit);
    engine::CopyPixels(bitmap, RECT{0, 0, bitmap.Width(), bitmap.Height()}, rgb,
                       RECT{0, 0, bitmap.Width(), bitmap.Height()});
    std::vector<uint8_t> gray;
    if (!base::JpegGrayRoundTrip(rgb.ScanLine(0), rgb.Stride(), rgb.Width(), rgb.Height(), gray)) return;
    for (int y = 0; y < rgb.Height(); ++y) {
      uint8_t* row = rgb.ScanLine(y);
      const uint8_t* g = gray.data() + static_cast<size_t>(y) * rgb.Width();
      for (int x = 0; x < rgb.Width(); ++x, row += 4) row[0] = row[1] = row[2] = g[x];
    }
    rgb.SetPixelFormat(colors_);
    bitmap = std::move(rgb);
  });
}

// The colour effects, grey scale and the geometry effect on the grab in `grab`. The settings
// may change on the main thread meanwhile: each is read once, here, for the whole frame.
void TScreenCamera::ApplyEffects(FrameCapturer& capturer, HDC grab, int width, int height) {
  const bool useNoise = UseNoise, useSaturation = UseSaturation, useColorAdjusting = UseColorAdjusting;
  const bool useBrightness = UseBrightness, useContrast = UseContrast, grayScale = GrayScale;
  const bool useRotateImage = UseRotateImage;
  const bool colourEffects = useNoise || useSaturation || useColorAdjusting || useBrightness || useContrast;
  if (!colourEffects && !grayScale && !useRotateImage) return;
  const int noise = EffectNoise, saturation = EffectSaturation, brightness = EffectBrightness;
  const int contrast = EffectContrast, red = EffectRedValue, green = EffectGreenValue, blue = EffectBlueValue;
  const TScreenRotate rotation = EffectScreenRotate;
  if (!capturer.effects_) capturer.effects_ = std::make_unique<engine::TEffects>();
  engine::TEffects& fx = *capturer.effects_;
  engine::TBitmap& work = capturer.work_;
  const engine::TPixelFormat colors = capturer.pinnedBits_ ? capturer.pinnedColors_ : colors_;
  auto loadWork = [&] {
    if (work.Width() != width || work.Height() != height || work.PixelFormat() != colors)
      work.Reset(width, height, colors);
    ::BitBlt(work.DC(), 0, 0, width, height, grab, 0, 0, kPlainCopy);
    ::GdiFlush();
  };
  auto storeResult = [&](engine::TBitmap& result) {
    // What a quarter turn leaves uncovered in the frame is black.
    if (result.Width() < width || result.Height() < height) ::PatBlt(grab, 0, 0, width, height, BLACKNESS);
    ::BitBlt(grab, 0, 0, std::min(width, result.Width()), std::min(height, result.Height()), result.DC(), 0, 0,
             kPlainCopy);
  };
  auto storeWork = [&] { storeResult(work); };
  fx.SetPixelSize(colors);
  if (colourEffects) {
    loadWork();
    if (useNoise) fx.Noise(work, engine::AllChannels, static_cast<uint8_t>(noise & 0xFF));
    if (useSaturation) fx.Saturation(work, engine::AllChannels, static_cast<uint8_t>(255 - (saturation & 0xFF)));
    if (useColorAdjusting)
      fx.AddColor(work, engine::AllChannels, engine::NoChannels,
                  engine::MakeChannelValues(static_cast<int16_t>(red), static_cast<int16_t>(green),
                                            static_cast<int16_t>(blue), 0));
    if (useBrightness) {
      const auto v = static_cast<int16_t>(brightness);
      fx.AddColor(work, engine::AllChannels, engine::NoChannels, engine::MakeChannelValues(v, v, v, 0));
    }
    if (useContrast) {
      const auto v = static_cast<int16_t>(contrast);
      fx.Contrast(work, engine::AllChannels, engine::MakeChannelValues(v, v, v, 0));
    }
    storeWork();
  }
  if (grayScale) {
    if (!colourEffects) loadWork();
    ApplyGrayScale(work);
    storeWork();
  }
  if (useRotateImage) {
    loadWork();
    // The turn lands in a bitmap of its own, so neither bitmap changes its shape from frame to
    // frame and both keep their storage for the whole recording.
    engine::TBitmap& turned = capturer.turned_;
    switch (rotation) {
      case TScreenRotate::R90D:
        fx.Rotate(work, turned, std::numbers::pi / 2);
        break;
      case TScreenRotate::R180D:
        fx.Rotate180(work, turned);
        break;
      case TScreenRotate::R270D:
        fx.Rotate(work, turned, 3 * std::numbers::pi / 2);
        break;
      case TScreenRotate::Mirror0D:
        fx.MirrorHorizontal(work, turned);
        break;
      case TScreenRotate::Mirror180D:
        fx.FlipVertical(work, turned);
        break;
    }
    storeResult(turned);
  }
}

BITMAPINFOHEADER* TScreenCamera::CaptureFrame(FrameCapturer& capturer, int mode, engine::TBitmap* bitmap, int left,
                                              int top, int width, int height, int filterColor) {
  if (width <= 0 || height <= 0) return nullptr;
  const DWORD rop = filterColor == 1 ? kInvertedCopy : kPlainCopy;
  if (!capturer.grab_ || capturer.grab_->width() != width || capturer.grab_->height() != height) {
    capturer.grab_.reset();
    capturer.grab_ = std::make_unique<engine::ScreenGrab>(width, height);
  }
  engine::ScreenGrab& grab = *capturer.grab_;
  const PackFault fault = std::exchange(capturer.fault_, PackFault::None);
  capturer.packFailed_ = false;
  const auto packFailed = [&](const wchar_t* text) {
    capturer.packFailed_ = true;
    PackFailed(text, capturer.recording_);
  };
  if (!grab.ok()) {
    packFailed(kNoMemory);
    return nullptr;
  }
  engine::GrabCursor cursor;
  if (RecordCursor) cursor.kind = engine::GrabCursor::Kind::Current;
  grab.Grab(left, top, rop, cursor);
  HDC dc = grab.dc();
  // The overlay's switches and handler are taken once for the frame (the main thread may
  // change them meanwhile).
  const std::shared_ptr<const TOverlayEvent> overlay = OvelayDrawing ? OnOverlay.Get() : nullptr;
  const bool overlayFirst = EffectToOvelayDraw;
  if (overlay && overlayFirst) {
    // Drawn in true colours and inverted together with the screen.
    ::BitBlt(dc, 0, 0, width, height, dc, 0, 0, rop);
    (*overlay)(*this, dc, width, height);
    ::BitBlt(dc, 0, 0, width, height, dc, 0, 0, rop);
  }
  ApplyEffects(capturer, dc, width, height);
  if (overlay && !overlayFirst) (*overlay)(*this, dc, width, height);
  ::GdiFlush();

  const int bits = capturer.pinnedBits_ ? capturer.pinnedBits_ : bitsPerPixel_;
  const engine::TPixelFormat colors = capturer.pinnedBits_ ? capturer.pinnedColors_ : colors_;
  if ((mode == 0 || mode == 2) && bitmap) {
    bitmap->Reset(width, height, colors);
    ::BitBlt(bitmap->DC(), 0, 0, width, height, dc, 0, 0, kPlainCopy);
    ::GdiFlush();
  }
  if (mode != 1 && mode != 2) return nullptr;

  CaptureFailed = false;
  if (fault == PackFault::NoMemory) {
    packFailed(kNoMemory);
    return nullptr;
  }
  if (fault == PackFault::NoLock) {
    packFailed(kNoLock);
    return nullptr;
  }
  if (!FrameMatches(capturer.frame_.get(), width, height, bits)) {
    capturer.frame_.reset();
    HGLOBAL block = capturer.allocate_(width, height, bits);
    if (!block) {
      packFailed(kNoMemory);
      return nullptr;
    }
    // A block that will not lock is freed: without its address no frame can be written.
    capturer.frame_ = engine::PackedFrame(engine::LockPackedBlock(block, width, height, bits));
    if (!capturer.frame_) {
      packFailed(kNoLock);
      return nullptr;
    }
  }
  if (!grab.PackInto(capturer.frame_.get(), engine::HeaderRewrite::Whole) || fault == PackFault::NoBits)
    packFailed(kNoBits);
  return capturer.frame_.get();
}

}  // namespace ScrCam
