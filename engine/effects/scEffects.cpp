// TCustomEffects: the pixel walks (plain, paired, by range cell), the data hide and extract
// engine, and the geometry helpers that size, crop, stretch and mask bitmaps.
//
// The pair walk is a plain walk whose OnScan is an internal adapter, and the range walk a pair
// walk whose OnScanPair is another; each installs its adapter for one call and puts the
// previous handler back on every way out, exceptions included.
#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_helpers.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace engine {
namespace {

using helpers::HookGuard;

struct PairRecord {
  TLines lines;
  void* data;
};

struct RangeRecord {
  int cellWidth, cellHeight;
  void* data;
};

TPixelFormat FormatOfBytes(int bytes) {
  switch (bytes) {
    case 1: return TPixelFormat::pf8bit;
    case 2: return TPixelFormat::pf16bit;
    case 3: return TPixelFormat::pf24bit;
    default: return TPixelFormat::pf32bit;
  }
}

}  // namespace

TChannelValues MakeChannelValues(int16_t red, int16_t green, int16_t blue, int16_t alpha) {
  return TChannelValues{blue, green, red, alpha};
}

TCustomEffects::TCustomEffects() = default;
TCustomEffects::~TCustomEffects() = default;

TPixelFormat TCustomEffects::GetPixelSize() const { return FormatOfBytes(bytesPerPixel_); }

void TCustomEffects::SetPixelSize(TPixelFormat format) {
  const int bytes = engine::BytesPerPixel(format);
  if (format == TPixelFormat::pfDevice || bytes < 1)
    throw std::invalid_argument("PixelSize takes pf8bit to pf32bit");
  bytesPerPixel_ = bytes;
}

// ---- walks ----

bool TCustomEffects::PrepareWalk(TBitmap& bitmap, TBitmap* maskArg, const TBitmap*& mask) {
  mask = nullptr;
  if (bitmap.Empty()) return false;
  bitmap.SetPixelFormat(GetPixelSize());
  if (!Masked) return true;
  TBitmap* m = maskArg;
  if (!m && !maskBitmap_.Empty()) m = &maskBitmap_;
  if (!m) return true;
  if (m->Width() < bitmap.Width() || m->Height() < bitmap.Height()) {
    if (m == &maskBitmap_) return true;  // too small to mask this bitmap: unmasked
    FitMaskTo(*m, POINT{bitmap.Width(), bitmap.Height()}, true);
  }
  m->SetPixelFormat(GetPixelSize());
  mask = m;
  return true;
}

bool TCustomEffects::MaskHit(const uint8_t* maskPixel) const {
  return std::memcmp(maskPixel, MaskColor.data(), bytesPerPixel_) == 0;
}

bool TCustomEffects::Scan(TBitmap& bitmap, void* data, TBitmap* maskArg) {
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, maskArg, mask)) return false;
  const int bpp = bytesPerPixel_;
  const int rowBytes = bitmap.Width() * bpp;
  const int height = bitmap.Height();
  int y = 0;
  while (y < height) {
    uint8_t* row = bitmap.ScanLine(y);
    const uint8_t* maskRow = mask ? mask->ScanLine(y) : nullptr;
    int x = 0;
    bool nextRowChosen = false;
    while (x + bpp <= rowBytes) {
      TPixelRef pixel;
      for (int i = 0; i < 4; ++i) {
        sink_[i] = 0;
        pixel[i] = i < bpp ? row + x + i : &sink_[i];
      }
      bool cont = true, moved = false;
      int horz = x, vert = y;
      if (!maskRow || MaskHit(maskRow + x)) DoScan(pixel, horz, vert, data, cont, moved);
      if (!cont) return true;
      if (!moved) {
        x += bpp;
        continue;
      }
      // A negative index or a row past the end ends the walk; a position past the row's end
      // goes on with the row after the one asked for.
      if (vert < 0 || horz < 0 || vert >= height) return true;
      if (horz > rowBytes - bpp) {
        y = vert + 1;
        nextRowChosen = true;
        break;
      }
      y = vert;
      x = horz;
      row = bitmap.ScanLine(y);
      maskRow = mask ? mask->ScanLine(y) : nullptr;
    }
    if (!nextRowChosen) ++y;
  }
  return true;
}

void TCustomEffects::DoScan(TPixelRef pixel, int& horzIndex, int& vertIndex, void* data, bool& cont, bool& moved) {
  if (!OnScan) {
    cont = false;  // a walk without a handler stops after its first pixel
    return;
  }
  const int h = horzIndex, v = vertIndex;
  OnScan(pixel, horzIndex, vertIndex, data, cont);
  moved = h != horzIndex || v != vertIndex;
}

bool TCustomEffects::ScanPair(TBitmap& bitmap, TBitmap& pairBitmap, void* data, TBitmap* mask) {
  return PairWalk(bitmap, pairBitmap, true, data, mask);
}

bool TCustomEffects::PairWalk(TBitmap& bitmap, TBitmap& pairBitmap, bool convertPair, void* data, TBitmap* mask) {
  if (bitmap.Empty() || pairBitmap.Empty()) return false;
  if (convertPair) pairBitmap.SetPixelFormat(GetPixelSize());
  PairRecord record{TLines(pairBitmap.Height()), data};
  for (int y = 0; y < pairBitmap.Height(); ++y) record.lines[y] = pairBitmap.ScanLine(y);
  HookGuard<TScanEvent> hook(OnScan, [this](TPixelRef pixel, int& h, int& v, void* d, bool& cont) {
    DoScanPair(pixel, h, v, d, cont);
  });
  return Scan(bitmap, &record, mask);
}

void TCustomEffects::DoScanPair(TPixelRef pixel, int& horzIndex, int& vertIndex, void* data, bool& cont) {
  auto* record = static_cast<PairRecord*>(data);
  if (OnScanPair) OnScanPair(pixel, horzIndex, vertIndex, record->lines, record->data, cont);
}

bool TCustomEffects::ScanRange(TBitmap& bitmap, POINT cellSize, void* data, TBitmap* rangeBitmap, TBitmap* mask) {
  if (bitmap.Empty() || cellSize.x < 1 || cellSize.y < 1) return false;
  TBitmap* ranges = rangeBitmap;
  if (!ranges || ranges->Width() != bitmap.Width() || ranges->Height() != bitmap.Height()) {
    DrawRanges(rangeBitmap_, bitmap.Width(), bitmap.Height(), cellSize);
    ranges = &rangeBitmap_;
  }
  // The range bitmap stays at 24 bits, so its index colours survive whatever PixelSize is.
  ranges->SetPixelFormat(TPixelFormat::pf24bit);
  RangeRecord record{cellSize.x, cellSize.y, data};
  HookGuard<TScanPairEvent> hook(
      OnScanPair, [this](TPixelRef pixel, int& h, int& v, const TLines& lines, void* d, bool& cont) {
        DoScanRange(pixel, h, v, lines, d, cont);
      });
  return PairWalk(bitmap, *ranges, false, &record, mask);
}

void TCustomEffects::DoScanRange(TPixelRef pixel, int& horzIndex, int& vertIndex, const TLines& lines, void* data,
                                 bool& cont) {
  if (!OnScanRange) return;
  auto* record = static_cast<RangeRecord*>(data);
  const int px = horzIndex / bytesPerPixel_;
  const uint8_t* p = lines[vertIndex] + static_cast<size_t>(px) * 3;
  const int rangeIndex = p[2] + p[1] * 256 + p[0] * 65536;
  if (rangeIndex == 0xFFFFFF) return;
  RECT cell;
  cell.left = px - px % record->cellWidth;
  cell.right = cell.left + record->cellWidth;
  cell.top = vertIndex - vertIndex % record->cellHeight;
  cell.bottom = cell.top + record->cellHeight;
  OnScanRange(pixel, horzIndex, vertIndex, rangeIndex, cell, record->data, cont);
}

void TCustomEffects::DrawRanges(TBitmap& target, int width, int height, POINT cell) {
  target.Reset(width, height, TPixelFormat::pf24bit);
  TCanvas canvas = target.Canvas();
  canvas.SetBrushColor(TransparentRange ? 0xFFFFFF : 0);
  canvas.FillRect(RECT{0, 0, width, height});
  const int cw = cell.x, ch = cell.y;
  int index = TransparentRange ? 0 : 1;
  for (int y = 0; y < height; y += ch) {
    for (int x = 0; x < width; x += cw, ++index) {
      const COLORREF colour = static_cast<COLORREF>(index) & 0xFFFFFF;
      canvas.SetBrushColor(colour);
      canvas.SetPenColor(colour);
      const RECT r{x, y, x + cw, y + ch};
      switch (RangeType) {
        case TRangeType::rtRect: canvas.FillRect(r); break;
        case TRangeType::rtEllipse: canvas.Ellipse(r); break;
        case TRangeType::rtFrame: canvas.FrameRect(r); break;
        case TRangeType::rtStar5: {
          const int hw = cw / 2, qh = ch / 4, ew = cw / 8, th = ch / 3;
          const POINT a[4] = {{x + hw, y}, {x + cw - ew, y + ch}, {x + hw, y + ch - qh}, {x + ew, y + ch}};
          const POINT b[3] = {{x, y + th}, {x + cw, y + th}, {x + hw, y + ch - qh}};
          canvas.Polygon(a, 4);
          canvas.Polygon(b, 3);
          break;
        }
        case TRangeType::rtStar6: {
          const int hw = cw / 2, qh = ch / 4;
          const POINT a[3] = {{x + hw, y}, {x + cw, y + ch - qh}, {x, y + ch - qh}};
          const POINT b[3] = {{x, y + qh}, {x + cw, y + qh}, {x + hw, y + ch}};
          canvas.Polygon(a, 3);
          canvas.Polygon(b, 3);
          break;
        }
        default: {
          shapePoints_.Bounds = TShapeBounds{x, y, cw, ch};
          shapePoints_.SetShape(static_cast<uint8_t>(static_cast<int>(RangeType) - 5));
          canvas.Polygon(shapePoints_.Points.data(), static_cast<int>(shapePoints_.Points.size()));
          break;
        }
      }
    }
  }
}

// ---- data engine ----

void TCustomEffects::TransferData(TMemoryStream& stream, TBitmap& bitmap, bool extract, bool fixedStep, int step,
                                  int offset) {
  if (stream.empty()) throw EStreamError(kDataSizeZero);
  if (offset < 0) throw EBitmapError(kNegativeOffset);
  if (fixedStep && step < 1) throw EBitmapError(kStepBelowOne);
  const TPixelFormat f = bitmap.PixelFormat();
  if (f == TPixelFormat::pfDevice || f == TPixelFormat::pf1bit || f == TPixelFormat::pf4bit)
    bitmap.SetPixelFormat(TPixelFormat::pf8bit);

  const int64_t bits = static_cast<int64_t>(stream.size()) * 8;
  const int64_t rowBytes = static_cast<int64_t>(bitmap.Width()) * engine::BytesPerPixel(bitmap.PixelFormat());
  const int64_t available = static_cast<int64_t>(bitmap.Height()) * rowBytes - offset;
  // Needed is bits x step with a fixed step; compared by division so that it cannot overflow.
  if (rowBytes <= 0 || available < bits || (fixedStep && available / bits < step))
    throw EBitmapError(kOutOfBitmapSpace);
  const int64_t stride = fixedStep ? step : available / bits;

  // The rows form one byte sequence (padding excluded); the walk starts at the beginning of the
  // row that holds Offset and steps through it, using the first carrier at or after Offset.
  int64_t pos = (offset / rowBytes) * rowBytes;
  if (pos < offset) pos += ((offset - pos + stride - 1) / stride) * stride;
  void* memory = stream.data();
  for (int64_t n = 0; n < bits; ++n, pos += stride) {
    const int64_t row = pos / rowBytes;
    if (row >= bitmap.Height()) break;
    uint8_t* carrier = bitmap.ScanLine(static_cast<int>(row)) + (pos % rowBytes);
    if (extract)
      DoExport(*carrier, memory, n);
    else
      DoImport(*carrier, memory, n);
  }
}

void TCustomEffects::DoExport(uint8_t data, void* p, int64_t bitNumber) {
  if (OnExport) OnExport(data, p, static_cast<int>(bitNumber / 8), static_cast<int>(bitNumber % 8));
}

void TCustomEffects::DoImport(uint8_t& data, void* p, int64_t bitNumber) {
  if (OnImport) OnImport(data, p, static_cast<int>(bitNumber / 8), static_cast<int>(bitNumber % 8));
}

// ---- geometry helpers ----

bool TCustomEffects::FitProportional(POINT source, POINT& dest) {
  if (dest.x <= 0 || dest.y <= 0 || source.x <= 0 || source.y <= 0) return false;
  const double byHeight = static_cast<double>(source.y) / dest.y;
  const double byWidth = static_cast<double>(source.x) / dest.x;
  if (byHeight > byWidth)
    dest.x = static_cast<LONG>(static_cast<int64_t>(dest.y) * source.x / source.y);
  else
    dest.y = static_cast<LONG>(static_cast<int64_t>(dest.x) * source.y / source.x);
  return dest.x > 0 && dest.y > 0;
}

bool TCustomEffects::ClipToArea(POINT& size, POINT area, int& x, int& y) {
  if (area.x <= 0 || area.y <= 0) return false;
  if (x < 0) {
    size.x = std::max<LONG>(size.x + x, 0);
    x = 0;
  }
  if (y < 0) {
    size.y = std::max<LONG>(size.y + y, 0);
    y = 0;
  }
  if (x + size.x > area.x) size.x = std::max<LONG>(area.x - x, 0);
  if (y + size.y > area.y) size.y = std::max<LONG>(area.y - y, 0);
  return true;
}

bool TCustomEffects::CropToArea(const TBitmap& source, TBitmap& dest, POINT area, int& x, int& y) {
  POINT size{source.Width(), source.Height()};
  const int x0 = x, y0 = y;
  if (!ClipToArea(size, area, x, y)) return false;
  dest.Reset(size.x, size.y, source.PixelFormat());
  dest.SetColorTable(source.ColorTable());
  const int sx = x0 < 0 ? -x0 : 0, sy = y0 < 0 ? -y0 : 0;
  CopyPixels(source, RECT{sx, sy, sx + size.x, sy + size.y}, dest, RECT{0, 0, size.x, size.y});
  return true;
}

bool TCustomEffects::StretchCopy(const TBitmap& source, TBitmap& dest, POINT size) {
  if (source.Empty()) return false;
  if (!FitProportional(POINT{source.Width(), source.Height()}, size)) return false;
  dest.Reset(size.x, size.y, source.PixelFormat());
  dest.SetColorTable(source.ColorTable());
  CopyPixels(source, RECT{0, 0, source.Width(), source.Height()}, dest, RECT{0, 0, size.x, size.y});
  return true;
}

bool TCustomEffects::ResizeBitmap(TBitmap& bitmap, POINT size) {
  if (bitmap.Empty() || size.x <= 0 || size.y <= 0) return false;
  if (size.x == bitmap.Width() && size.y == bitmap.Height()) return true;
  TBitmap resized;
  if (!StretchCopy(bitmap, resized, size)) return false;  // the old bitmap stays
  bitmap = std::move(resized);
  return true;
}

void TCustomEffects::CopyMaskRect(TBitmap& dest, POINT size, POINT area, int x, int y) {
  ClipToArea(size, area, x, y);
  dest.Reset(size.x, size.y, maskBitmap_.PixelFormat());
  dest.Clear();  // whatever lies outside the mask bitmap marks nothing
  dest.SetColorTable(maskBitmap_.ColorTable());
  CopyPixels(maskBitmap_, RECT{x, y, x + size.x, y + size.y}, dest, RECT{0, 0, size.x, size.y});
}

void TCustomEffects::FitMaskTo(TBitmap& dest, POINT size, bool stretch) {
  const POINT m{maskBitmap_.Width(), maskBitmap_.Height()};
  dest.Reset(size.x, size.y, maskBitmap_.PixelFormat());
  dest.Clear();
  dest.SetColorTable(maskBitmap_.ColorTable());
  if (dest.Empty()) return;
  if (size.x > m.x || size.y > m.y) FillUnmasked(dest, FillColor);
  if (stretch) {
    CopyPixels(maskBitmap_, RECT{0, 0, m.x, m.y}, dest, RECT{0, 0, size.x, size.y});
    return;
  }
  RECT s, d;
  s.left = std::clamp<LONG>((m.x - size.x) / 2, 0, m.x);
  s.right = std::clamp<LONG>(s.left + size.x, 0, m.x);
  s.top = std::clamp<LONG>((m.y - size.y) / 2, 0, m.y);
  s.bottom = std::clamp<LONG>(s.top + size.y, 0, m.y);
  d.left = size.x > m.x ? (size.x - m.x) / 2 : 0;
  d.right = size.x > m.x ? d.left + m.x : size.x;
  d.top = size.y > m.y ? (size.y - m.y) / 2 : 0;
  d.bottom = size.y > m.y ? d.top + m.y : size.y;
  CopyPixels(maskBitmap_, s, dest, d);
}

void TCustomEffects::ResizeMask(POINT size, bool stretch) {
  TBitmap fitted;
  FitMaskTo(fitted, size, stretch);
  maskBitmap_ = std::move(fitted);
}

void TCustomEffects::FillUnmasked(TBitmap& bitmap, const TPixelValue& value) {
  struct Restore {
    bool& slot;
    bool saved;
    ~Restore() { slot = saved; }
  } restore{Masked, Masked};
  Masked = false;
  FillChannels(bitmap, AllChannels, value);
}

}  // namespace engine
