// The sound-less recorder's grab: BitBlt from the screen into a compatible bitmap, the arrow
// cursor drawn at the mouse position (minus the arrow's own hotspot, so its tip is where the
// mouse points), then GetDIBits into a packed frame. GetDIBits runs with the bitmap
// deselected from the memory device context, as GDI requires.
#include "engine/scrcamNS_capture.h"

#include "base/unique.h"

namespace scrcamNS {

POINT CursorHotspot(HCURSOR cursor) {
  POINT hotspot{0, 0};
  ICONINFO info{};
  if (cursor && ::GetIconInfo(cursor, &info)) {
    hotspot.x = static_cast<LONG>(info.xHotspot);
    hotspot.y = static_cast<LONG>(info.yHotspot);
    base::UniqueBitmap mask(info.hbmMask);
    base::UniqueBitmap color(info.hbmColor);
  }
  return hotspot;
}

engine::PackResult CaptureScreenFrame(int left, int top, int width, int height, const CaptureSettings& settings,
                                      const BracketPainter& paint) {
  engine::PackResult result;
  if (!engine::PackedFrameFits(width, height, settings.bitsPerPixel)) return result;
  base::WindowDC screen(nullptr);
  if (!screen) return result;
  if (paint) paint(kGrabColor);
  {
    base::UniqueDC memory(::CreateCompatibleDC(screen.get()));
    base::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    if (memory && bitmap) {
      base::SelectGuard select(memory.get(), bitmap.get());
      ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY);
      if (settings.drawCursor && settings.arrow) {
        POINT cursor{};
        if (::GetCursorPos(&cursor)) {
          ::DrawIcon(memory.get(), cursor.x - left - settings.arrowHotspot.x, cursor.y - top - settings.arrowHotspot.y,
                     settings.arrow);
        }
      }
      select.Restore();
      result = engine::PackBitmap(memory.get(), bitmap.get(), width, height, settings.bitsPerPixel,
                                  engine::HeaderRewrite::ColorCountOnly);
    }
  }
  if (paint) paint(kIdleColor);
  return result;
}

}  // namespace scrcamNS
