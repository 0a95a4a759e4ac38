// The effects bitmap: a top-down DIB section with its pixel formats, conversions, stretch
// copies and a canvas over a memory DC. Direct pixel access and GDI drawing share the same
// memory, so every drawing call ends with GdiFlush before the caller reads the rows again.
#include "engine/effects/effects_bitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace engine {
namespace {

struct DibInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// 256 colours: the 6 x 6 x 6 colour cube and 40 greys between its grey steps.
std::vector<RGBQUAD> DefaultPalette(int bits) {
  std::vector<RGBQUAD> p;
  if (bits == 1) {
    p = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  } else if (bits == 4) {
    static const BYTE vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (const auto& c : vga) p.push_back(RGBQUAD{c[2], c[1], c[0], 0});
  } else if (bits == 8) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          p.push_back(RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0});
    for (int i = 0; i < 40; ++i) {
      BYTE v = BYTE((i + 1) * 255 / 41);
      p.push_back(RGBQUAD{v, v, v, 0});
    }
  }
  return p;
}

bool IsDirect32Or24(TPixelFormat f) {
  return f == TPixelFormat::pfDevice || f == TPixelFormat::pf32bit || f == TPixelFormat::pf24bit;
}

}  // namespace

int StorageBits(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pfDevice: return 32;
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit: return 32;
    case TPixelFormat::pfCustom: return 0;
  }
  return 0;
}

int BytesPerPixel(TPixelFormat format) { return StorageBits(format) / 8; }

// ---- TBitmap ----

TBitmap::TBitmap(int width, int height, TPixelFormat format) { Allocate(width, height, format, nullptr); }

TBitmap::~TBitmap() { ReleaseDC(); }

TBitmap::TBitmap(TBitmap&& other) noexcept { Swap(other); }

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    TBitmap empty;
    empty.Swap(other);
    Swap(empty);
  }
  return *this;
}

void TBitmap::Swap(TBitmap& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(stride_, other.stride_);
  std::swap(format_, other.format_);
  std::swap(dib_, other.dib_);
  std::swap(bits_, other.bits_);
  std::swap(dc_, other.dc_);
  std::swap(oldObject_, other.oldObject_);
  std::swap(brushColor_, other.brushColor_);
  std::swap(penColor_, other.penColor_);
}

void TBitmap::ReleaseDC() noexcept {
  if (dc_ && oldObject_) ::SelectObject(dc_.get(), oldObject_);
  oldObject_ = nullptr;
  dc_.reset();
}

void TBitmap::Allocate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>* colors) {
  if (format == TPixelFormat::pfCustom) throw std::invalid_argument("pfCustom is not a storable pixel format");
  width = std::max(width, 0);
  height = std::max(height, 0);
  ReleaseDC();
  dib_.reset();
  bits_ = nullptr;
  width_ = width;
  height_ = height;
  format_ = format;
  const int bits = StorageBits(format);
  stride_ = static_cast<int>(((static_cast<int64_t>(width) * bits + 31) / 32) * 4);
  if (Empty()) return;

  DibInfo info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;  // top-down: row 0 is the top row
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bits);
  info.header.biCompression = BI_RGB;
  if (format == TPixelFormat::pf16bit) {
    info.header.biCompression = BI_BITFIELDS;
    DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.colors, masks, sizeof(masks));
  } else if (bits <= 8) {
    std::vector<RGBQUAD> p = colors && !colors->empty() ? *colors : DefaultPalette(bits);
    p.resize(size_t(1) << bits);
    info.header.biClrUsed = static_cast<DWORD>(p.size());
    std::copy(p.begin(), p.end(), info.colors);
  }
  void* mem = nullptr;
  HBITMAP h = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &mem, nullptr, 0);
  if (!h || !mem) {
    width_ = height_ = stride_ = 0;
    throw std::bad_alloc();
  }
  dib_.reset(h);
  bits_ = static_cast<uint8_t*>(mem);
}

void TBitmap::Reset(int width, int height, TPixelFormat format) {
  if (width == width_ && height == height_ && format == format_ && (bits_ || Empty())) return;
  std::vector<RGBQUAD> colors = ColorTable();
  Allocate(width, height, format, format == format_ ? &colors : nullptr);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  TBitmap old;
  old.Swap(*this);
  brushColor_ = old.brushColor_;
  penColor_ = old.penColor_;
  std::vector<RGBQUAD> colors = old.ColorTable();
  Allocate(width, height, old.format_, &colors);
  if (Empty()) return;
  std::memset(bits_, 0, static_cast<size_t>(stride_) * height_);
  if (old.Empty()) return;
  const int rows = std::min(height_, old.height_);
  const int bytes = std::min(RowBytes(), old.RowBytes());
  for (int y = 0; y < rows; ++y) std::memcpy(ScanLine(y), old.ScanLine(y), bytes);
}

void TBitmap::Clear() {
  if (bits_) std::memset(bits_, 0, static_cast<size_t>(stride_) * height_);
}

int TBitmap::RowBytes() const {
  return static_cast<int>((static_cast<int64_t>(width_) * StorageBits(format_) + 7) / 8);
}

uint8_t* TBitmap::ScanLine(int row) { return bits_ ? bits_ + static_cast<size_t>(row) * stride_ : nullptr; }

const uint8_t* TBitmap::ScanLine(int row) const {
  return bits_ ? bits_ + static_cast<size_t>(row) * stride_ : nullptr;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  if (format == TPixelFormat::pfCustom) throw std::invalid_argument("pfCustom is not a storable pixel format");
  if (Empty()) {
    Allocate(width_, height_, format, nullptr);
    return;
  }
  // Device and 32-bit bitmaps share their storage.
  if (StorageBits(format) == 32 && StorageBits(format_) == 32) {
    format_ = format;
    return;
  }
  TBitmap converted;
  converted.Allocate(width_, height_, format, nullptr);
  if (IsDirect32Or24(format) && IsDirect32Or24(format_)) {
    const int sb = BytesPerPixel(format_), db = BytesPerPixel(format);
    for (int y = 0; y < height_; ++y) {
      const uint8_t* s = ScanLine(y);
      uint8_t* d = converted.ScanLine(y);
      for (int x = 0; x < width_; ++x, s += sb, d += db) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        if (db == 4) d[3] = 0;
      }
    }
  } else {
    ::BitBlt(converted.DC(), 0, 0, width_, height_, DC(), 0, 0, SRCCOPY);
    ::GdiFlush();
  }
  converted.brushColor_ = brushColor_;
  converted.penColor_ = penColor_;
  Swap(converted);
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  Reset(source.width_, source.height_, source.format_);  // keeps the storage when it fits
  SetColorTable(source.ColorTable());
  if (!Empty()) std::memcpy(bits_, source.bits_, static_cast<size_t>(stride_) * height_);
}

std::vector<RGBQUAD> TBitmap::ColorTable() const {
  std::vector<RGBQUAD> colors;
  const int bits = StorageBits(format_);
  if (!dib_ || bits > 8) return colors;
  colors.resize(size_t(1) << bits);
  HDC dc = const_cast<TBitmap*>(this)->DC();
  UINT n = ::GetDIBColorTable(dc, 0, static_cast<UINT>(colors.size()), colors.data());
  colors.resize(n);
  return colors;
}

void TBitmap::SetColorTable(const std::vector<RGBQUAD>& colors) {
  if (!dib_ || StorageBits(format_) > 8 || colors.empty()) return;
  ::SetDIBColorTable(DC(), 0, static_cast<UINT>(colors.size()), colors.data());
}

HDC TBitmap::DC() {
  if (!dib_) return nullptr;
  if (!dc_) {
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!dc_) throw std::bad_alloc();
    oldObject_ = ::SelectObject(dc_.get(), dib_.get());
  }
  return dc_.get();
}

// ---- TCanvas ----

void TCanvas::SetBrushColor(COLORREF c) { bitmap_.brushColor_ = c; }
void TCanvas::SetPenColor(COLORREF c) { bitmap_.penColor_ = c; }
COLORREF TCanvas::BrushColor() const { return bitmap_.brushColor_; }
COLORREF TCanvas::PenColor() const { return bitmap_.penColor_; }

namespace {

// Selects a solid pen and brush of the canvas colours for one drawing call.
class DrawingTools {
 public:
  DrawingTools(HDC dc, COLORREF pen, COLORREF brush)
      : pen_(::CreatePen(PS_SOLID, 1, pen)), brush_(::CreateSolidBrush(brush)),
        selPen_(dc, pen_.get()), selBrush_(dc, brush_.get()) {}

 private:
  base::UniquePen pen_;
  base::UniqueBrush brush_;
  base::SelectGuard selPen_, selBrush_;
};

}  // namespace

void TCanvas::FillRect(const RECT& r) {
  HDC dc = bitmap_.DC();
  if (!dc) return;
  base::UniqueBrush brush(::CreateSolidBrush(bitmap_.brushColor_));
  ::FillRect(dc, &r, brush.get());
  ::GdiFlush();
}

void TCanvas::FrameRect(const RECT& r) {
  HDC dc = bitmap_.DC();
  if (!dc) return;
  base::UniqueBrush brush(::CreateSolidBrush(bitmap_.brushColor_));
  ::FrameRect(dc, &r, brush.get());
  ::GdiFlush();
}

void TCanvas::Ellipse(const RECT& r) {
  HDC dc = bitmap_.DC();
  if (!dc) return;
  {
    DrawingTools tools(dc, bitmap_.penColor_, bitmap_.brushColor_);
    ::Ellipse(dc, r.left, r.top, r.right, r.bottom);
  }
  ::GdiFlush();
}

void TCanvas::Polygon(const POINT* points, int count) {
  HDC dc = bitmap_.DC();
  if (!dc || count <= 0) return;
  {
    DrawingTools tools(dc, bitmap_.penColor_, bitmap_.brushColor_);
    ::Polygon(dc, points, count);
  }
  ::GdiFlush();
}

void TCanvas::CopyRect(const RECT& dest, const TBitmap& src, const RECT& source) {
  CopyPixels(src, source, bitmap_, dest);
}

void TCanvas::StretchDraw(const RECT& dest, const TBitmap& src) {
  CopyPixels(src, RECT{0, 0, src.Width(), src.Height()}, bitmap_, dest);
}

void TCanvas::SetPixel(int x, int y, COLORREF c) {
  HDC dc = bitmap_.DC();
  if (!dc) return;
  ::SetPixelV(dc, x, y, c);
  ::GdiFlush();
}

// ---- copies ----

void CopyPixels(const TBitmap& src, const RECT& source, TBitmap& dest, const RECT& destRect) {
  const int sw = source.right - source.left, sh = source.bottom - source.top;
  const int dw = destRect.right - destRect.left, dh = destRect.bottom - destRect.top;
  if (src.Empty() || dest.Empty() || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  const int bpp = BytesPerPixel(src.PixelFormat());
  const bool sameBytes = bpp > 0 && bpp == BytesPerPixel(dest.PixelFormat()) &&
                         (src.PixelFormat() == dest.PixelFormat() || bpp == 4);
  if (!sameBytes) {
    HDC d = dest.DC();
    HDC s = const_cast<TBitmap&>(src).DC();
    int oldMode = ::SetStretchBltMode(d, COLORONCOLOR);
    ::StretchBlt(d, destRect.left, destRect.top, dw, dh, s, source.left, source.top, sw, sh, SRCCOPY);
    ::SetStretchBltMode(d, oldMode);
    ::GdiFlush();
    return;
  }
  const int y0 = std::max<int>(destRect.top, 0), y1 = std::min<int>(destRect.bottom, dest.Height());
  const int x0 = std::max<int>(destRect.left, 0), x1 = std::min<int>(destRect.right, dest.Width());
  if (x0 >= x1) return;
  // Source column of each destination column, or -1 outside the source bitmap.
  std::vector<int> columns(x1 - x0);
  for (int x = x0; x < x1; ++x) {
    int sx = source.left + static_cast<int>(static_cast<int64_t>(x - destRect.left) * sw / dw);
    columns[x - x0] = (sx >= 0 && sx < src.Width()) ? sx * bpp : -1;
  }
  const bool straight = sw == dw;
  for (int y = y0; y < y1; ++y) {
    int sy = source.top + static_cast<int>(static_cast<int64_t>(y - destRect.top) * sh / dh);
    if (sy < 0 || sy >= src.Height()) continue;
    const uint8_t* s = src.ScanLine(sy);
    uint8_t* d = dest.ScanLine(y) + static_cast<size_t>(x0) * bpp;
    if (straight) {
      int first = 0, last = x1 - x0;
      while (first < last && columns[first] < 0) ++first;
      while (last > first && columns[last - 1] < 0) --last;
      if (first < last)
        std::memmove(d + first * bpp, s + columns[first], static_cast<size_t>(last - first) * bpp);
      continue;
    }
    for (int i = 0; i < x1 - x0; ++i, d += bpp)
      if (columns[i] >= 0) std::memcpy(d, s + columns[i], bpp);
  }
}

}  // namespace engine
