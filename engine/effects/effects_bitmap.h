// The bitmap the effects work on: a top-down DIB section (row 0 is the top row, rows padded to
// a multiple of 4 bytes) in one of the pixel formats below, with a canvas for the GDI drawing
// the range shapes and the stretch copies need.
//
// pfDevice is stored as 32 bits per pixel (the depth of the screens this program captures), so
// setting a device bitmap to pf32bit only relabels it. Every other change of format converts
// the pixels: between 24 and 32 bits directly (the fourth byte becomes 0), otherwise through
// GDI, which maps colours to the nearest entry of a palette. A bitmap is used by one thread
// at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/unique.h"

namespace engine {

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Bits of storage per pixel (pfCustom: 0).
int StorageBits(TPixelFormat format);
// Whole bytes per pixel: 1 to 4 for pf8bit to pf32bit and pfDevice, 0 below 8 bits.
int BytesPerPixel(TPixelFormat format);

class TBitmap;

// Drawing on a bitmap. Colours are COLORREF values (red in the lowest byte). The brush and pen
// colours belong to the bitmap, so every TCanvas of one bitmap shares them.
class TCanvas {
 public:
  explicit TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

  void SetBrushColor(COLORREF c);
  void SetPenColor(COLORREF c);
  COLORREF BrushColor() const;
  COLORREF PenColor() const;

  void FillRect(const RECT& r);   // brush, right and bottom edges excluded
  void FrameRect(const RECT& r);  // 1-pixel outline in the brush colour
  void Ellipse(const RECT& r);    // pen outline, brush inside
  void Polygon(const POINT* points, int count);
  // Copies src's rectangle into dest (this canvas), stretching when the sizes differ.
  void CopyRect(const RECT& dest, const TBitmap& src, const RECT& source);
  void StretchDraw(const RECT& dest, const TBitmap& src);
  void SetPixel(int x, int y, COLORREF c);

 private:
  TBitmap& bitmap_;
};

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pfDevice);
  virtual ~TBitmap();
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  TBitmap(const TBitmap&) = delete;             // copies are explicit: Assign
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }

  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels to the new format (pfCustom is refused with std::invalid_argument).
  void SetPixelFormat(TPixelFormat format);

  // Keeps the overlapping top-left part; new pixels are 0. Negative sizes count as 0.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // Gives the bitmap a size and format with undefined content (cheaper than SetSize when
  // every pixel is about to be written).
  void Reset(int width, int height, TPixelFormat format);

  // Sets every byte of the pixel storage to 0.
  void Clear();

  // Row pointers, row 0 at the top. Null for an empty bitmap.
  uint8_t* ScanLine(int row);
  const uint8_t* ScanLine(int row) const;
  int Stride() const { return stride_; }
  // Bytes of pixel data in a row (width x bytes per pixel; sub-byte formats rounded up).
  int RowBytes() const;

  // Becomes a copy of source (size, format, colour table, pixels).
  void Assign(const TBitmap& source);

  // The colour table of a palette format (1, 4 or 8 bits): replaced without touching indexes.
  void SetColorTable(const std::vector<RGBQUAD>& colors);
  std::vector<RGBQUAD> ColorTable() const;

  TCanvas Canvas() { return TCanvas(*this); }
  // The memory DC the bitmap is selected into (made on first use); null for an empty bitmap.
  // After drawing on it directly, call GdiFlush before reading the rows.
  HDC DC();
  HBITMAP Handle() const { return dib_.get(); }

 private:
  friend class TCanvas;
  void Allocate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>* colors);
  void ReleaseDC() noexcept;
  void Swap(TBitmap& other) noexcept;

  int width_ = 0, height_ = 0, stride_ = 0;
  TPixelFormat format_ = TPixelFormat::pfDevice;
  base::UniqueBitmap dib_;
  uint8_t* bits_ = nullptr;
  base::UniqueDC dc_;
  HGDIOBJ oldObject_ = nullptr;
  COLORREF brushColor_ = RGB(255, 255, 255);
  COLORREF penColor_ = RGB(0, 0, 0);
};

// Copies a rectangle of src into a rectangle of dest, stretching by nearest neighbour. Byte
// formats that match are copied exactly (all bytes, the fourth one included); other pairs go
// through GDI. Parts outside either bitmap are clipped.
void CopyPixels(const TBitmap& src, const RECT& source, TBitmap& dest, const RECT& destRect);

}  // namespace engine
